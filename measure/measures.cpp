#include "measures.h"

#include <math.h>

#include <algorithm>

static const double *position(const FacePositions &xyz, int frame, int marker)
{
    return &xyz[((size_t)frame * FACE_MARKERS + (size_t)marker) * 3];
}

static double distance(const double *a, const double *b)
{
    return sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

std::array<double, 3> rest_position(const FacePositions &xyz, int marker, const MeasureSettings &settings)
{
    std::array<double, 3> rest = {0.0, 0.0, 0.0};
    for (int f = settings.rest_first; f <= settings.rest_last; f++)
        for (int a = 0; a < 3; a++)
            rest[(size_t)a] += position(xyz, f, marker)[a];
    for (double &r : rest)
        r /= settings.rest_last - settings.rest_first + 1;
    return rest;
}

std::vector<double> displacement_curve(const FacePositions &xyz, int marker, const MeasureSettings &settings)
{
    std::array<double, 3> rest = rest_position(xyz, marker, settings);
    std::vector<double> d(FACE_FRAMES);
    for (int f = 0; f < FACE_FRAMES; f++)
        d[(size_t)f] = distance(position(xyz, f, marker), rest.data());
    return d;
}

/* Speed at frame f in mm per frame: |p(f+1) - p(f-1)| / 2 inside,
 * one-sided at the first and last frames. */
static double speed(const FacePositions &xyz, int marker, int f)
{
    int before = std::max(f - 1, 0), after = std::min(f + 1, FACE_FRAMES - 1);
    return distance(position(xyz, after, marker), position(xyz, before, marker)) / (after - before);
}

/* Onset and offset around the peak, at threshold x peak. */
static void find_onset_offset(const std::vector<double> &d, double threshold, MarkerMeasure *m)
{
    m->onset_frame = m->offset_frame = -1;
    if (m->peak == 0.0)
        return;
    double level = threshold * m->peak;
    for (int f = 0; f < FACE_FRAMES && m->onset_frame < 0; f++)
        if (d[(size_t)f] >= level)
            m->onset_frame = f;
    for (int f = m->peak_frame + 1; f < FACE_FRAMES && m->offset_frame < 0; f++)
        if (d[(size_t)f] < level)
            m->offset_frame = f;
}

MarkerMeasure measure_marker(const FacePositions &xyz, int marker, const MeasureSettings &settings)
{
    std::vector<double> d = displacement_curve(xyz, marker, settings);
    MarkerMeasure m;
    m.peak_frame = (int)(std::max_element(d.begin(), d.end()) - d.begin());
    m.peak = d[(size_t)m.peak_frame];
    find_onset_offset(d, settings.threshold, &m);
    m.peak_speed = 0.0;
    for (int f = 0; f < FACE_FRAMES; f++)
        m.peak_speed = std::max(m.peak_speed, speed(xyz, marker, f));
    const double *at_peak = position(xyz, m.peak_frame, marker);
    std::array<double, 3> rest = rest_position(xyz, marker, settings);
    for (size_t a = 0; a < 3; a++)
        m.peak_vector[a] = at_peak[a] - rest[a];
    return m;
}

/* The right side's vector mirrored across the face's midline, x = 0 of
 * the viewer's axes, so that mirror-image movements point the same way. */
static double mirrored_cosine(const std::array<double, 3> &left, const std::array<double, 3> &right)
{
    double dot = left[0] * -right[0] + left[1] * right[1] + left[2] * right[2];
    double lengths = sqrt(left[0] * left[0] + left[1] * left[1] + left[2] * left[2]) *
                     sqrt(right[0] * right[0] + right[1] * right[1] + right[2] * right[2]);
    return dot / lengths;
}

PairMeasure measure_pair(const MarkerMeasure &left, const MarkerMeasure &right)
{
    PairMeasure p;
    p.left_peak = left.peak;
    p.right_peak = right.peak;
    p.ratio = right.peak == 0.0 ? NAN : left.peak / right.peak;
    p.difference = fabs(left.peak - right.peak);
    double larger = std::max(left.peak, right.peak);
    p.asymmetry = larger == 0.0 ? 0.0 : 100.0 * p.difference / larger;
    p.direction = left.peak == 0.0 || right.peak == 0.0 ? NAN : mirrored_cosine(left.peak_vector, right.peak_vector);
    p.lag = left.onset_frame < 0 || right.onset_frame < 0 ? NO_LAG : right.onset_frame - left.onset_frame;
    return p;
}

std::string settings_note(const MeasureSettings &settings)
{
    return (settings.smooth_hz > 0.0 ? ", smoothed at " + settings.smooth_text + " Hz" : "") +
           std::string(settings.in_plane ? ", in the picture's plane" : "");
}
