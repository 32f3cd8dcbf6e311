/* The face measures on a frame worked out by hand, on a real face moved
 * by construction (one eye half closed, a brow raised, a mouth corner
 * drawn out and up; the whole face turned, zoomed and shifted), and their
 * sums over a series whose answers are known. */
#include <gtest/gtest.h>
#include <math.h>

#include <string>

#include "csv.h"
#include "face_measures.h"
#include "testfiles.h"

static double measure(const FacePoints &p, const char *name, FaceSide side)
{
    for (size_t i = 0; i < face_measure_count; i++)
        if (std::string(face_measure_definitions[i].name) == name)
            return face_measure_definitions[i].value(p, side);
    ADD_FAILURE() << "no face measure " << name;
    return NAN;
}

static void place(FacePoints *p, int i, double x, double y)
{
    (*p)[2 * (size_t)i] = x;
    (*p)[2 * (size_t)i + 1] = y;
}

/* Eyes level, their centres at (-30, 0) and (30, 0): M is the origin, u = +x, w = +y, so a height is y. */
static FacePoints level_face()
{
    FacePoints p{};
    for (int i = 36; i <= 41; i++)
        place(&p, i, -30, 0);
    for (int i = 42; i <= 47; i++)
        place(&p, i, 30, 0);
    place(&p, 37, -32, 5), place(&p, 41, -32, -5), place(&p, 38, -28, 4), place(&p, 40, -28, -4); /* 10 and 8 */
    place(&p, 43, 28, 3), place(&p, 47, 28, -3), place(&p, 44, 32, 3), place(&p, 46, 32, -3);     /* 6 and 6 */
    for (int i = 17; i <= 21; i++)
        place(&p, i, -50 + 5 * (i - 17), 20 + (i - 17)); /* heights 20..24: 22 */
    for (int i = 22; i <= 26; i++)
        place(&p, i, 10 + 5 * (i - 22), 25);
    place(&p, 48, -25, -50), place(&p, 54, 20, -45);
    /* the lower lip: 59 at (-15, -55), 58 at (-5, -57), 57 at (6, -58): it crosses x = 0 between 58 and 57,
     * 5/11 of the way, at (0, -57 - 5/11). */
    place(&p, 59, -15, -55), place(&p, 58, -5, -57), place(&p, 57, 6, -58);
    place(&p, 56, 12, -56), place(&p, 55, 17, -50);
    place(&p, 62, 0, -49), place(&p, 66, 0, -53);
    return p;
}

TEST(FaceMeasures, AFrameWorkedByHand)
{
    FacePoints p = level_face();
    EXPECT_DOUBLE_EQ(measure(p, "eye_opening_mm", FACE_R), 9.0);
    EXPECT_DOUBLE_EQ(measure(p, "eye_opening_mm", FACE_L), 6.0);
    EXPECT_NEAR(measure(p, "brow_height_mm", FACE_R), 22.0, 1e-12);
    EXPECT_NEAR(measure(p, "brow_height_mm", FACE_L), 25.0, 1e-12);
    EXPECT_NEAR(measure(p, "mouth_corner_height_mm", FACE_R), -50.0, 1e-12);
    EXPECT_NEAR(measure(p, "mouth_corner_height_mm", FACE_L), -45.0, 1e-12);
    double ky = -57 - 5.0 / 11;
    EXPECT_NEAR(measure(p, "commissure_excursion_mm", FACE_R), hypot(25, -50 - ky), 1e-12);
    EXPECT_NEAR(measure(p, "commissure_excursion_mm", FACE_L), hypot(20, -45 - ky), 1e-12);
    EXPECT_NEAR(measure(p, "smile_angle_deg", FACE_R), atan2(-50 - ky, 25) * 180 / M_PI, 1e-12);
    EXPECT_NEAR(measure(p, "smile_angle_deg", FACE_L), atan2(-45 - ky, 20) * 180 / M_PI, 1e-12);
    EXPECT_NEAR(measure(p, "lower_lip_height_mm", FACE_R), -56.0, 1e-12);
    EXPECT_NEAR(measure(p, "lower_lip_height_mm", FACE_L), -53.0, 1e-12);
    EXPECT_DOUBLE_EQ(measure(p, "mouth_opening_mm", FACE_R), 4.0);

    /* A mouth wholly to one side of the midline: its lower lip never crosses it, and K is P57. */
    for (int i : {48, 59, 58, 57, 56, 55, 54})
        p[2 * (size_t)i] += 30;
    EXPECT_NEAR(measure(p, "commissure_excursion_mm", FACE_R), hypot(5 - 36, -50 + 58), 1e-12);
}

