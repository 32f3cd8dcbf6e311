/* libFuzzer target: arbitrary bytes as a C3D file, read from memory, then
 * converted when the reader accepts them. */
#include <stdint.h>

#include "c3d.h"
#include "fuzz_recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Recording rec;
    std::string error;
    if (read_c3d(data, size, &rec, &error)) {
        check_recording(rec);
        convert_first_points(rec);
    }
    return 0;
}
