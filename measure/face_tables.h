/* The face measures as CSV tables (../formats/csv.h), for the files that
 * brought the 68 landmarks: face.csv, a row per file, measure and side,
 * and face-sides.csv, a row per file and measure with two sides. */
#ifndef MIENSCOPE_FACE_TABLES_H
#define MIENSCOPE_FACE_TABLES_H

#include <string>
#include <vector>

#include "measured_file.h"

extern const char face_header[];       /* face.csv's first line, without its line break */
extern const char face_sides_header[]; /* face-sides.csv's */
std::string face_table(const std::vector<MeasuredFile> &files);       /* face.csv: the files without a face left out */
std::string face_sides_table(const std::vector<MeasuredFile> &files); /* face-sides.csv, likewise */
std::string face_curves_table(const std::vector<MeasuredFile> &files); /* face-curves.csv: every row of face.csv frame by frame */
/* FILE: face measures need the 68 face landmarks (a video or an OpenFace table) */
std::string no_face_message(const std::string &path);

#endif
