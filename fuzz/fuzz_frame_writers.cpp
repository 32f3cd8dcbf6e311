/* libFuzzer target: pictures of any size from 1 x 1 to 600 x 600 (odd
 * sides included), the first four bytes their width and height, the rest
 * their pixels, given to the writers the tracker's stills and overlay
 * use: a PNG in memory, and one frame of an MP4 padded to even sides. The
 * PNG must come out; the MP4 must be written whole or refused, never
 * written past a buffer. */
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "encode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    Picture picture;
    picture.width = 1 + (data[0] | data[1] << 8) % 600;
    picture.height = 1 + (data[2] | data[3] << 8) % 600;
    picture.rgb.resize((size_t)picture.width * picture.height * 3);
    for (size_t i = 0; i < picture.rgb.size(); i++)
        picture.rgb[i] = size > 4 ? data[4 + i % (size - 4)] : 0;
    std::vector<uint8_t> png;
    if (!png_bytes(picture, &png) || png.size() < 8)
        abort();
    static const std::string path = "/tmp/fuzz-frame-writers-" + std::to_string(getpid()) + ".mp4";
    Picture even = padded_to_even(picture);
    if (even.width % 2 || even.height % 2 || even.width < picture.width || even.height < picture.height)
        abort();
    Mp4Writer *mp4 = nullptr;
    std::string error;
    if (mp4_open(path, even.width, even.height, 30, &mp4, &error)) {
        mp4_add(mp4, even, &error);
        mp4_finish(mp4, &error);
    }
    unlink(path.c_str());
    return 0;
}
