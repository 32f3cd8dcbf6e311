/* OpenFace CSV: columns found by name, rows left out or missing for the
 * reasons OpenFace gives, and real outputs of FeatureExtraction. */
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdio.h>

#include <algorithm>
#include <cmath>

#include "importfiles.h"
#include "testfiles.h"

using testing::HasSubstr;

/* Landmark i of a crafted row sits at (i, 2 i, 300 + row); the Z block
 * comes first. */
static std::string landmark_cells(int row, bool spaced)
{
    std::string cells;
    for (int a = 2; a >= 0; a--)
        for (int i = 0; i < 68; i++) {
            double v = a == 0 ? i : a == 1 ? 2 * i : 300 + row;
            cells += (spaced ? ", " : ",") + std::to_string(v);
        }
    return cells;
}

/* Columns in an unusual order (Z, Y, X blocks), ", " in the header and
 * "," or ", " in the rows, as files saved again by other programs are. */
static std::string crafted_csv(bool with_face_id)
{
    std::string header = with_face_id ? "frame, face_id, timestamp, confidence, success" : "frame, timestamp, confidence, success";
    for (char axis : {'Z', 'Y', 'X'})
        for (int i = 0; i < 68; i++)
            header += std::string(", ") + axis + "_" + std::to_string(i);
    const struct {
        const char *face, *timestamp, *confidence, *success;
    } rows[] = {
        {"0", "10.00", "0.98", "1"}, {"1", "10.04", "0.98", "1"}, {"0", "10.04", "0.50", "1"}, {"0", "10.04", "0.98", "1"},
        {"0", "10.08", "0.98", "1"}, {"0", "10.10", "0.98", "0"}, {"0", "10.13", " 0.9 ", "1"},
    };
    std::string text = header + "\n";
    for (int r = 0; r < 7; r++) {
        std::string row = std::to_string(r + 1) + (with_face_id ? std::string(",") + rows[r].face : "") + "," +
                          rows[r].timestamp + "," + rows[r].confidence + "," + rows[r].success + landmark_cells(r, r % 2);
        if (r == 4)
            row = row.substr(0, row.size() / 2); /* cut off mid-row */
        text += row + "\n";
    }
    return text;
}

static Recording read_csv(const std::string &text, long face, std::string *error, double min_confidence = 0.8)
{
    Recording rec;
    ReadOptions options;
    options.face_id = face;
    options.min_confidence = min_confidence;
    error->clear();
    read_openface((const uint8_t *)text.data(), text.size(), options, &rec, error);
    return rec;
}

TEST(OpenFaceReader, RowsAreKeptDroppedOrMissingAsOpenFaceMeansThem)
{
    std::string text = crafted_csv(true), error;
    ASSERT_TRUE(is_openface((const uint8_t *)text.data(), text.size()));
    Recording rec = read_csv(text, 0, &error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(rec.frames, 4u) << "rows 1, 3, 6 and 7 of face 0";
    EXPECT_EQ(format_description(rec), "OpenFace CSV");
    EXPECT_EQ(axis_name(rec.screen.right) + axis_name(rec.screen.up), "+x-y");
    EXPECT_FALSE(rec.even_times);
    const double times[4] = {0.0, 0.04, 0.10, 0.13};
    const bool trusted[4] = {true, false, false, true};
    for (size_t f = 0; f < 4; f++) {
        EXPECT_NEAR(rec.times[f], times[f], 1e-12);
        EXPECT_EQ(rec.valid[f * 68 + 30], trusted[f]) << "frame " << f;
    }
    EXPECT_EQ(rec.points[30].label, "30");
    EXPECT_EQ(rec.xyz[(3 * 68 + 30) * 3 + 0], 30.0f);
    EXPECT_EQ(rec.xyz[(3 * 68 + 30) * 3 + 1], 60.0f);
    EXPECT_EQ(rec.xyz[(3 * 68 + 30) * 3 + 2], 306.0f);
    ASSERT_EQ(rec.warnings.size(), 2u);
    EXPECT_THAT(rec.warnings[0], HasSubstr("1 row has not the header's 209 fields or no number where one belongs (line 6); dropped it"));
    EXPECT_EQ(rec.warnings[1], "1 row has a timestamp not later than the row kept before them; dropped it");

    Recording at_threshold = read_csv(text, 0, &error, 0.9);
    ASSERT_EQ(at_threshold.frames, 4u);
    EXPECT_TRUE(at_threshold.valid[3 * 68 + 30]) << "confidence 0.9 is not below --min-confidence 0.9";
    EXPECT_FALSE(read_csv(text, 0, &error, 0.91).valid[3 * 68 + 30]);

    EXPECT_EQ(read_csv(text, 1, &error).frames, 1u) << "--face 1";
    read_csv(text, 2, &error);
    EXPECT_EQ(error, "holds no rows of face 2, only of others; --face chooses");
    EXPECT_EQ(read_csv(crafted_csv(false), 0, &error).frames, 4u) << "without face_id, rows 1, 2, 6 and 7";
    read_csv(crafted_csv(false), 3, &error);
    EXPECT_EQ(error, "has no face_id column, so all its rows are of face 0; --face 3 chooses none");
}

/* Distance between landmarks a and b in frame f, millimetres. */
static double distance(const Recording &rec, size_t f, size_t a, size_t b)
{
    const float *p = &rec.xyz[(f * 68 + a) * 3], *q = &rec.xyz[(f * 68 + b) * 3];
    return sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) + (p[2] - q[2]) * (p[2] - q[2]));
}

