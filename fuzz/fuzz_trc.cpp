/* libFuzzer target: arbitrary bytes as a TRC file, read from memory, then
 * converted when the reader accepts them. */
#include <stdint.h>

#include "fuzz_recording.h"
#include "trc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Recording rec;
    std::string error;
    if (read_trc(data, size, &rec, &error)) {
        check_recording(rec);
        convert_first_points(rec);
    }
    return 0;
}