/* Frame 0 of smile_demo.csv: a real face, its pixels as millimetres a quarter their size, y up. */
static FacePoints real_face()
{
    std::vector<CsvRecord> rows;
    std::string error;
    FacePoints p{};
    if (!csv_records(read_file(testdata_path("openface/smile_demo.csv")), "smile_demo.csv", &rows, &error) ||
        rows.size() < 2) {
        ADD_FAILURE() << error;
        return p;
    }
    for (int i = 0; i < FACE_LANDMARKS; i++)
        for (size_t c = 0; c < rows[0].fields.size(); c++) {
            if (rows[0].fields[c] == "x_" + std::to_string(i))
                p[2 * (size_t)i] = atof(rows[1].fields[c].c_str()) / 4;
            if (rows[0].fields[c] == "y_" + std::to_string(i))
                p[2 * (size_t)i + 1] = -atof(rows[1].fields[c].c_str()) / 4;
        }
    return p;
}

/* Every point turned by degrees about the origin, scaled and shifted. */
static FacePoints moved(const FacePoints &p, double degrees, double scale, double dx, double dy)
{
    FacePoints q;
    double c = cos(degrees * M_PI / 180), s = sin(degrees * M_PI / 180);
    for (size_t i = 0; i < FACE_LANDMARKS; i++) {
        q[2 * i] = scale * (c * p[2 * i] - s * p[2 * i + 1]) + dx;
        q[2 * i + 1] = scale * (s * p[2 * i] + c * p[2 * i + 1]) + dy;
    }
    return q;
}

