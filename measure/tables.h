/* The measures as CSV tables (../formats/csv.h): one row per file and
 * marker, per file and pair, and per file, marker and frame. */
#ifndef MIENSCOPE_TABLES_H
#define MIENSCOPE_TABLES_H

#include <math.h>

#include <array>
#include <string>
#include <vector>

#include "measures.h"
#include "study.h"

/* One marker file and its measures. */
struct MeasuredFile {
    std::string path;                   /* as given on the command line */
    std::vector<double> curves;         /* displacement from rest, mm: [marker][frame] */
    std::vector<MarkerMeasure> markers; /* FACE_MARKERS */
    std::vector<PairMeasure> pairs;     /* one per pair of the study */
};

MeasuredFile measure_file(const std::string &path, const FacePositions &xyz, const Study &study);
std::string markers_table(const std::vector<MeasuredFile> &files, const Study &study); /* markers.csv */
std::string pairs_table(const std::vector<MeasuredFile> &files, const Study &study);   /* pairs.csv */
std::string curves_table(const std::vector<MeasuredFile> &files, const Study &study);  /* curves.csv: file, then marker, then frame */

#endif
