/* Zero-phase low-pass filtering of marker trajectories, as labs filter
 * them before they measure: a second-order Butterworth filter designed by
 * the bilinear transform with its cutoff pre-warped, run forward and then
 * backward over the series, with the series extended at each end by its
 * odd reflection and the filter started in its steady state, so that the
 * ends do not ring. The result is that of SciPy's
 * filtfilt(*butter(2, cutoff / (rate / 2)), x) with its defaults. */
#ifndef MIENSCOPE_SMOOTHING_H
#define MIENSCOPE_SMOOTHING_H

#include <vector>

#include "face_files.h"

/* Coefficients of a second-order section: b over a, a[0] = 1. */
struct Biquad {
    double b[3];
    double a[3];
};

Biquad butterworth_lowpass(double normalised_cutoff); /* cutoff / (rate / 2), strictly between 0 and 1 */
/* The series filtered forward and backward; it needs more than 9 samples (it is returned as it is otherwise). */
std::vector<double> filter_both_ways(const Biquad &filter, const std::vector<double> &series);
/* Every coordinate of every point (FACE_FRAMES frames of as many as xyz holds: 24 markers or 68
 * landmarks) filtered over the frames; rate in frames a second. */
FacePositions smooth_positions(const FacePositions &xyz, double cutoff_hz, double rate);

#endif
