/* The one conversion call and the steps it runs, in order. */
#include "convert.h"

#include <stdio.h>

#include <algorithm>

#include "steps.h"
#include "text.h"

/* A position within a billionth of a frame (relative to its index) of a
 * whole frame is that frame: t = from + k (to - from) / 179 rounds, and a
 * frame that the time hits must come out as itself, not as a blend. */
static double snap_to_frame(double u)
{
    double whole = floor(u + 0.5);
    return fabs(u - whole) <= 1e-9 * (whole > 1.0 ? whole : 1.0) ? whole : u;
}

/* The fractional frame index of time t, whole where t is a frame's. */
static double frame_position(const Recording &rec, double t)
{
    double last = rec.frames > 0 ? (double)(rec.frames - 1) : 0.0;
    double u;
    if (rec.even_times) {
        u = t * rec.rate;
    } else {
        size_t i = (size_t)(std::upper_bound(rec.times.begin(), rec.times.end(), t) - rec.times.begin());
        i = i == 0 ? 0 : i - 1;
        bool between = i + 1 < rec.frames && rec.times[i + 1] > rec.times[i];
        u = between ? i + (t - rec.times[i]) / (rec.times[i + 1] - rec.times[i]) : (double)i;
    }
    u = snap_to_frame(u);
    return u > 0.0 ? (u < last ? u : last) : 0.0; /* NaN, from a file's odd rate or times, as 0 */
}

/* Step 1: --from and --to, each optional (NAN), within 0 .. the recording's end. */
static bool find_span(const Recording &rec, double from, double to, Span *span, std::string *error)
{
    double end = recording_end(rec);
    span->from = isnan(from) ? 0.0 : from;
    span->to = isnan(to) ? end : to;
    /* A --to typed as the end's decimal may round a hair past it. */
    if (span->to > end && span->to <= end + 1e-9)
        span->to = end;
    if (!(span->from >= 0.0 && span->to <= end && span->from < span->to)) {
        char text[200];
        snprintf(text, sizeof text,
                 "--from %g and --to %g: the part shown must lie within 0 .. %g s, with --from before --to", span->from,
                 span->to, end);
        *error = text;
        return false;
    }
    span->first = (size_t)floor(frame_position(rec, span->from));
    span->last = (size_t)ceil(frame_position(rec, span->to));
    return true;
}

/* The recording's right and up, unless the options name their own. */
static bool find_axes(const Recording &rec, const ConvertOptions &options, ScreenAxes *axes, std::string *error)
{
    axes->right = options.right ? *options.right : rec.screen.right;
    axes->up = options.up ? *options.up : rec.screen.up;
    return check_screen_axes(axes->right, axes->up, error);
}

/* Step 2. */
static Tracks gather_tracks(const Recording &rec, const Selection &selection)
{
    std::vector<size_t> chosen = selection.markers;
    chosen.insert(chosen.end(), selection.rigid.begin(), selection.rigid.end());
    Tracks tracks;
    tracks.frames = rec.frames;
    tracks.points = chosen.size();
    tracks.markers = selection.markers.size();
    tracks.xyz.resize(tracks.frames * tracks.points * 3);
    tracks.valid.resize(tracks.frames * tracks.points);
    size_t n = rec.points.size();
    for (size_t f = 0; f < rec.frames; f++)
        for (size_t k = 0; k < chosen.size(); k++) {
            for (int a = 0; a < 3; a++)
                tracks.xyz[(f * tracks.points + k) * 3 + a] = rec.xyz[(f * n + chosen[k]) * 3 + a] * rec.mm_per_unit;
            tracks.valid[f * tracks.points + k] = rec.valid[f * n + chosen[k]];
        }
    return tracks;
}

static double *sample(Tracks *tracks, size_t frame, size_t k)
{
    return &tracks->xyz[(frame * tracks->points + k) * 3];
}

/* Fills the missing samples of track k between valid frames a and b (or
 * holds one of them where the other is missing), weighted by time. */
