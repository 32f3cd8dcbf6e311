/* A group's average movement and its principal modes of variation, the
 * statistical shape analysis of landmark data: every file turned and moved
 * onto a common reference by its frame 0 (Procrustes, rotation and
 * translation only, so millimetres stay millimetres), averaged, and its
 * differences from the average decomposed into principal components.
 * Double precision throughout. */
#ifndef MIENSCOPE_GROUP_H
#define MIENSCOPE_GROUP_H

#include <stddef.h>

#include <string>
#include <vector>

#include "face_files.h"

enum { GROUP_VALUES = FACE_FRAMES * FACE_MARKERS * 3 }; /* numbers in one movement */

struct Group {
    size_t files = 0;
    int rounds = 0;                        /* Procrustes rounds until the reference settled */
    std::vector<double> residuals;         /* x_i = A_i - M, one movement a file after another */
    FacePositions average;                 /* M, millimetres, in file 1's orientation */
    std::vector<double> sd;                /* every mode's standard deviation, mm: files - 1 of them */
    std::vector<double> share;             /* every mode's share of the variance, 0 to 1 */
    std::vector<FacePositions> directions; /* the first modes' unit directions v_k */
    std::vector<double> scores;            /* file i on mode k, in standard deviations: [i][k] for the first modes */
};

/* Turns and moves every file onto the reference; A_i one after another in aligned. Returns the rounds taken. */
int align_group(const std::vector<FacePositions> &files, std::vector<double> *aligned);
/* Aligns, averages and finds the modes, directions and scores of the first `modes` (1 .. files - 1);
 * false with a message when the files do not vary. */
bool analyse_group(const std::vector<FacePositions> &files, size_t modes, Group *group, std::string *error);
FacePositions aligned_file(const Group &group, size_t file); /* A_i = x_i + M */
FacePositions along_mode(const Group &group, size_t mode, double sds); /* M + sds * sd_k * v_k, mode from 0 */

#endif
