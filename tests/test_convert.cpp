/* The conversion: resampling in time, gap filling, axes, units, and the
 * rigid alignment that takes the head's motion out. */
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <math.h>

#include <algorithm>

#include "convert.h"
#include "importfiles.h"

struct Point3d {
    double x, y, z;
};

/* frames x points, evenly timed; point p in frame f at position(f, p). */
template <typename Position>
static Recording synthetic(size_t frames, size_t points, double rate, Position position)
{
    Recording rec;
    rec.rate = rate;
    rec.frames = frames;
    for (size_t p = 0; p < points; p++)
        rec.points.push_back(Point{"P" + std::to_string(p), "", true});
    for (size_t f = 0; f < frames; f++)
        for (size_t p = 0; p < points; p++) {
            Point3d xyz = position(f, p);
            rec.xyz.insert(rec.xyz.end(), {(float)xyz.x, (float)xyz.y, (float)xyz.z});
            rec.valid.push_back(1);
        }
    set_even_times(&rec);
    return rec;
}

static Selection first_points(size_t markers, size_t rigid = 0)
{
    Selection s;
    for (size_t i = 0; i < markers + rigid; i++)
        (i < markers ? s.markers : s.rigid).push_back(i);
    return s;
}

/* The recording's own axes as the viewer's: x right, y up. */
static ConvertOptions span_options(double from, double to)
{
    ConvertOptions options;
    options.from = from;
    options.to = to;
    options.right = AxisDirection{0, 1};
    options.up = AxisDirection{1, 1};
    return options;
}

static ConvertResult convert(const Recording &rec, const Selection &selection, const ConvertOptions &options,
                             Converted *out, std::string *error)
{
    return convert_recording(rec, selection, "head.set", options, out, error);
}

/* Marker m's axis a in output frame k. */
static double at(const Converted &c, size_t k, size_t m, int a)
{
    return c.positions[(k * FACE_MARKERS + m) * 3 + a];
}

TEST(Conversion, ResamplingHitsInputFramesExactlyAndBlendsBetween)
{
    /* 400 frames at 100 Hz; x = f squared, so a wrong blend shows. */
    Recording rec = synthetic(400, 24, 100.0, [](size_t f, size_t p) { return Point3d{(double)(f * f), (double)p, 0.0}; });
    Converted out;
    std::string error;
    /* output k at 0.02 k s: input frame 2k */
    ASSERT_EQ(convert(rec, first_points(24), span_options(0.0, 3.58), &out, &error), CONVERTED) << error;
    for (size_t k = 0; k < FACE_FRAMES; k++)
        ASSERT_EQ(at(out, k, 0, 0), (double)(4 * k * k)) << "output frame " << k;
    /* output k at (k + 1/2) / 100 s */
    ASSERT_EQ(convert(rec, first_points(24), span_options(0.005, 1.795), &out, &error), CONVERTED) << error;
    for (size_t k = 0; k < FACE_FRAMES; k++)
        ASSERT_NEAR(at(out, k, 0, 0), (k * k + (k + 1) * (k + 1)) / 2.0, 1e-6) << "output frame " << k;

    /* The whole recording by default: its last frame, 3.99 s, is the last output. */
    ASSERT_EQ(convert(rec, first_points(24), span_options(NAN, NAN), &out, &error), CONVERTED) << error;
    EXPECT_EQ(at(out, FACE_FRAMES - 1, 0, 0), 399.0 * 399.0);
    EXPECT_EQ(convert(rec, first_points(24), span_options(2.0, 2.0), &out, &error), CONVERT_BAD_OPTIONS);
    EXPECT_EQ(convert(rec, first_points(24), span_options(-0.01, NAN), &out, &error), CONVERT_BAD_OPTIONS);
    EXPECT_EQ(convert(rec, first_points(24), span_options(NAN, 4.0), &out, &error), CONVERT_BAD_OPTIONS);
    EXPECT_EQ(error, "--from 0 and --to 4: the part shown must lie within 0 .. 3.99 s, with --from before --to");
}