static void fill_run(const Recording &rec, Tracks *tracks, size_t k, long a, long b, size_t from, size_t to)
{
    for (size_t f = from; f < to; f++) {
        double *out = sample(tracks, f, k);
        if (a < 0 || b < 0) {
            const double *held = sample(tracks, (size_t)(a < 0 ? b : a), k);
            std::copy(held, held + 3, out);
            continue;
        }
        const double *pa = sample(tracks, (size_t)a, k), *pb = sample(tracks, (size_t)b, k);
        double w = (rec.times[f] - rec.times[(size_t)a]) / (rec.times[(size_t)b] - rec.times[(size_t)a]);
        for (int axis = 0; axis < 3; axis++)
            out[axis] = pa[axis] + w * (pb[axis] - pa[axis]);
    }
}

/* Counts what was missing in the span's frames, then fills the track. */
static GapReport fill_track(const Recording &rec, const Span &span, Tracks *tracks, size_t k)
{
    GapReport gap = {0, 0, span.last - span.first + 1, 0};
    size_t run = 0;
    long previous = -1;
    for (size_t f = 0; f < tracks->frames; f++) {
        bool valid = tracks->valid[f * tracks->points + k];
        bool inside = f >= span.first && f <= span.last;
        run = valid || !inside ? 0 : run + 1;
        gap.filled += !valid && inside;
        gap.longest = std::max(gap.longest, run);
        if (!valid)
            continue;
        fill_run(rec, tracks, k, previous, (long)f, (size_t)(previous + 1), f);
        previous = (long)f;
    }
    fill_run(rec, tracks, k, previous, -1, (size_t)(previous + 1), tracks->frames);
    return gap;
}

static size_t point_of(const Selection &selection, size_t k)
{
    return k < selection.markers.size() ? selection.markers[k] : selection.rigid[k - selection.markers.size()];
}

/* Step 3: false, naming the point, when a track has no valid sample. */
static bool fill_gaps(const Recording &rec, const Selection &selection, const Span &span, Tracks *tracks,
                      std::vector<GapReport> *gaps, std::string *error)
{
    for (size_t k = 0; k < tracks->points; k++) {
        size_t valid = 0;
        for (size_t f = 0; f < tracks->frames; f++)
            valid += tracks->valid[f * tracks->points + k];
        if (valid == 0) {
            *error = "point \"" + rec.points[point_of(selection, k)].label + "\" has no valid sample in any frame";
            return false;
        }
        GapReport gap = fill_track(rec, span, tracks, k);
        gap.point = point_of(selection, k);
        if (gap.filled > 0)
            gaps->push_back(gap);
    }
    return true;
}

/* Step 5: the marker tracks, linearly interpolated at even times over the span. */
static FacePositions resample(const Recording &rec, const Tracks &tracks, const Span &span)
{
    const size_t markers = tracks.markers;
    FacePositions out(FACE_FRAMES * markers * 3);
    for (size_t k = 0; k < FACE_FRAMES; k++) {
        double t = k + 1 == FACE_FRAMES ? span.to : span.from + k * (span.to - span.from) / (FACE_FRAMES - 1);
        double u = frame_position(rec, t);
        size_t i = (size_t)floor(u);
        double w = u - (double)i;
        size_t j = i + 1 < tracks.frames ? i + 1 : i;
        for (size_t m = 0; m < markers; m++)
            for (int a = 0; a < 3; a++) {
                double p = tracks.xyz[(i * tracks.points + m) * 3 + a], q = tracks.xyz[(j * tracks.points + m) * 3 + a];
                out[(k * markers + m) * 3 + a] = w == 0.0 ? p : p + w * (q - p);
            }
    }
    return out;
}

/* +1 when (a, b, c) is an even permutation of (x, y, z), so that
 * e_a cross e_b = +e_c. */
static int cyclic(int a, int b)
{
    return (b - a + 3) % 3 == 1 ? 1 : -1;
}

