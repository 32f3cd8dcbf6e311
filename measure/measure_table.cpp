#include "measure_table.h"

#include <math.h>

#include <algorithm>

/* A frame that may be empty (-1, or NO_LAG for a lag), as a value: NAN where empty. */
static double frame_value(int frame)
{
    return frame < 0 ? NAN : frame;
}

static const MarkerMeasure &marker(const MeasuredFile &file, size_t index)
{
    return file.markers[index];
}

static const PairMeasure &pair(const MeasuredFile &file, size_t index)
{
    return file.pairs[index];
}

static double peak(const MeasuredFile &f, size_t i) { return marker(f, i).peak; }
static double peak_frame(const MeasuredFile &f, size_t i) { return frame_value(marker(f, i).peak_frame); }
static double onset_frame(const MeasuredFile &f, size_t i) { return frame_value(marker(f, i).onset_frame); }
static double offset_frame(const MeasuredFile &f, size_t i) { return frame_value(marker(f, i).offset_frame); }
static double peak_speed(const MeasuredFile &f, size_t i) { return marker(f, i).peak_speed; }
static double dx(const MeasuredFile &f, size_t i) { return marker(f, i).peak_vector[0]; }
static double dy(const MeasuredFile &f, size_t i) { return marker(f, i).peak_vector[1]; }
static double dz(const MeasuredFile &f, size_t i) { return marker(f, i).peak_vector[2]; }
static double left_peak(const MeasuredFile &f, size_t i) { return pair(f, i).left_peak; }
static double right_peak(const MeasuredFile &f, size_t i) { return pair(f, i).right_peak; }
static double ratio(const MeasuredFile &f, size_t i) { return pair(f, i).ratio; }
static double difference(const MeasuredFile &f, size_t i) { return pair(f, i).difference; }
static double asymmetry(const MeasuredFile &f, size_t i) { return pair(f, i).asymmetry; }
static double direction(const MeasuredFile &f, size_t i) { return pair(f, i).direction; }
static double lag(const MeasuredFile &f, size_t i)
{
    return pair(f, i).lag == NO_LAG ? NAN : pair(f, i).lag;
}

/* A face row's sums (face.csv's rest, change and closure_pct), and its two sides' (face-sides.csv's). */
static double face_rest(const MeasuredFile &f, size_t i) { return f.face[i].rest; }
static double face_change(const MeasuredFile &f, size_t i) { return f.face[i].change; }
static double face_closure(const MeasuredFile &f, size_t i) { return f.face[i].closure_pct; }
static double rest_asymmetry(const MeasuredFile &f, size_t i)
{
    return compare_face_sides(f.face[i].rest, f.face[i + 1].rest).asymmetry_pct;
}
static double change_asymmetry(const MeasuredFile &f, size_t i)
{
    return compare_face_sides(f.face[i].change, f.face[i + 1].change).asymmetry_pct;
}
static double change_ratio(const MeasuredFile &f, size_t i)
{
    return compare_face_sides(f.face[i].change, f.face[i + 1].change).ratio;
}
static bool is_closing(size_t row) { return face_rows()[row].measure->closure; }
static bool is_right_of_two(size_t row) { return face_rows()[row].measure->sided && face_rows()[row].side == FACE_R; }

/* The comparisons compare a marker's peak, onset and peak speed, and every pair measure but the peaks
 * (markers' measures already); an asymmetry first, as the clinic reads it. */