TEST(OpenFaceReader, RealOutputsOfFeatureExtraction)
{
    REQUIRE_TESTDATA("openface/smile_demo.csv");
    Recording smile = read_path(testdata_path("openface/smile_demo.csv"));
    ASSERT_EQ(smile.frames, 490u);
    EXPECT_NEAR(smile.rate, 25.0, 1e-9);
    double narrowest = 1e9, widest = 0.0;
    for (size_t f = 0; f < smile.frames; f++) {
        narrowest = std::min(narrowest, distance(smile, f, 48, 54));
        widest = std::max(widest, distance(smile, f, 48, 54));
    }
    EXPECT_NEAR(narrowest, 46.0, 2.0) << "the mouth corners at rest";
    EXPECT_NEAR(widest, 79.0, 2.0) << "the mouth corners at the broadest smile";

    Recording older = read_path(testdata_path("openface/OpenFace_Test.csv"));
    EXPECT_EQ(older.frames, 100u);
    EXPECT_NEAR(older.rate, 1000.0, 1e-6);
}

/* The marker file's frame f, marker m, as the viewer's (x, y, z). */
static std::vector<double> viewer_position(const std::string &text, int f, int m)
{
    size_t at = 0;
    for (int line = 0; line < f * 24 + m; line++)
        at = text.find('\n', at) + 1;
    double minus_z, y, x;
    sscanf(text.c_str() + at, "%lf %lf %lf", &minus_z, &y, &x);
    return {x, y, -minus_z};
}

TEST(OpenFaceReader, DefaultConversionFacesTheViewerWithTheHeadHeldStill)
{
    REQUIRE_TESTDATA("openface/smile_demo.csv");
    std::string folder = make_temp_folder();
    ProgramRun run = run_import({testdata_path("openface/smile_demo.csv"), folder + "/sm1.dat"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("no --markers given, so the built-in openface-24.set was used\n"));
    std::string text = read_file(folder + "/sm1.dat");
    /* Markers 6 and 9 are the eyes' outer corners, 10 the nose bridge
     * (rigid), 11 the nose tip, 22 the inner lower lip, 23 the chin. */
    std::vector<double> left_eye = viewer_position(text, 0, 6), right_eye = viewer_position(text, 0, 9);
    std::vector<double> tip = viewer_position(text, 0, 11), chin = viewer_position(text, 0, 23);
    EXPECT_LT(left_eye[0], right_eye[0]) << "the image's left is on the viewer's left";
    EXPECT_GT(left_eye[1], chin[1]) << "the eyes are above the chin";
    EXPECT_GT(tip[2], left_eye[2] + 10.0) << "the nose points at the viewer";
    double bridge_travel = 0.0, narrowest = 1e9, widest = 0.0;
    for (int f = 0; f < 180; f++) {
        std::vector<double> a = viewer_position(text, 0, 10), b = viewer_position(text, f, 10);
        bridge_travel = std::max(bridge_travel, std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]));
        std::vector<double> left = viewer_position(text, f, 15), right = viewer_position(text, f, 19);
        double mouth = std::hypot(left[0] - right[0], left[1] - right[1], left[2] - right[2]);
        narrowest = std::min(narrowest, mouth);
        widest = std::max(widest, mouth);
    }
    EXPECT_LT(bridge_travel, 3.0) << "the nose bridge, a rigid point, stays where it was";
    EXPECT_LT(narrowest, 50.0) << "the mouth corners (markers 15 and 19) at rest";
    EXPECT_GT(widest, 72.0) << "the mouth corners in the broadest smile";
}
