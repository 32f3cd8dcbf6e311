/* libFuzzer target: arbitrary bytes as a file of the tracker's cache, and
 * the table in it as the tracker reads one back for its overlay. A file
 * accepted carries the key asked for; a table read back has whole rows. */
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "cache.h"
#include "openface_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text((const char *)data, size), table;
    size_t undecodable = 0;
    const std::string key = "video 00\nmodel m 1 2.0\neye-distance 63\ntracker 1.0.0\n";
    if (parse_cache_file(text, key, &table, &undecodable) && text.find("key video 00\n") == std::string::npos)
        abort();
    TrackedVideo video;
    if (read_openface_table(text, &video))
        for (const TrackedFrame &frame : video.frames)
            if (frame.xy.size() != (frame.found ? 2u * FACE_LANDMARKS : 0u))
                abort();
    return 0;
}
