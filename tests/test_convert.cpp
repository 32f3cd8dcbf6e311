/* The conversion: resampling in time, gap filling, axes, units, and the
 * rigid alignment that takes the head's motion out. */
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

TEST(Conversion, ResamplingHitsInputFramesExactlyAndBlendsBetween)
{
    /* 400 frames at 100 Hz; x = f squared, so a wrong blend shows. */
    Recording rec = synthetic(400, 24, 100.0, [](size_t f, size_t p) { return Point3d{(double)(f * f), (double)p, 0.0}; });
    Tracks tracks = gather_tracks(rec, first_points(24));
    Span whole_frames = {0.0, 3.58}; /* output k at 0.02 k s: input frame 2k */
    std::vector<double> out = resample(rec, tracks, whole_frames);
    for (size_t k = 0; k < OUTPUT_FRAMES; k++)
        ASSERT_EQ(out[k * 24 * 3], (double)(4 * k * k)) << "output frame " << k;
    Span halves = {0.005, 1.795}; /* output k at (k + 1/2) / 100 s */
    out = resample(rec, tracks, halves);
    for (size_t k = 0; k < OUTPUT_FRAMES; k++)
        ASSERT_NEAR(out[k * 24 * 3], (k * k + (k + 1) * (k + 1)) / 2.0, 1e-6) << "output frame " << k;

    Span span;
    std::string error;
    EXPECT_TRUE(check_span(rec, NAN, NAN, &span, &error));
    EXPECT_EQ(span.to, 3.99);
    EXPECT_FALSE(check_span(rec, 2.0, 2.0, &span, &error));
    EXPECT_FALSE(check_span(rec, -0.01, NAN, &span, &error));
    EXPECT_FALSE(check_span(rec, NAN, 4.0, &span, &error));
}

TEST(Conversion, GapsAreFilledInTimeAndReportedForTheSpan)
{
    /* Point 0 is x = 10 f where valid; lost in frames 0-1, 4-6 and 9. */
    Recording rec = synthetic(10, 24, 10.0, [](size_t f, size_t) { return Point3d{10.0 * f, 0.0, 0.0}; });
    for (size_t f : {0, 1, 4, 5, 6, 9})
        rec.valid[f * 24] = 0;
    Selection selection = first_points(24);
    Tracks tracks = gather_tracks(rec, selection);
    std::vector<GapReport> gaps;
    std::string error;
    ASSERT_TRUE(fill_gaps(rec, selection, Span{0.0, 0.9}, &tracks, &gaps, &error));
    const double filled[10] = {20, 20, 20, 30, 40, 50, 60, 70, 80, 80};
    for (size_t f = 0; f < 10; f++)
        EXPECT_NEAR(tracks.xyz[f * 24 * 3], filled[f], 1e-12) << "frame " << f;
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gap_message(rec, gaps[0]), "point \"P0\": filled 6 of 10 frames in the span, longest gap 3 frames (0.300 s)");

    tracks = gather_tracks(rec, selection);
    gaps.clear();
    ASSERT_TRUE(fill_gaps(rec, selection, Span{0.35, 0.65}, &tracks, &gaps, &error));
    EXPECT_EQ(gap_message(rec, gaps[0]), "point \"P0\": filled 3 of 5 frames in the span, longest gap 3 frames (0.300 s)");

    for (size_t f = 0; f < 10; f++)
        rec.valid[f * 24 + 5] = 0;
    tracks = gather_tracks(rec, selection);
    EXPECT_FALSE(fill_gaps(rec, selection, Span{0.0, 0.9}, &tracks, &gaps, &error));
    EXPECT_EQ(error, "point \"P5\" has no valid sample in any frame");
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
    Tracks tracks = gather_tracks(rec, first_points(24));
    std::vector<double> frames = resample(rec, tracks, Span{0.0, 1.0});
    for (const auto &c : cases) {
        Axes axes;
        std::string error, text;
        ASSERT_TRUE(parse_axes(c.right, c.up, &axes, &error)) << error;
        ASSERT_TRUE(marker_file_text(frames, axes, &text, &error));
        EXPECT_EQ(text.substr(0, text.find('\n') + 1), c.line) << c.right << " " << c.up;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 180 * 24);
    }
    Axes axes;
    std::string error;
    EXPECT_FALSE(parse_axes("+x", "-x", &axes, &error));
    EXPECT_FALSE(parse_axes("+w", "+y", &axes, &error));
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
    Recording rec = synthetic(20, 28, 10.0, moving_head);
    Selection selection = first_points(24, 4);
    Tracks tracks = gather_tracks(rec, selection);
    std::string error;
    ASSERT_TRUE(align_to_first_frame(rec, Span{0.0, 1.9}, 24, &tracks, "head.set", &error)) << error;
    for (size_t f = 0; f < 20; f++)
        for (size_t p = 0; p < 28; p++) {
            Point3d expected = moving_head(0, p);
            if (p == 5)
                expected.y += f / 10.0;
            const double *got = &tracks.xyz[(f * 28 + p) * 3];
            EXPECT_NEAR(got[0], expected.x, 1e-4) << "frame " << f << " point " << p;
            EXPECT_NEAR(got[1], expected.y, 1e-4) << "frame " << f << " point " << p;
            EXPECT_NEAR(got[2], expected.z, 1e-4) << "frame " << f << " point " << p;
        }

    Recording flat = synthetic(3, 28, 10.0, [](size_t, size_t p) { return Point3d{(double)p, 2.0 * p, 5.0}; });
    tracks = gather_tracks(flat, selection);
    EXPECT_FALSE(align_to_first_frame(flat, Span{0.0, 0.2}, 24, &tracks, "head.set", &error));
    EXPECT_EQ(error, "head.set: the rigid points lie on one line in the recording's first frame, so they can't hold the head still");
}
