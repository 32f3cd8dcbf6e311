/* libFuzzer target: arbitrary bytes as an MP4 file's moov box, searched for
 * the comment by its box headers. A comment found lies inside the bytes. */
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "mp4_comment.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string comment;
    if (moov_comment(data, size, &comment) && comment.size() + 8 > size)
        abort();
    return 0;
}