TEST(Conversion, GapsAreFilledInTimeAndReportedForTheSpan)
{
    /* 180 frames at 10 Hz, so that output frame k is input frame k. Point
     * 0 is x = 10 f where valid; lost in frames 0-1, 4-6 and 179. */
    Recording rec = synthetic(180, 24, 10.0, [](size_t f, size_t) { return Point3d{10.0 * f, 0.0, 0.0}; });
    for (size_t f : {0, 1, 4, 5, 6, 179})
        rec.valid[f * 24] = 0;
    Selection selection = first_points(24);
    Converted out;
    std::string error;
    ASSERT_EQ(convert(rec, selection, span_options(NAN, NAN), &out, &error), CONVERTED) << error;
    const double filled[10] = {20, 20, 20, 30, 40, 50, 60, 70, 80, 90};
    for (size_t f = 0; f < 10; f++)
        EXPECT_NEAR(at(out, f, 0, 0), filled[f], 1e-12) << "frame " << f;
    EXPECT_NEAR(at(out, 179, 0, 0), 1780.0, 1e-12) << "the last valid sample is held";
    ASSERT_EQ(out.gaps.size(), 1u);
    EXPECT_EQ(gap_message(rec, out.gaps[0]), "point \"P0\": filled 6 of 180 frames in the span, longest gap 3 frames (0.300 s)");

    ASSERT_EQ(convert(rec, selection, span_options(0.35, 0.65), &out, &error), CONVERTED) << error;
    ASSERT_EQ(out.gaps.size(), 1u);
    EXPECT_EQ(gap_message(rec, out.gaps[0]), "point \"P0\": filled 3 of 5 frames in the span, longest gap 3 frames (0.300 s)");

    /* A cut that every point shares (a video's frames without the face) is said once for them all; another
     * kind of gap keeps a line of its own, in the order of the points. */
    for (size_t p = 1; p < 24; p++)
        for (size_t f : {0, 1, 4, 5, 6, 179})
            rec.valid[f * 24 + p] = 0;
    rec.valid[20 * 24 + 7] = 0;
    ASSERT_EQ(convert(rec, selection, span_options(NAN, NAN), &out, &error), CONVERTED) << error;
    EXPECT_THAT(gap_messages(rec, out.gaps),
                testing::ElementsAre("points \"P0\", \"P1\" and 21 more: filled 6 of 180 frames in the span, longest gap "
                                     "3 frames (0.300 s)",
                                     "point \"P7\": filled 7 of 180 frames in the span, longest gap 3 frames (0.300 s)"));
    for (size_t p = 2; p < 24; p++)
        rec.valid[20 * 24 + p] = 0;
    ASSERT_EQ(convert(rec, selection, span_options(NAN, NAN), &out, &error), CONVERTED) << error;
    EXPECT_THAT(gap_messages(rec, out.gaps),
                testing::ElementsAre("points \"P0\" and \"P1\": filled 6 of 180 frames in the span, longest gap 3 "
                                     "frames (0.300 s)",
                                     "points \"P2\", \"P3\" and 20 more: filled 7 of 180 frames in the span, longest gap 3 "
                                     "frames (0.300 s)"));
    for (size_t p = 0; p < 24; p++)
        rec.valid[20 * 24 + p] = 1;

    for (size_t f = 0; f < 180; f++)
        rec.valid[f * 24 + 5] = 0;
    EXPECT_EQ(convert(rec, selection, span_options(NAN, NAN), &out, &error), CONVERT_BAD_RECORDING);
    EXPECT_EQ(error, "point \"P5\" has no valid sample in any frame");
}

TEST(Conversion, GapsInUnevenlyTimedFramesAreFilledByTime)
{
    /* Frames at 0, 0.1 and 0.3 s (a row dropped before the last), point 0
     * at x = 100 t, its middle sample missing: filled by time it is
     * 1/3 of the way (x = 10), so every output frame lies on x = 100 t;
     * filled by frame index it would be half way (x = 15). */
    Recording rec = synthetic(3, 24, 10.0, [](size_t f, size_t) { return Point3d{f == 2 ? 30.0 : 0.0, 0.0, 0.0}; });
    rec.even_times = false;
    rec.times = {0.0, 0.1, 0.3};
    rec.valid[1 * 24] = 0;
    Converted out;
    std::string error;
    ASSERT_EQ(convert(rec, first_points(24), span_options(NAN, NAN), &out, &error), CONVERTED) << error;
    for (size_t k = 0; k < FACE_FRAMES; k++)
        ASSERT_NEAR(at(out, k, 0, 0), 100.0 * (0.3 * k / 179.0), 1e-9) << "output frame " << k;
}

