/* A file measured: every marker's and every pair's measures of one
 * recording or marker file, with the settings a study shares. */
#ifndef MIENSCOPE_MEASURED_FILE_H
#define MIENSCOPE_MEASURED_FILE_H

#include <math.h>

#include <string>
#include <vector>

#include "face_measures.h"
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
    std::vector<std::vector<double>> face_series; /* per face_rows() row, its value each frame; empty without
                                                     the 68 landmarks */
    std::vector<FaceSummary> face;                /* per row, its series against rest; empty likewise */
};

/* What a file's time allows: --smooth needs it, below half its frames' rate; error: a usage message. */
bool check_smoothing(const Input &input, const MeasureSettings &settings, std::string *error);
/* The positions (and the 68 landmarks, when given) filtered when the settings ask for it (seconds must then
 * be known), then measured. */
MeasuredFile measure_file(const std::string &path, const FacePositions &xyz, double seconds, const Study &study,
                          const FacePositions &landmarks = FacePositions());
bool has_face(const MeasuredFile &file); /* its face measures were taken: it brought the 68 landmarks */
double frame_seconds(const MeasuredFile &file); /* seconds from one frame to the next; NAN when unknown */

#endif
