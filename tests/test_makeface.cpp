/* Construction and normalisation, against values worked out by hand. */
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "head.h"
#include "testfiles.h"

using testing::HasSubstr;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

static const std::string two_segments = "2\n0 1\n22 23\n";

/* A marker file whose frame f holds first_frame moved by f times step,
 * written as (-z, y, x) around a capture offset. */
static std::string markers_text(const double first_frame[24][3], const double step[3], const double offset[3])
{
    std::string text;
    char line[160];
    for (int f = 0; f < 180; f++)
        for (int m = 0; m < 24; m++) {
            double p[3];
            for (int a = 0; a < 3; a++)
                p[a] = first_frame[m][a] + f * step[a] + offset[a];
            snprintf(line, sizeof line, "%.9g %.9g %.9g\n", -p[2], p[1], p[0]);
            text += line;
        }
    return text;
}

static FACE *load(const std::string &lines, const std::string &markers, std::string *err = nullptr)
{
    std::string line_path = temp_file(lines);
    std::string marker_path = temp_file(markers);
    CaptureStderr();
    FACE *face = new_face(line_path.c_str(), marker_path.c_str());
    std::string text = GetCapturedStderr();
    if (err)
        *err = text;
    return face;
}

/* After centring the first frame spans x -4..2, y -1..1, z -0.5..0.5;
 * every value sits beyond 10000 before centring. */
static void spread_frame(double frame[24][3])
{
    for (int m = 0; m < 24; m++)
        frame[m][0] = frame[m][1] = frame[m][2] = 0.0;
    frame[0][0] = -4.0;
    frame[1][0] = 2.0;
    frame[2][0] = 1.0;
    frame[3][0] = 1.0;
    frame[4][1] = -1.0;
    frame[5][1] = 1.0;
    frame[6][2] = -0.5;
    frame[7][2] = 0.5;
}

TEST(NewFace, ScalesByTheLargestFirstFrameBound)
{
    double frame[24][3];
    spread_frame(frame);
    const double offset[3] = {20000.0, -15000.0, 12000.0};
    const double step[3] = {0.0, 0.0, 0.0};
    std::string text = markers_text(frame, step, offset);
    std::string err;
    FACE *face = load(two_segments, text, &err);
    EXPECT_EQ(err, "");
    EXPECT_EQ(face->nvertices, 24);
    EXPECT_EQ(face->nframes, 180);
    EXPECT_EQ(face->nlines, 2);

    /* scalemax = 4 */
    EXPECT_EQ(face->ff[0][0][0], -1.0f);
    EXPECT_EQ(face->ff[0][1][0], 0.5f);
    EXPECT_EQ(face->ff[0][2][0], 0.25f);
    EXPECT_EQ(face->ff[0][4][1], -0.25f);
    EXPECT_EQ(face->ff[0][7][2], 0.125f);
    EXPECT_EQ(face->ff[179][6][2], -0.125f);
    EXPECT_EQ(face->ff[0][10][0], 0.0f);

    /* Statistics describe the centred, unscaled first frame. */
    EXPECT_EQ(face->range[0][0], -4.0f);
    EXPECT_EQ(face->range[1][0], 2.0f);
    EXPECT_EQ(face->range[0][1], -1.0f);
    EXPECT_EQ(face->range[1][2], 0.5f);
    EXPECT_EQ(face->mean[0], 0.0f);
    /* x: squares 16 + 4 + 1 + 1 = 22 over n - 1 = 23; sqrt(22/23) = 0.97801929... */
    EXPECT_NEAR(face->sd[0], 0.9780193, 1e-6);
    /* y: 2 / 23 -> 0.29488391...; z: 0.5 / 23 -> 0.14744195... */
    EXPECT_NEAR(face->sd[1], 0.2948839, 1e-6);
    EXPECT_NEAR(face->sd[2], 0.1474420, 1e-6);

    FACE *again = load(two_segments, text);
    EXPECT_EQ(memcmp(face, again, sizeof(FACE)), 0) << "the same files give the same record";
    free(face);
    free(again);
}

TEST(NewFace, LaterFramesStayRelativeToTheFirst)
{
    double frame[24][3];
    spread_frame(frame);
    const double offset[3] = {512.0, 1024.0, -256.0};
    const double step[3] = {0.0, 0.25, 0.0}; /* y rises 0.25 a frame: 44.75 by frame 179 */
    std::string text = markers_text(frame, step, offset);
    /* marker 9 leaps 40 to the right in frame 100 only */
    size_t line = 100 * 24 + 9, start = 0;
    for (size_t i = 0; i < line; i++)
        start = text.find('\n', start) + 1;
    size_t end = text.find('\n', start);
    char moved[96];
    snprintf(moved, sizeof moved, "%.9g %.9g %.9g", 256.0, 1024.0 + 25.0, 552.0);
    text.replace(start, end - start, moved);

    FACE *face = load(two_segments, text);
    EXPECT_EQ(face->ff[100][9][0], 10.0f) << "a later leap does not change the scale";
    EXPECT_EQ(face->ff[100][9][1], 6.25f);
    EXPECT_EQ(face->ff[179][0][1], 11.1875f);
    EXPECT_EQ(face->ff[179][0][0], -1.0f);
    free(face);
}

