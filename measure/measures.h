/* How far, when and how evenly a face moves: measures of a recording's
 * markers and of its mirror pairs, in millimetres on the positions as a
 * marker file holds them (no centring or scaling), in double precision.
 * Times are in frames; the tables turn them into seconds. */
#ifndef MIENSCOPE_MEASURES_H
#define MIENSCOPE_MEASURES_H

#include <limits.h>

#include <array>
#include <string>
#include <vector>

#include "face_files.h"

enum { NO_LAG = INT_MIN }; /* a pair's lag where a side has no onset */

/* What the user chooses about the measures. */
struct MeasureSettings {
    int rest_first = 0, rest_last = 0; /* the rest position is the mean of these frames, inclusive */
    double threshold = 0.1;            /* onset and offset, as a fraction of a marker's peak */
    double smooth_hz = 0.0;            /* the low-pass filter's cutoff; 0 for no filtering */
    std::string smooth_text;           /* the cutoff as typed, for titles */
    bool in_plane = false;             /* --in-plane: the picture's plane only, depth (the viewer's z) left out */
};

/* What the settings did to the positions, for a plot's title: ", smoothed at HZ Hz", ", in the picture's
 * plane", or "". */
std::string settings_note(const MeasureSettings &settings);

/* One marker's movement away from its rest position. Frames are -1 where empty. */
struct MarkerMeasure {
    double peak;            /* largest distance from rest, mm */
    int peak_frame;         /* first frame at that distance */
    int onset_frame;        /* first frame at threshold x peak or beyond; -1 when the peak is 0 */
    int offset_frame;       /* first frame after the peak below threshold x peak; -1 when none */
    double peak_speed;      /* largest speed, mm per frame, central differences inside, one-sided at the ends */
    std::array<double, 3> peak_vector; /* position at the peak frame less the rest position, mm, viewer's axes */
};

/* A mirror pair: the subject's left marker against the right. NAN where empty. */
struct PairMeasure {
    double left_peak, right_peak; /* mm */
    double ratio;                 /* left / right; NAN when right is 0 */
    double difference;            /* |left - right|, mm */
    double asymmetry;             /* 100 |left - right| / max(left, right); 0 when both are 0 */
    double direction;             /* cosine between left's peak vector and right's mirrored; NAN when either is 0 */
    int lag;                      /* right's onset frame less left's; NO_LAG when either has none */
};

std::array<double, 3> rest_position(const FacePositions &xyz, int marker, const MeasureSettings &settings); /* mean, mm */
std::vector<double> displacement_curve(const FacePositions &xyz, int marker, const MeasureSettings &settings); /* from rest */
MarkerMeasure measure_marker(const FacePositions &xyz, int marker, const MeasureSettings &settings);
PairMeasure measure_pair(const MarkerMeasure &left, const MarkerMeasure &right);

#endif
