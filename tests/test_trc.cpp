/* The TRC reader: the layouts real files use, and facts about real files. */
#include <gtest/gtest.h>

#include "importfiles.h"

static Recording read_text(const std::string &text, std::string *error)
{
    return read_bytes(std::vector<uint8_t>(text.begin(), text.end()), error);
}

/* Padded and doubled header cells, CR line ends, trailing tabs, an empty
 * cell, a cell that is not a number, a short row, a blank line before the
 * data and one that ends it. */
TEST(TrcReader, ReadsTheLayoutsRealFilesUse)
{
    std::string text = "PathFileType\t4\t(X/Y/Z)\tcrafted.trc\r\n"
                       "DataRate\t\tCameraRate\tNumFrames\tNumMarkers\tUnits\r\n"
                       "  200.00 \t200.00\t      6\t3\t cm\r\n"
                       "Frame#\tTime\tA\t\t\tB C\t\t\tC\t\t\t\r\n"
                       "\t\tX1\tY1\tZ1\tX2\tY2\tZ2\tX3\tY3\tZ3\r\n"
                       "\r\n"
                       "1\t-0.5\t1\t2\t3\t4\t5\t6\t7\t8\t9\t\r\n"
                       "2\t-0.495\t1.5\t\t3\t4\tfive\t6\t7\t8\t9\r\n"
                       "3\t-0.49\t2\t2\t3\r\n"
                       "\r\n"
                       "4\t-0.485\t9\t9\t9\t9\t9\t9\t9\t9\t9\r\n";
    std::string error;
    Recording rec = read_text(text, &error);
    ASSERT_EQ(error, "");
    EXPECT_EQ(format_description(rec), "TRC");
    EXPECT_EQ(rec.rate, 200.0);
    EXPECT_EQ(rec.mm_per_unit, 10.0);
    EXPECT_EQ(axis_name(rec.screen.right) + axis_name(rec.screen.up), "+x+y");
    ASSERT_EQ(rec.points.size(), 3u);
    EXPECT_EQ(rec.points[1].label, "B C");
    ASSERT_EQ(rec.frames, 3u) << "the blank line after the data ends it";
    EXPECT_EQ(rec.times[2], 0.01) << "frame i is at i / DataRate, whatever the Time column says";
    const bool valid[3][3] = {{true, true, true}, {false, false, true}, {true, false, false}};
    for (int f = 0; f < 3; f++)
        for (int m = 0; m < 3; m++)
            EXPECT_EQ(rec.valid[f * 3 + m], valid[f][m]) << "frame " << f << " marker " << m;
    EXPECT_EQ(rec.xyz[(2 * 3 + 0) * 3 + 0], 2.0f);
    EXPECT_EQ(rec.xyz[(1 * 3 + 2) * 3 + 2], 9.0f);
    ASSERT_EQ(rec.warnings.size(), 1u);
    EXPECT_EQ(rec.warnings[0], "NumFrames is 6 but the file holds 3 rows; read those");
}

/* Units in metres, and cells with text after the number: such a cell is
 * not a number, so its marker is missing in that row. */
TEST(TrcReader, MetresAndCellsWithTrailingText)
{
    std::string text = "PathFileType\t4\t(X/Y/Z)\tm.trc\n"
                       "DataRate\tCameraRate\tNumFrames\tNumMarkers\tUnits\n"
                       "100\t100\t2\t2\tm\n"
                       "Frame#\tTime\tA\t\t\tB\n"
                       "\t\tX1\tY1\tZ1\tX2\tY2\tZ2\n"
                       "1\t0\t0.6172\t1.0553\t0.1708\t0.6172mm\t1.0553\t0.1708\n"
                       "2\t0.01\t0.6172\t1.0553\t0.1708\t0.6\t1.1\t0.2\n";
    std::string error;
    Recording rec = read_text(text, &error);
    ASSERT_EQ(error, "");
    EXPECT_EQ(rec.mm_per_unit, 1000.0);
    EXPECT_TRUE(rec.warnings.empty());
    ASSERT_EQ(rec.frames, 2u);
    EXPECT_TRUE(rec.valid[0]);
    EXPECT_FALSE(rec.valid[1]) << "\"0.6172mm\" is not a number";
    EXPECT_TRUE(rec.valid[3]);
}

TEST(TrcReader, RealFilesReadAsOtherReadersMeasured)
{
    REQUIRE_TESTDATA("trc/subject01_walk1.trc");
    Recording walk = read_path(testdata_path("trc/subject01_walk1.trc"));
    EXPECT_EQ(walk.rate, 60.0);
    EXPECT_EQ(walk.frames, 151u);
    ASSERT_EQ(walk.points.size(), 41u);
    EXPECT_EQ(walk.units, "mm");
    EXPECT_EQ(walk.points[0].label, "R.ASIS");
    EXPECT_EQ(walk.xyz[0], 617.247620f);
    EXPECT_EQ(walk.xyz[1], 1055.275020f);
    EXPECT_EQ(walk.xyz[2], 170.781980f);
    EXPECT_TRUE(walk.warnings.empty());

    Recording arm = read_path(testdata_path("trc/arm26_elbow_flex.trc"));
    EXPECT_EQ(arm.frames, 121u);
    EXPECT_EQ(arm.points.size(), 3u);
    EXPECT_EQ(std::count(arm.valid.begin(), arm.valid.end(), 0), 0) << "trailing tabs are not missing markers";
}