TEST(FaceMeasures, ARealFaceMovedByConstruction)
{
    REQUIRE_TESTDATA("openface/smile_demo.csv");
    FacePoints face = real_face();
    ASSERT_GT(measure(face, "eye_opening_mm", FACE_R), 1.0) << "the eyes are open in the first frame";
    /* Turned 15 degrees in the picture, 1.3 times as large, elsewhere: lengths 1.3 times, angles the same. */
    FacePoints turned = moved(face, 15, 1.3, 40, -25);
    for (size_t i = 0; i < face_measure_count; i++)
        for (FaceSide side : {FACE_R, FACE_L}) {
            const FaceMeasureDefinition &m = face_measure_definitions[i];
            double scale = std::string(m.unit) == "deg" ? 1.0 : 1.3;
            EXPECT_NEAR(m.value(turned, side), scale * m.value(face, side), 1e-9) << m.name << " " << side;
        }

    /* The left eye closed by half: its upper lid halfway down to the lower. The right is the same. */
    FacePoints closing = face;
    for (auto [upper, lower] : {std::pair<int, int>{43, 47}, {44, 46}})
        for (int a = 0; a < 2; a++)
            closing[2 * (size_t)upper + a] = (face[2 * (size_t)upper + a] + face[2 * (size_t)lower + a]) / 2;
    EXPECT_NEAR(measure(closing, "eye_opening_mm", FACE_L), measure(face, "eye_opening_mm", FACE_L) / 2, 1e-9);
    EXPECT_NEAR(measure(closing, "eye_opening_mm", FACE_R), measure(face, "eye_opening_mm", FACE_R), 1e-12);
    /* The eye line runs through the eyes' corners, which the lid leaves: nothing else moves. */
    for (size_t i = 1; i < face_measure_count; i++)
        for (FaceSide side : {FACE_R, FACE_L}) {
            const char *name = face_measure_definitions[i].name;
            EXPECT_NEAR(measure(closing, name, side), measure(face, name, side), 1e-9) << name << " " << side;
        }

    /* Across the face (u, from the right eye's centre to the left's, each between its corners) and up it
     * (w), by the eye line, which the points moved below are not part of. */
    double left[2], right[2];
    for (int a = 0; a < 2; a++) {
        right[a] = (face[2 * 36 + a] + face[2 * 39 + a]) / 2;
        left[a] = (face[2 * 42 + a] + face[2 * 45 + a]) / 2;
    }
    double ux = left[0] - right[0], uy = left[1] - right[1], length = hypot(ux, uy);
    ux /= length, uy /= length;
    double wx = -uy, wy = ux;
    FacePoints raised = face;
    for (int i = 17; i <= 21; i++)
        raised[2 * (size_t)i] += 4 * wx, raised[2 * (size_t)i + 1] += 4 * wy;
    EXPECT_NEAR(measure(raised, "brow_height_mm", FACE_R), measure(face, "brow_height_mm", FACE_R) + 4, 1e-9);
    EXPECT_NEAR(measure(raised, "brow_height_mm", FACE_L), measure(face, "brow_height_mm", FACE_L), 1e-12);

    /* The left corner 8 mm out and 3 mm up: its height 3 more, and from K (which it does not move) the
     * excursion and angle of the corner so moved. */
    FacePoints smiling = face;
    smiling[2 * 54] += 8 * ux + 3 * wx, smiling[2 * 54 + 1] += 8 * uy + 3 * wy;
    double e = measure(face, "commissure_excursion_mm", FACE_L), a = measure(face, "smile_angle_deg", FACE_L) * M_PI / 180;
    EXPECT_NEAR(measure(smiling, "mouth_corner_height_mm", FACE_L), measure(face, "mouth_corner_height_mm", FACE_L) + 3,
                1e-9);
    EXPECT_NEAR(measure(smiling, "commissure_excursion_mm", FACE_L), hypot(e * cos(a) + 8, e * sin(a) + 3), 1e-9);
    EXPECT_NEAR(measure(smiling, "smile_angle_deg", FACE_L), atan2(e * sin(a) + 3, e * cos(a) + 8) * 180 / M_PI, 1e-9);
    EXPECT_NEAR(measure(smiling, "commissure_excursion_mm", FACE_R), measure(face, "commissure_excursion_mm", FACE_R),
                1e-12);
}

TEST(FaceMeasures, SeriesAgainstRestAndSidesAgainstEachOther)
{
    /* Rest is the mean of frames 0-1 (10); 4 and 16 are 6 away, and 4 comes first. */
    std::vector<double> eye = {10, 10, 9, 4, 16, 4, 10};
    FaceSummary s = summarise_face_series(eye, 0, 1, true);
    EXPECT_DOUBLE_EQ(s.rest, 10);
    EXPECT_EQ(s.extreme_frame, 3);
    EXPECT_DOUBLE_EQ(s.extreme, 4);
    EXPECT_DOUBLE_EQ(s.change, -6);
    EXPECT_DOUBLE_EQ(s.closure_pct, 60) << "100 x (10 - 4) / 10";
    EXPECT_TRUE(isnan(summarise_face_series(eye, 0, 1, false).closure_pct));
    EXPECT_EQ(summarise_face_series({2, 2, 2}, 0, 0, false).extreme_frame, 0) << "a measure that does not move";

    FaceSides opposite = compare_face_sides(-2, 4);
    EXPECT_DOUBLE_EQ(opposite.ratio, -2);
    EXPECT_DOUBLE_EQ(opposite.asymmetry_pct, 150) << "opposite signs: above 100 %";
    EXPECT_DOUBLE_EQ(compare_face_sides(-4, 4).asymmetry_pct, 200);
    EXPECT_TRUE(isnan(compare_face_sides(0.0005, 3).ratio)) << "no ratio to a right side below 0.001";
    EXPECT_DOUBLE_EQ(compare_face_sides(0.0005, 3).asymmetry_pct, 100 * (3 - 0.0005) / 3);
    EXPECT_TRUE(isnan(compare_face_sides(0.0009, -0.0009).asymmetry_pct)) << "both below 0.001";
}
