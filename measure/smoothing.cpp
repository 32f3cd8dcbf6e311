#include "smoothing.h"

#include <math.h>

/* Samples the series is extended by at each end: three times the number
 * of coefficients, as SciPy's filtfilt does by default. */
static const size_t padding = 9;

Biquad butterworth_lowpass(double normalised_cutoff)
{
    /* The analogue prototype's poles (-1 +- j) / sqrt 2, scaled to the
     * pre-warped cutoff K = tan(pi Wn / 2) (sample rate 2) and mapped by
     * the bilinear transform; both zeros land at z = -1. */
    double k = tan(M_PI * normalised_cutoff / 2.0);
    double norm = 1.0 + M_SQRT2 * k + k * k;
    Biquad f;
    f.b[0] = k * k / norm;
    f.b[1] = 2.0 * f.b[0];
    f.b[2] = f.b[0];
    f.a[0] = 1.0;
    f.a[1] = 2.0 * (k * k - 1.0) / norm;
    f.a[2] = (1.0 - M_SQRT2 * k + k * k) / norm;
    return f;
}

/* The state of the transposed direct form that a constant input of 1
 * leaves unchanged (SciPy's lfilter_zi). */
static void steady_state(const Biquad &f, double zi[2])
{
    double b1 = f.b[1] - f.a[1] * f.b[0], b2 = f.b[2] - f.a[2] * f.b[0];
    zi[0] = (b1 + b2) / (1.0 + f.a[1] + f.a[2]);
    zi[1] = b2 - f.a[2] * zi[0];
}

/* One pass, transposed direct form II, started from the steady state of
 * the first sample. */
static void run_filter(const Biquad &f, std::vector<double> *x)
{
    double zi[2];
    steady_state(f, zi);
    double z0 = zi[0] * (*x)[0], z1 = zi[1] * (*x)[0];
    for (double &v : *x) {
        double in = v, out = f.b[0] * in + z0;
        z0 = f.b[1] * in - f.a[1] * out + z1;
        z1 = f.b[2] * in - f.a[2] * out;
        v = out;
    }
}

std::vector<double> filter_both_ways(const Biquad &f, const std::vector<double> &series)
{
    size_t n = series.size();
    if (n <= padding)
        return series;
    /* Odd extension: 2 x[0] - x[padding .. 1] before, 2 x[n-1] - x[n-2 .. n-1-padding] after. */
    std::vector<double> ext;
    ext.reserve(n + 2 * padding);
    for (size_t i = padding; i >= 1; i--)
        ext.push_back(2.0 * series[0] - series[i]);
    ext.insert(ext.end(), series.begin(), series.end());
    for (size_t i = 2; i <= padding + 1; i++)
        ext.push_back(2.0 * series[n - 1] - series[n - i]);
    run_filter(f, &ext);
    std::vector<double> reversed(ext.rbegin(), ext.rend());
    run_filter(f, &reversed);
    return std::vector<double>(reversed.rbegin() + (long)padding, reversed.rend() - (long)padding);
}

FacePositions smooth_positions(const FacePositions &xyz, double cutoff_hz, double rate)
{
    Biquad filter = butterworth_lowpass(cutoff_hz / (rate / 2.0));
    FacePositions out(xyz.size());
    std::vector<double> series(FACE_FRAMES);
    size_t points = xyz.size() / (3 * FACE_FRAMES);
    for (size_t m = 0; m < points; m++)
        for (size_t a = 0; a < 3; a++) {
            for (size_t f = 0; f < FACE_FRAMES; f++)
                series[f] = xyz[(f * points + m) * 3 + a];
            std::vector<double> smooth = filter_both_ways(filter, series);
            for (size_t f = 0; f < FACE_FRAMES; f++)
                out[(f * points + m) * 3 + a] = smooth[f];
        }
    return out;
}
