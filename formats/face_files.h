/* The viewer's two data files, as every program of Mienscope writes and
 * reads them.
 *
 * Marker file: FACE_FRAMES x FACE_MARKERS triples of whitespace-separated
 * numbers, frame by frame, marker 0 first in each frame, no header. Each
 * triple is one marker's position written as (-z, y, x) in the viewer's
 * axes: x to the right, y up, z towards the viewer. Mienscope's own
 * programs write millimetres, one marker a line, four decimals.
 *
 * Line file: the segment count, then that many pairs of 0-based marker
 * indices, first end then second end.
 *
 * Plain C declarations above the C++ ones, so that the viewer's C-style
 * sources share the counts. */
#ifndef MIENSCOPE_FACE_FILES_H
#define MIENSCOPE_FACE_FILES_H

enum {
    FACE_MARKERS = 24,  /* markers in every frame */
    FACE_FRAMES = 180,  /* frames in every recording */
    FACE_SEGMENTS = 100, /* the most segments a line file may name */
    FACE_LANDMARKS = 68  /* the landmarks of a face a video or an OpenFace table brings (iBUG's scheme) */
};

#ifdef __cplusplus
#include <stddef.h>

#include <array>
#include <string>
#include <vector>

/* Positions in the viewer's axes, [frame][marker][axis] with axis 0 = x,
 * 1 = y, 2 = z: FACE_FRAMES x FACE_MARKERS x 3 numbers. */
typedef std::vector<double> FacePositions;

/* A marker file's text as positions, strictly: 4320 triples of numbers that
 * "%f" reads and a float holds, or false with what is wrong (which position). */
bool parse_marker_text(const char *text, size_t size, FacePositions *xyz, std::string *what);
/* The same from a file; errors start with the path. */
bool read_marker_file(const std::string &path, FacePositions *xyz, std::string *error);
bool positions_fit_marker_file(const FacePositions &xyz);                 /* every value finite and within a float's range */
std::string marker_file_text(const FacePositions &xyz);                  /* (-z, y, x) a line, "%.4f" */
std::string line_file_text(const std::vector<std::array<int, 2>> &segments); /* the count, then one pair a line */
#endif

#endif
