/* What a study of marker files shares: the markers' labels and pairs, the
 * measures' settings, and how long the frames last. */
#ifndef MIENSCOPE_STUDY_H
#define MIENSCOPE_STUDY_H

#include <math.h>

#include <array>
#include <string>
#include <vector>

#include "measures.h"

struct Study {
    std::vector<std::string> labels;          /* FACE_MARKERS: the set's labels, or "0" to "23" */
    std::vector<std::array<int, 2>> segments; /* the set's segments, marker indices */
    std::vector<std::array<int, 2>> pairs;    /* marker indices, the subject's left first */
    MeasureSettings settings;
    double duration = NAN;                    /* seconds the frames last; NAN when not known */
};

/* The labels, segments and pairs of a set file, or "0" to "23" and none for ""; error names the set and line. */
bool load_study_set(const std::string &set_path, Study *study, std::string *error);
double frame_seconds(const Study &study); /* seconds from one frame to the next */
/* Every file strictly, in order; false with the first file's error (path and position). */
bool read_marker_files(const std::vector<std::string> &paths, std::vector<FacePositions> *positions, std::string *error);

#endif
