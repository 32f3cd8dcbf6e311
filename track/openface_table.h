/* A tracked video as the CSV file OpenFace's FeatureExtraction writes,
 * so that the importer and other tools read it: a row a frame, ", "
 * between fields,
 *   frame, face_id, timestamp, confidence, success,
 *   x_0 .. x_67, y_0 .. y_67   pixels in the upright frame (3 decimals),
 *   X_0 .. X_67, Y_0 .. Y_67, Z_0 .. Z_67   millimetres (4 decimals),
 * frames numbered from 1, times in seconds from the first frame (6
 * decimals, so frames under a millisecond apart stay apart). X and Y
 * are the picture's axes (x right, y down) about its centre, scaled in
 * each frame by the eye distance: k = EYE_MM / the distance between the
 * eyes' centres (the means of points 36-41 and 42-47), so the face keeps
 * its size in millimetres as it comes nearer or goes further. Z is 0:
 * one camera does not see depth. A frame without the face has success 0,
 * confidence 0 and every coordinate 0, as OpenFace writes it. A last
 * column, mienscope_track, names the tracker and its version, so that a
 * table this program wrote can be told from OpenFace's own recordings,
 * which no program replaces. */
#ifndef MIENSCOPE_OPENFACE_TABLE_H
#define MIENSCOPE_OPENFACE_TABLE_H

#include <string>

#include "tracking.h"

/* The table of the video with eyes eye_mm apart, by the tracker of this version. */
std::string openface_table(const TrackedVideo &video, double eye_mm, const char *version);
/* Such a table read back (times, success and the points in pixels; not the frames' sizes); false when it
 * is not one. */
bool read_openface_table(const std::string &text, TrackedVideo *video);

#endif