TEST(Conversion, AxesAndUnitsBecomeTheViewersMillimetres)
{
    /* The recording's point (1, 2, 3) in cm, as the file's (-z, y, x) in
     * mm for each choice of axes, worked out by hand: z is right x up. */
    const struct {
        const char *right, *up, *line;
    } cases[] = {
        {"+x", "+y", "-30.0000 20.0000 10.0000\n"}, {"x", "+Z", "20.0000 30.0000 10.0000\n"},
        {"-y", "+x", "-30.0000 10.0000 -20.0000\n"}, {"+z", "-Y", "-10.0000 -20.0000 30.0000\n"},
    };
    Recording rec = synthetic(2, 24, 1.0, [](size_t, size_t) { return Point3d{1.0, 2.0, 3.0}; });
    rec.mm_per_unit = 10.0;
    for (const auto &c : cases) {
        ConvertOptions options;
        AxisDirection right, up;
        ASSERT_TRUE(parse_axis(c.right, &right) && parse_axis(c.up, &up)) << c.right << " " << c.up;
        options.right = right;
        options.up = up;
        Converted out;
        std::string error;
        ASSERT_EQ(convert(rec, first_points(24), options, &out, &error), CONVERTED) << error;
        std::string text = marker_file_text(out.positions);
        EXPECT_EQ(text.substr(0, text.find('\n') + 1), c.line) << c.right << " " << c.up;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 180 * 24);
    }
    AxisDirection direction;
    std::string error;
    EXPECT_FALSE(check_screen_axes(AxisDirection{0, 1}, AxisDirection{0, -1}, &error));
    EXPECT_FALSE(parse_axis("+w", &direction));
}

/* p turned by `angle` radians about the unit axis (Rodrigues). */
static Point3d turned(Point3d p, Point3d axis, double angle)
{
    double c = cos(angle), s = sin(angle), dot = axis.x * p.x + axis.y * p.y + axis.z * p.z;
    Point3d cross = {axis.y * p.z - axis.z * p.y, axis.z * p.x - axis.x * p.z, axis.x * p.y - axis.y * p.x};
    return Point3d{p.x * c + cross.x * s + axis.x * dot * (1 - c), p.y * c + cross.y * s + axis.y * dot * (1 - c),
                   p.z * c + cross.z * s + axis.z * dot * (1 - c)};
}

/* 24 face points and 4 head points; the face points smile (point 5 rises
 * by f / 10 mm) while the whole head turns about a tilted axis and moves. */
static Point3d moving_head(size_t f, size_t p)
{
    Point3d rest = {(double)(p % 6) * 20.0 - 50.0, (double)(p / 6) * 25.0 - 60.0, p % 2 ? 10.0 : -10.0};
    if (p == 5)
        rest.y += f / 10.0;
    const double len = sqrt(1.0 + 4.0 + 0.25);
    Point3d moved = turned(rest, Point3d{1.0 / len, 2.0 / len, 0.5 / len}, 0.02 * f);
    return Point3d{moved.x + 3.0 * f, moved.y - 1.5 * f, moved.z + 100.0};
}

TEST(Conversion, RigidAlignmentHoldsTheHeadAndKeepsTheSmile)
{
    /* 180 frames at 10 Hz: output frame k is input frame k. The head
     * moves up to 540 mm away, where a float's positions lie 6e-5 mm
     * apart; the recording holds floats, so a few of those is the error. */
    const double tolerance = 3e-4;
    Recording rec = synthetic(180, 28, 10.0, moving_head);
    Selection selection = first_points(24, 4);
    Converted out;
    std::string error;
    ASSERT_EQ(convert(rec, selection, span_options(NAN, NAN), &out, &error), CONVERTED) << error;
    for (size_t f = 0; f < 180; f++)
        for (size_t p = 0; p < 24; p++) {
            Point3d expected = moving_head(0, p);
            if (p == 5)
                expected.y += f / 10.0;
            EXPECT_NEAR(at(out, f, p, 0), expected.x, tolerance) << "frame " << f << " point " << p;
            EXPECT_NEAR(at(out, f, p, 1), expected.y, tolerance) << "frame " << f << " point " << p;
            EXPECT_NEAR(at(out, f, p, 2), expected.z, tolerance) << "frame " << f << " point " << p;
        }

    Recording flat = synthetic(3, 28, 10.0, [](size_t, size_t p) { return Point3d{(double)p, 2.0 * p, 5.0}; });
    EXPECT_EQ(convert(flat, selection, span_options(NAN, NAN), &out, &error), CONVERT_BAD_SET);
    EXPECT_EQ(error, "head.set: the rigid points lie on one line in the recording's first frame, so they can't hold the head still");
}
