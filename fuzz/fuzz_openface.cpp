/* libFuzzer target: arbitrary bytes as an OpenFace CSV file, read from
 * memory, then converted when the reader accepts them. The first byte
 * chooses the face. */
#include <stdint.h>

#include "fuzz_recording.h"
#include "openface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Recording rec;
    ReadOptions options;
    std::string error;
    options.face_id = size > 0 ? data[0] % 3 : 0;
    if (read_openface(data, size, options, &rec, &error)) {
        check_recording(rec);
        convert_first_points(rec);
    }
    return 0;
}