TEST(NewFace, FlatFirstFrameIsOnlyCentred)
{
    double frame[24][3] = {};
    const double offset[3] = {7.0, 7.0, 7.0};
    const double step[3] = {1.0, -2.0, 0.5};
    FACE *face = load(two_segments, markers_text(frame, step, offset));
    for (int a = 0; a < 3; a++) {
        EXPECT_EQ(face->range[0][a], 0.0f);
        EXPECT_EQ(face->range[1][a], 0.0f);
        EXPECT_EQ(face->sd[a], 0.0f);
    }
    EXPECT_EQ(face->ff[0][3][0], 0.0f);
    EXPECT_EQ(face->ff[2][3][0], 2.0f);
    EXPECT_EQ(face->ff[2][3][1], -4.0f);
    EXPECT_EQ(face->ff[2][3][2], 1.0f);
    free(face);
}

TEST(NewFace, CoordinatesStayFiniteWhateverTheFileHolds)
{
    /* A first frame flat but for a residue of 1e-30 turns later frames'
     * moves of 1 into 1e30 and of 1e10 into an overflow. */
    double frame[24][3] = {};
    frame[0][0] = 1e-30;
    const double offset[3] = {0.0, 0.0, 0.0};
    const double step[3] = {1e10, 1.0, 0.0};
    std::string err;
    FACE *face = load(two_segments, markers_text(frame, step, offset), &err);
    EXPECT_THAT(err, HasSubstr("overflowed when scaled to the first frame; they are set to 0"));
    EXPECT_EQ(face->ff[1][5][0], 0.0f);
    EXPECT_GT(face->ff[1][5][1], 1e29f);

    std::string huge;
    for (int i = 0; i < 4320; i++)
        huge += "3e38 -3e38 3e38\n";
    FACE *big = load(two_segments, huge);
    for (FACE *f : {face, big})
        for (int fr = 0; fr < 180; fr++)
            for (int m = 0; m < 24; m++)
                for (int a = 0; a < 3; a++)
                    ASSERT_TRUE(isfinite(f->ff[fr][m][a])) << fr << " " << m << " " << a;
    free(face);
    free(big);
}

TEST(FaceRescale, EachModeRoundsOnceToSinglePrecision)
{
    FACE *face = (FACE *)calloc(1, sizeof(FACE));
    face->nframes = 1;
    face->nvertices = 1;
    /* v = 3, mean = -5 * 2^-25: v - mean = 3 + 5 * 2^-25 exactly. Rounded
     * once, (v - mean) / 3 = 1 + (5/3) * 2^-25 is within half a unit of 1.
     * Rounding v - mean first would give 3 + 2^-22 and then 1 + 2^-23. */
    float mean = ldexpf(-5.0f, -25);
    face->mean[0] = mean;
    face->sd[0] = 3.0f;
    face->ff[0][0][0] = 3.0f;
    face_rescale(face, 3.0f);
    EXPECT_EQ(face->ff[0][0][0], 1.0f);

    face->ff[0][0][0] = 3.0f;
    face_rescale(face, -1.0f);
    EXPECT_EQ(face->ff[0][0][0], 1.0f);

    face->ff[0][0][0] = 3.0f;
    face_rescale(face, 0.0f);
    EXPECT_EQ(face->ff[0][0][0], 3.0f + ldexpf(1.0f, -22));
    EXPECT_EQ(face->mean[0], mean) << "statistics are left alone";
    EXPECT_EQ(face->sd[0], 3.0f);
    free(face);
}

TEST(FaceStats, MeanAndSampleDeviationOfFrameZeroOnly)
{
    FACE *face = (FACE *)calloc(1, sizeof(FACE));
    face->nvertices = 4;
    face->nframes = 2;
    const float xs[4] = {1.0f, 2.0f, 3.0f, 6.0f};
    for (int m = 0; m < 4; m++) {
        face->ff[0][m][0] = xs[m];
        face->ff[0][m][1] = -10000.5f;
        face->ff[1][m][0] = 1000.0f;
    }
    face_stats(face);
    face_dimensions(face);
    EXPECT_EQ(face->mean[0], 3.0f);
    /* squares 4 + 1 + 0 + 9 = 14 over 3: sqrt(14/3) = 2.1602469 */
    EXPECT_NEAR(face->sd[0], 2.1602469, 1e-6);
    EXPECT_EQ(face->mean[1], -10000.5f);
    EXPECT_EQ(face->sd[1], 0.0f);
    EXPECT_EQ(face->range[0][0], 1.0f);
    EXPECT_EQ(face->range[1][0], 6.0f);
    /* Every y lies below the upper bound's start of -10000, which stays:
     * the reason bounds are only taken once the frame is centred. */
    EXPECT_EQ(face->range[0][1], -10000.5f);
    EXPECT_EQ(face->range[1][1], -10000.0f);
    EXPECT_EQ(face->range[0][2], 0.0f);
    EXPECT_EQ(face->range[1][2], 0.0f);
    free(face);
}
