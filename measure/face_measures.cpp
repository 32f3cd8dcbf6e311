#include "face_measures.h"

#include <math.h>

#include <algorithm>

/* The frame's eye line: its midpoint M, u across the face and w up it. */
struct EyeLine {
    double m[2], u[2], w[2];
};

static const double *point(const FacePoints &p, int i)
{
    return &p[2 * (size_t)i];
}

static double distance(const FacePoints &p, int a, int b)
{
    return hypot(point(p, a)[0] - point(p, b)[0], point(p, a)[1] - point(p, b)[1]);
}

/* An eye's centre: the midpoint of its corners, which the lids do not move. */
static void eye_centre(const FacePoints &p, int outer, int inner, double c[2])
{
    for (int a = 0; a < 2; a++)
        c[a] = (point(p, outer)[a] + point(p, inner)[a]) / 2;
}

static EyeLine eye_line(const FacePoints &p)
{
    double right[2], left[2];
    eye_centre(p, 36, 39, right);
    eye_centre(p, 45, 42, left);
    double dx = left[0] - right[0], dy = left[1] - right[1], length = hypot(dx, dy);
    EyeLine e = {{(right[0] + left[0]) / 2, (right[1] + left[1]) / 2}, {dx / length, dy / length}, {0, 0}};
    e.w[0] = -e.u[1];
    e.w[1] = e.u[0];
    return e;
}

static double height(const EyeLine &e, const double *q)
{
    return (q[0] - e.m[0]) * e.w[0] + (q[1] - e.m[1]) * e.w[1];
}

static double across(const EyeLine &e, const double *q)
{
    return (q[0] - e.m[0]) * e.u[0] + (q[1] - e.m[1]) * e.u[1];
}

static double mean_height(const FacePoints &p, const std::vector<int> &points)
{
    EyeLine e = eye_line(p);
    double sum = 0.0;
    for (int i : points)
        sum += height(e, point(p, i));
    return sum / (double)points.size();
}

/* K: where the outer lower lip, P48 P59 P58 P57 P56 P55 P54, first crosses the midline s = 0 from P48;
 * P57 when it does not cross. */
static void lip_midpoint(const FacePoints &p, double k[2])
{
    static const int lip[] = {48, 59, 58, 57, 56, 55, 54};
    EyeLine e = eye_line(p);
    for (size_t i = 0; i + 1 < sizeof lip / sizeof lip[0]; i++) {
        const double *a = point(p, lip[i]), *b = point(p, lip[i + 1]);
        double sa = across(e, a), sb = across(e, b);
        if ((sa <= 0 && sb >= 0) || (sa >= 0 && sb <= 0)) {
            double t = sa == sb ? 0.0 : sa / (sa - sb);
            k[0] = a[0] + t * (b[0] - a[0]);
            k[1] = a[1] + t * (b[1] - a[1]);
            return;
        }
    }
    k[0] = point(p, 57)[0];
    k[1] = point(p, 57)[1];
}

static int corner(FaceSide side)
{
    return side == FACE_R ? 48 : 54;
}

static double eye_opening(const FacePoints &p, FaceSide side)
{
    return side == FACE_R ? (distance(p, 37, 41) + distance(p, 38, 40)) / 2
                          : (distance(p, 43, 47) + distance(p, 44, 46)) / 2;
}

static double brow_height(const FacePoints &p, FaceSide side)
{
    return side == FACE_R ? mean_height(p, {17, 18, 19, 20, 21}) : mean_height(p, {22, 23, 24, 25, 26});
}

static double mouth_corner_height(const FacePoints &p, FaceSide side)
{
    return mean_height(p, {corner(side)});
}

static double commissure_excursion(const FacePoints &p, FaceSide side)
{
    double k[2];
    lip_midpoint(p, k);
    const double *c = point(p, corner(side));
    return hypot(c[0] - k[0], c[1] - k[1]);
}

static double smile_angle(const FacePoints &p, FaceSide side)
{
    double k[2];
    lip_midpoint(p, k);
    EyeLine e = eye_line(p);
    const double *c = point(p, corner(side));
    return atan2(height(e, c) - height(e, k), fabs(across(e, c) - across(e, k))) * 180.0 / M_PI;
}

static double lower_lip_height(const FacePoints &p, FaceSide side)
{
    return side == FACE_R ? mean_height(p, {58, 59}) : mean_height(p, {55, 56});
}

static double mouth_opening(const FacePoints &p, FaceSide)
{
    return distance(p, 62, 66);
}

const FaceMeasureDefinition face_measure_definitions[] = {
    {"eye_opening_mm", "mm", true, true, eye_opening},
    {"brow_height_mm", "mm", true, false, brow_height},
    {"mouth_corner_height_mm", "mm", true, false, mouth_corner_height},
    {"commissure_excursion_mm", "mm", true, false, commissure_excursion},
    {"smile_angle_deg", "deg", true, false, smile_angle},
    {"lower_lip_height_mm", "mm", true, false, lower_lip_height},
    {"mouth_opening_mm", "mm", false, false, mouth_opening},
};
const size_t face_measure_count = sizeof face_measure_definitions / sizeof face_measure_definitions[0];

const char *face_side_name(const FaceMeasureDefinition &measure, FaceSide side)
{
    return !measure.sided ? "" : side == FACE_R ? "R" : "L";
}

std::vector<FaceRow> face_rows()
{
    std::vector<FaceRow> rows;
    for (size_t i = 0; i < face_measure_count; i++) {
        rows.push_back({&face_measure_definitions[i], FACE_R});
        if (face_measure_definitions[i].sided)
            rows.push_back({&face_measure_definitions[i], FACE_L});
    }
    return rows;
}

FacePoints frame_points(const std::vector<double> &landmarks, int frame)
{
    FacePoints p;
    const double *at = &landmarks[(size_t)frame * FACE_LANDMARKS * 3];
    for (size_t i = 0; i < FACE_LANDMARKS; i++) {
        p[2 * i] = at[3 * i];
        p[2 * i + 1] = at[3 * i + 1];
    }
    return p;
}

FaceSummary summarise_face_series(const std::vector<double> &series, int rest_first, int rest_last, bool closure)
{
    FaceSummary s;
    for (int f = rest_first; f <= rest_last; f++)
        s.rest += series[(size_t)f] / (rest_last - rest_first + 1);
    double farthest = 0.0;
    for (double v : series)
        farthest = std::max(farthest, fabs(v - s.rest));
    for (size_t f = 0; f < series.size(); f++)
        if (fabs(series[f] - s.rest) >= farthest - 1e-9) {
            s.extreme_frame = (int)f;
            break;
        }
    s.extreme = series[(size_t)s.extreme_frame];
    s.change = s.extreme - s.rest;
    double least = *std::min_element(series.begin(), series.end());
    s.closure_pct = closure ? 100.0 * (s.rest - least) / s.rest : NAN;
    return s;
}

FaceSides compare_face_sides(double right, double left)
{
    double larger = std::max(fabs(left), fabs(right));
    return {fabs(right) < 0.001 ? NAN : left / right, larger < 0.001 ? NAN : 100.0 * fabs(left - right) / larger};
}
