/* Facial landmarks placed by a cascade of regression trees, read from the
 * files dlib's shape predictor trainer writes (such as Debian's 68-point
 * model), and run here rather than through dlib's own predictor, which
 * rounds every point to a whole pixel: these keep their fractions.
 *
 * The file is dlib's binary serialisation: a version (1), the mean shape
 * (a column of 2 x POINTS floats: x, y of each point in the face box's
 * units, 0 at its top-left corner and 1 at its bottom-right), then per
 * cascade its trees (splits: two feature pixels and a threshold; leaves:
 * a shape increment each), the landmark every feature pixel is placed
 * from, and its offset from that landmark in the mean shape's units. */
#ifndef MIENSCOPE_LANDMARKS_H
#define MIENSCOPE_LANDMARKS_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "face_files.h" /* FACE_LANDMARKS, the points of the model every program reads */
#include "file_io.h"

/* A node of a tree: left when pixel first minus pixel second is above the threshold. */
struct LandmarkSplit {
    uint32_t first, second;
    float threshold;
};

/* One stage: its feature pixels and its trees, all of the same depth. */
struct LandmarkCascade {
    std::vector<uint32_t> anchors;     /* per feature pixel, the landmark it is placed from */
    std::vector<float> offsets;        /* per feature pixel, x and y from it in the mean shape's units */
    size_t trees = 0, splits_per_tree = 0;
    std::vector<LandmarkSplit> splits; /* trees x splits_per_tree, in breadth-first order */
    const float *leaves = nullptr;     /* trees x (splits_per_tree + 1) x 2 x points, in the model's leaf_store or
                                        * kept mapping (65 MB of the 68-point model's 66: used where they lie) */
    size_t leaf_floats = 0;            /* how many */
};

/* Moved, never copied: its cascades' leaves point into its own leaf_store or kept mapping. */
struct LandmarkModel {
    int points = 0;
    std::vector<float> mean_shape; /* 2 x points */
    std::vector<LandmarkCascade> cascades;
    std::vector<float> leaf_store; /* every cascade's leaves in turn, when parsed from dlib's file */
    MappedFile kept;               /* the kept model's file, when read from it: its leaves lie there */

    LandmarkModel() = default;
    LandmarkModel(LandmarkModel &&) = default;
    LandmarkModel &operator=(LandmarkModel &&) = default;
    LandmarkModel(const LandmarkModel &) = delete;
};

/* A grey picture in memory, rows from the top, width bytes a row. */
struct GrayView {
    const uint8_t *pixels = nullptr;
    int width = 0, height = 0;
};

/* A face's box in pixels, its corners included, as dlib's detector gives it. */
struct FaceBox {
    long left = 0, top = 0, right = 0, bottom = 0;
};

/* The serialised model; false with what is wrong with it when it is not one (no allocation is sized
 * by a count the bytes cannot hold). */
bool parse_landmark_model(const uint8_t *data, size_t size, LandmarkModel *model, std::string *what);
/* Whether every count and index of the model fits the others, as place_landmarks needs them to (every
 * model parse_landmark_model gives does). */
bool landmark_model_fits(const LandmarkModel &model);
/* The model's points in the picture, x then y of each, in pixels with their fractions. */
void place_landmarks(const LandmarkModel &model, const GrayView &picture, const FaceBox &box, std::vector<double> *xy);

#endif
