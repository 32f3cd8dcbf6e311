/* The measures as CSV tables (../formats/csv.h): one row per file and
 * marker, per file and pair, and per file, marker and frame. */
#ifndef MIENSCOPE_TABLES_H
#define MIENSCOPE_TABLES_H

#include <math.h>

#include <array>
#include <string>
#include <vector>

#include "inputs.h"
#include "measures.h"

/* What every file of a study shares: the markers' names and pairs, and the measures' settings. */
struct Study {
    MarkerNames markers;
    MeasureSettings settings;
};

/* One file and its measures. */
struct MeasuredFile {
    std::string path;                   /* as given on the command line */
    double seconds = NAN;               /* how long its 180 frames last; NAN when unknown */
    std::vector<double> curves;         /* displacement from rest, mm: [marker][frame] */
    std::vector<MarkerMeasure> markers; /* FACE_MARKERS */
    std::vector<PairMeasure> pairs;     /* one per pair of the study */
};

/* The positions filtered when the settings ask for it (seconds must then be known), then measured. */
MeasuredFile measure_file(const std::string &path, const FacePositions &xyz, double seconds, const Study &study);
double frame_seconds(const MeasuredFile &file); /* seconds from one frame to the next; NAN when unknown */
/* Columns that stand after "file" in the rows of markers.csv and pairs.csv: their names, and each file's fields. */
struct FileColumns {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> fields; /* one list per file, or none at all */
};

std::string markers_table(const std::vector<MeasuredFile> &files, const Study &study,
                          const FileColumns &extra = FileColumns()); /* markers.csv */
std::string pairs_table(const std::vector<MeasuredFile> &files, const Study &study,
                        const FileColumns &extra = FileColumns()); /* pairs.csv */
std::string curves_table(const std::vector<MeasuredFile> &files, const Study &study);  /* curves.csv: file, then marker, then frame */

#endif
