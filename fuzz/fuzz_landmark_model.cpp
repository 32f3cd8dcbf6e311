/* libFuzzer target: arbitrary bytes as a dlib shape predictor. What the
 * reader accepts is whole: every split names feature pixels its cascade
 * has, every anchor a point the shape has, every leaf the shape's size;
 * and the model places its points on a small picture without reading
 * outside it. */
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "landmarks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LandmarkModel model;
    std::string what;
    if (!parse_landmark_model(data, size, &model, &what)) {
        if (what.empty())
            abort();
        return 0;
    }
    size_t shape = model.mean_shape.size();
    for (const LandmarkCascade &c : model.cascades) {
        if (c.offsets.size() != 2 * c.anchors.size() || c.splits.size() != c.trees * c.splits_per_tree ||
            c.leaf_floats != c.trees * (c.splits_per_tree + 1) * shape)
            abort();
        for (uint32_t anchor : c.anchors)
            if ((int)anchor >= model.points)
                abort();
    }
    std::vector<uint8_t> pixels(16 * 16, 128);
    std::vector<double> xy;
    place_landmarks(model, {pixels.data(), 16, 16}, {2, 2, 13, 13}, &xy);
    if (xy.size() != shape)
        abort();
    return 0;
}
