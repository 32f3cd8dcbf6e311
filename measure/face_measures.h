/* Faces as clinicians grade them, from the 68 landmarks of the iBUG
 * scheme (numbered from 0, as OpenFace tables number them; R is the
 * subject's right: points 36-41, 17-21 and 48; L the left: 42-47, 22-26
 * and 54). Each frame is measured in the face's frontal plane, as on a
 * photograph: x and y in millimetres, depth not used. The eye line runs
 * from the right eye's centre E_R to the left's E_L, each the midpoint of
 * the eye's corners (36 and 39, 45 and 42): the lids move the mean of an
 * eye's six points, and a line through those would tilt as one eye closes
 * and read a still mouth as moving (its corners 1.6 mm, and that side's brow
 * 1.5 mm, when one eye of a real face closes fully). u = unit(E_L - E_R)
 * across the face and w = u turned +90 degrees up it; a point's height
 * h(P) = (P - M).w and its place across s(P) = (P - M).u, M the eyes'
 * midpoint. So a face turned, moved or seen larger in the picture gives
 * the same heights and distances (scaled). */
#ifndef MIENSCOPE_FACE_MEASURES_H
#define MIENSCOPE_FACE_MEASURES_H

#include <array>
#include <string>
#include <vector>

#include "face_files.h"

enum FaceSide { FACE_R, FACE_L };

/* One frame's points: x, y of each in turn, millimetres. */
typedef std::array<double, 2 * FACE_LANDMARKS> FacePoints;

/* A measure of a face in one frame, for one side (or the face's one value where it has no sides). */
struct FaceMeasureDefinition {
    const char *name;  /* its name in the tables: "eye_opening_mm" */
    const char *unit;  /* "mm" or "deg" */
    bool sided;        /* R and L; false: one value, its side empty */
    bool closure;      /* its closure_pct is given (100 x the fall from rest to the least value / rest) */
    double (*value)(const FacePoints &points, FaceSide side);
};

extern const FaceMeasureDefinition face_measure_definitions[]; /* in the tables' order */
extern const size_t face_measure_count;                      /* their number */
const char *face_side_name(const FaceMeasureDefinition &measure, FaceSide side); /* "R", "L", or "" unsided */

/* A row of the face tables: a measure and a side (R for one that has none). */
struct FaceRow {
    const FaceMeasureDefinition *measure;
    FaceSide side;
};
std::vector<FaceRow> face_rows(); /* every measure in the table's order, R before L */
/* One frame's points from FACE_LANDMARKS x 3 positions (the viewer's x and y; depth left out). */
FacePoints frame_points(const std::vector<double> &landmarks, int frame);

/* One measure's series over the frames, summed up against its rest (the mean of the rest frames). */
struct FaceSummary {
    double rest = 0.0, extreme = 0.0, change = 0.0; /* extreme: the value farthest from rest; change = extreme - rest */
    int extreme_frame = 0;                          /* the first frame within 1e-9 of that distance */
    double closure_pct = 0.0;                       /* 100 x (rest - the least value) / rest; NAN unless asked */
};
FaceSummary summarise_face_series(const std::vector<double> &series, int rest_first, int rest_last, bool closure);

/* Two sides set against each other: NAN where the text says a field is empty. */
struct FaceSides {
    double ratio;          /* L / R; NAN where |R| < 0.001 */
    double asymmetry_pct;  /* 100 |L - R| / max(|L|, |R|), up to 200 for opposite signs; NAN where both < 0.001 */
};
FaceSides compare_face_sides(double right, double left);

#endif