const MeasureDefinition measure_definitions[] = {
    /* kind, column, unit; heading, decimals and place on a page; seconds form, its column and heading; place
     * among the compared; outside; value */
    {MARKER_MEASURE, "peak_mm", "mm", "Peak (mm)", 1, 1, NO_SECONDS, "", "", 1, OUTSIDE_EITHER_WAY, peak, nullptr},
    {MARKER_MEASURE, "peak_frame", "frames", "Peak frame", 0, 2,
     FRAMES_AS_SECONDS, "peak_s", "Peak (s)", 0, OUTSIDE_EITHER_WAY, peak_frame, nullptr},
    {MARKER_MEASURE, "onset_frame", "frames", "Onset frame", 0, 3,
     FRAMES_AS_SECONDS, "onset_s", "Onset (s)", 2, OUTSIDE_EITHER_WAY, onset_frame, nullptr},
    {MARKER_MEASURE, "offset_frame", "frames", "Offset frame", 0, 4,
     FRAMES_AS_SECONDS, "offset_s", "Offset (s)", 0, OUTSIDE_EITHER_WAY, offset_frame, nullptr},
    {MARKER_MEASURE, "peak_speed_mm_per_frame", "mm per frame", "Peak speed (mm/frame)", 2, 5,
     PER_FRAME_AS_PER_SECOND, "peak_speed_mm_per_s", "Peak speed (mm/s)", 3, OUTSIDE_EITHER_WAY, peak_speed, nullptr},
    {MARKER_MEASURE, "dx_mm", "mm", "dx (mm)", 1, 6, NO_SECONDS, "", "", 0, OUTSIDE_EITHER_WAY, dx, nullptr},
    {MARKER_MEASURE, "dy_mm", "mm", "dy (mm)", 1, 7, NO_SECONDS, "", "", 0, OUTSIDE_EITHER_WAY, dy, nullptr},
    {MARKER_MEASURE, "dz_mm", "mm", "dz (mm)", 1, 8, NO_SECONDS, "", "", 0, OUTSIDE_EITHER_WAY, dz, nullptr},
    {PAIR_MEASURE, "left_peak_mm", "mm", "Left peak (mm)", 1, 1, NO_SECONDS, "", "", 0, OUTSIDE_EITHER_WAY, left_peak, nullptr},
    {PAIR_MEASURE, "right_peak_mm", "mm", "Right peak (mm)", 1, 2,
     NO_SECONDS, "", "", 0, OUTSIDE_EITHER_WAY, right_peak, nullptr},
    {PAIR_MEASURE, "ratio", "", "Ratio", 2, 4, NO_SECONDS, "", "", 2, OUTSIDE_EITHER_WAY, ratio, nullptr},
    {PAIR_MEASURE, "difference_mm", "mm", "Difference (mm)", 1, 3,
     NO_SECONDS, "", "", 3, OUTSIDE_EITHER_WAY, difference, nullptr},
    {PAIR_MEASURE, "asymmetry_pct", "%", "Asymmetry (%)", 1, 5, NO_SECONDS, "", "", 1, OUTSIDE_ABOVE, asymmetry, nullptr},
    {PAIR_MEASURE, "direction_cos", "", "Direction (cos)", 2, 6, NO_SECONDS, "", "", 4, OUTSIDE_EITHER_WAY, direction, nullptr},
    {PAIR_MEASURE, "lag_frames", "frames", "Lag (frames)", 0, 7,
     FRAMES_AS_SECONDS, "lag_s", "Lag (s)", 5, OUTSIDE_EITHER_WAY, lag, nullptr},
    {FACE_MEASURE, "rest", "", "Rest", 2, 0, NO_SECONDS, "", "", 1, OUTSIDE_EITHER_WAY, face_rest, nullptr},
    {FACE_MEASURE, "change", "", "Change", 2, 0, NO_SECONDS, "", "", 2, OUTSIDE_EITHER_WAY, face_change, nullptr},
    {FACE_MEASURE, "closure_pct", "%", "Closure (%)", 1, 0, NO_SECONDS, "", "", 3, OUTSIDE_EITHER_WAY, face_closure,
     is_closing},
    {FACE_SIDE_MEASURE, "rest_asymmetry_pct", "%", "Rest asymmetry (%)", 1, 0, NO_SECONDS, "", "", 1, OUTSIDE_ABOVE,
     rest_asymmetry, is_right_of_two},
    {FACE_SIDE_MEASURE, "change_asymmetry_pct", "%", "Change asymmetry (%)", 1, 0, NO_SECONDS, "", "", 2,
     OUTSIDE_ABOVE, change_asymmetry, is_right_of_two},
    {FACE_SIDE_MEASURE, "change_ratio", "", "Change ratio", 2, 0, NO_SECONDS, "", "", 3, OUTSIDE_EITHER_WAY,
     change_ratio, is_right_of_two},
};
const size_t measure_definitions_size = sizeof measure_definitions / sizeof measure_definitions[0];
const int seconds_decimals = 2;

const char *kind_name(MeasureKind kind)
{
    switch (kind) {
    case MARKER_MEASURE: return "marker";
    case PAIR_MEASURE: return "pair";
    case FACE_MEASURE: return "face";
    case FACE_SIDE_MEASURE: return "face-side";
    }
    return "";
}

bool is_kind_name(const std::string &name)
{
    for (MeasureKind kind : {MARKER_MEASURE, PAIR_MEASURE, FACE_MEASURE, FACE_SIDE_MEASURE})
        if (name == kind_name(kind))
            return true;
    return false;
}

bool is_whole(const MeasureDefinition &measure)
{
    return std::string(measure.unit) == "frames";
}

double seconds_value(const MeasureDefinition &measure, const MeasuredFile &file, size_t index)
{
    double v = measure.value(file, index), step = frame_seconds(file);
    return measure.seconds == FRAMES_AS_SECONDS ? v * step : measure.seconds == PER_FRAME_AS_PER_SECOND ? v / step : NAN;
}

std::vector<const MeasureDefinition *> measures_of(MeasureKind kind)
{
    std::vector<const MeasureDefinition *> list;
    for (size_t i = 0; i < measure_definitions_size; i++)
        if (measure_definitions[i].kind == kind)
            list.push_back(&measure_definitions[i]);
    return list;
}

/* Those of a kind with a place (compared or page), in their places. */
static std::vector<const MeasureDefinition *> placed_of(MeasureKind kind, int MeasureDefinition::*place)
{
    std::vector<const MeasureDefinition *> list;
    for (const MeasureDefinition *m : measures_of(kind))
        if (m->*place > 0)
            list.push_back(m);
    std::stable_sort(list.begin(), list.end(),
                     [place](const MeasureDefinition *a, const MeasureDefinition *b) { return a->*place < b->*place; });
    return list;
}

std::vector<const MeasureDefinition *> compared_of(MeasureKind kind)
{
    return placed_of(kind, &MeasureDefinition::compared);
}

std::vector<const MeasureDefinition *> paged_of(MeasureKind kind)
{
    return placed_of(kind, &MeasureDefinition::page);
}

const MeasureDefinition *find_measure(MeasureKind kind, const std::string &column)
{
    for (const MeasureDefinition *m : measures_of(kind))
        if (column == m->column)
            return m;
    return nullptr;
}
