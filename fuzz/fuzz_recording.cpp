#include "fuzz_recording.h"

#include <math.h>
#include <stdlib.h>

#include <algorithm>

#include "program.h"

void check_recording(const Recording &rec)
{
    size_t n = rec.points.size();
    if (rec.xyz.size() != rec.frames * n * 3 || rec.valid.size() != rec.frames * n || rec.times.size() != rec.frames)
        abort();
    for (size_t i = 0; i < rec.valid.size(); i++)
        if (rec.valid[i] && !(isfinite(rec.xyz[i * 3]) && isfinite(rec.xyz[i * 3 + 1]) && isfinite(rec.xyz[i * 3 + 2])))
            abort();
    if (!std::is_sorted(rec.times.begin(), rec.times.end()) || (rec.frames >= 2 && !(rec.rate > 0.0)))
        abort();
}

void convert_first_points(const Recording &rec)
{
    recording_listing(rec);
    if (rec.points.size() < FACE_MARKERS)
        return;
    Selection selection;
    for (size_t i = 0; i < rec.points.size() && i < FACE_MARKERS + SET_MIN_RIGID; i++)
        (i < FACE_MARKERS ? selection.markers : selection.rigid).push_back(i);
    ConvertOptions options;
    options.right = AxisDirection{0, 1};
    options.up = AxisDirection{1, 1};
    Converted converted;
    std::string error;
    ConvertResult result = convert_recording(rec, selection, "fuzz.set", options, &converted, &error);
    gap_messages(rec, converted.gaps);
    if (result == CONVERT_BAD_OPTIONS && rec.frames >= 2)
        abort(); /* the whole recording is always a span, and the axes differ */
    if (result != CONVERTED)
        return;
    std::string text = marker_file_text(converted.positions);
    if (std::count(text.begin(), text.end(), '\n') != FACE_FRAMES * FACE_MARKERS)
        abort();
}
