/* libFuzzer target: arbitrary bytes as a file of the tracker's cache (a
 * table's, or a kept model's), and the table in it as the tracker reads
 * one back for its overlay. A file accepted carries the key asked for; a
 * model accepted places its points; a table read back has whole rows. */
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "cache.h"
#include "landmarks.h"
#include "openface_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text((const char *)data, size), table;
    size_t undecodable = 0;
    const std::string key = "video 00\nmodel m 1 2.0\neye-distance 63\ntracker 1.0.0\n";
    if (parse_cache_file(text, key, &table, &undecodable) && text.find("key video 00\n") == std::string::npos)
        abort();
    LandmarkModel model;
    if (parse_model_cache(data, size, "model m 1 2.0\ntracker 1.0.0\n", &model)) {
        std::vector<uint8_t> pixels(16 * 16, 128);
        std::vector<double> xy;
        place_landmarks(model, {pixels.data(), 16, 16}, {2, 2, 13, 13}, &xy);
        if (xy.size() != 2u * (size_t)model.points)
            abort();
    }
    TrackedVideo video;
    if (read_openface_table(text, &video))
        for (const TrackedFrame &frame : video.frames)
            if (frame.xy.size() != (frame.found ? 2u * FACE_LANDMARKS : 0u))
                abort();
    return 0;
}
