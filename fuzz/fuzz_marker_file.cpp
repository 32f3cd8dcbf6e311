/* libFuzzer target: arbitrary bytes as a marker file for the strict
 * reader. What it accepts must be 4320 positions, every coordinate finite
 * and within a float's range. */
#include <math.h>
#include <stdint.h>
#include <stdlib.h>

#include "face_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FacePositions xyz;
    std::string what;
    if (!parse_marker_text((const char *)data, size, &xyz, &what)) {
        if (what.empty())
            abort();
        return 0;
    }
    if (xyz.size() != (size_t)FACE_FRAMES * FACE_MARKERS * 3 || !positions_fit_marker_file(xyz))
        abort();
    return 0;
}