/* Step 6: the viewer's x is the recording's right, y its up, z right cross up. */
static void turn_to_viewer(const ScreenAxes &axes, FacePositions *xyz)
{
    int third = 3 - axes.right.axis - axes.up.axis;
    int z_sign = axes.right.sign * axes.up.sign * cyclic(axes.right.axis, axes.up.axis);
    for (size_t p = 0; p + 2 < xyz->size(); p += 3) {
        double *v = &(*xyz)[p];
        double turned[3] = {axes.right.sign * v[axes.right.axis], axes.up.sign * v[axes.up.axis], z_sign * v[third]};
        std::copy(turned, turned + 3, v);
    }
}

ConvertResult convert_recording(const Recording &rec, const Selection &selection, const std::string &set_name,
                                const ConvertOptions &options, Converted *out, std::string *error)
{
    if (rec.frames < 2) {
        *error = "holds " + count_of(rec.frames, "frame", "frames") + "; a movement needs at least 2";
        return CONVERT_BAD_RECORDING;
    }
    ScreenAxes axes;
    Span span;
    if (!find_axes(rec, options, &axes, error) || !find_span(rec, options.from, options.to, &span, error))
        return CONVERT_BAD_OPTIONS;
    Tracks tracks = gather_tracks(rec, selection);
    out->gaps.clear();
    if (!fill_gaps(rec, selection, span, &tracks, &out->gaps, error))
        return CONVERT_BAD_RECORDING;
    if (!align_to_first_frame(span, &tracks, set_name, error))
        return CONVERT_BAD_SET;
    out->positions = resample(rec, tracks, span);
    out->seconds = span.to - span.from;
    out->from = span.from;
    turn_to_viewer(axes, &out->positions);
    if (positions_fit_marker_file(out->positions))
        return CONVERTED;
    *error = "positions reach beyond what a marker file holds (a float's range, in millimetres)";
    return CONVERT_BAD_RECORDING;
}

bool check_screen_axes(AxisDirection right, AxisDirection up, std::string *error)
{
    if (right.axis != up.axis)
        return true;
    *error = "right " + axis_name(right) + " and up " + axis_name(up) + " are on the same axis";
    return false;
}

/* What was filled, without the point. */
static std::string gap_text(const Recording &rec, const GapReport &gap)
{
    char text[200];
    snprintf(text, sizeof text, "filled %zu of %zu frames in the span, longest gap %zu frames (%.3f s)", gap.filled,
             gap.frames, gap.longest, gap.longest / rec.rate);
    return text;
}

std::string gap_message(const Recording &rec, const GapReport &gap)
{
    return "point \"" + rec.points[gap.point].label + "\": " + gap_text(rec, gap);
}

static bool same_gap(const GapReport &a, const GapReport &b)
{
    return a.filled == b.filled && a.frames == b.frames && a.longest == b.longest;
}

/* The points of one kind of gap: "point "A"", "points "A" and "B"", "points "A", "B" and 3 more". */
static std::string points_named(const Recording &rec, const std::vector<size_t> &points)
{
    std::string first = "\"" + rec.points[points[0]].label + "\"";
    if (points.size() == 1)
        return "point " + first;
    std::string second = "\"" + rec.points[points[1]].label + "\"";
    if (points.size() == 2)
        return "points " + first + " and " + second;
    return "points " + first + ", " + second + " and " + std::to_string(points.size() - 2) + " more";
}

std::vector<std::string> gap_messages(const Recording &rec, const std::vector<GapReport> &gaps)
{
    std::vector<std::string> lines;
    std::vector<bool> said(gaps.size(), false);
    for (size_t i = 0; i < gaps.size(); i++) {
        if (said[i])
            continue;
        std::vector<size_t> points;
        for (size_t j = i; j < gaps.size(); j++)
            if (!said[j] && same_gap(gaps[i], gaps[j])) {
                said[j] = true;
                points.push_back(gaps[j].point);
            }
        lines.push_back(points_named(rec, points) + ": " + gap_text(rec, gaps[i]));
    }
    return lines;
}
