#include "fuzz_recording.h"

#include <math.h>
#include <stdlib.h>

#include <algorithm>

#include "convert.h"

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
    if (rec.frames < 2 || rec.points.size() < SET_MARKERS)
        return;
    Selection selection;
    for (size_t i = 0; i < rec.points.size() && i < SET_MARKERS + SET_MIN_RIGID; i++)
        (i < SET_MARKERS ? selection.markers : selection.rigid).push_back(i);
    Span span;
    std::string error, text;
    if (!check_span(rec, NAN, NAN, &span, &error))
        abort(); /* the whole recording is always a span */
    Tracks tracks = gather_tracks(rec, selection);
    std::vector<GapReport> gaps;
    if (!fill_gaps(rec, selection, span, &tracks, &gaps, &error))
        return;
    for (const GapReport &gap : gaps)
        gap_message(rec, gap);
    if (!align_to_first_frame(rec, span, SET_MARKERS, &tracks, "fuzz.set", &error))
        return;
    Axes axes = {0, 1, 1, 1};
    if (marker_file_text(resample(rec, tracks, span), axes, &text, &error) &&
        std::count(text.begin(), text.end(), '\n') != OUTPUT_FRAMES * SET_MARKERS)
        abort();
}
