/* libFuzzer target: arbitrary bytes as a marker-set file, then its labels
 * looked up in a recording whose points carry labels a set might name. */
#include <stdint.h>
#include <stdlib.h>

#include "markerset.h"

static Recording labelled_recording()
{
    Recording rec;
    const char *const labels[] = {"a", "P01:a", "b", "Jane:b", "r should", "1", "c:d", "", "x#y", "\"q\""};
    for (const char *label : labels)
        rec.points.push_back(Point{label, "", true});
    return rec;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Recording rec = labelled_recording();
    MarkerSet set;
    Selection selection;
    std::string error;
    if (!parse_marker_set((const char *)data, size, "fuzz.set", &set, &error))
        return 0;
    if (set.markers.size() != FACE_MARKERS || set.segments.size() > FACE_SEGMENTS)
        abort();
    for (const auto &segment : set.segments)
        if (segment[0] < 0 || segment[0] >= FACE_MARKERS || segment[1] < 0 || segment[1] >= FACE_MARKERS)
            abort();
    select_by_set(set, rec, &selection, &error);
    return 0;
}
