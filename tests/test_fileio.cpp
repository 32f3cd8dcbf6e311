/* The two readers: file layouts, the axis order and sign of marker files,
 * and what each kind of bad file gets. */
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>

#include <string.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "head.h"
#include "testfiles.h"

using testing::HasSubstr;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

struct FreeFace {
    void operator()(FACE *face) const { free(face); }
};
using FacePtr = std::unique_ptr<FACE, FreeFace>;

/* A zeroed record sized for one recording, as create_face sets it up. */
static FacePtr blank_face()
{
    FacePtr face((FACE *)calloc(1, sizeof(FACE)));
    face->nvertices = 24;
    face->nframes = 180;
    return face;
}

/* Runs a reader on the text and returns its warnings, each of which must
 * be one line that names the file first. */
static std::string read_text(void (*reader)(const char *, FACE *), const std::string &text, FACE *face)
{
    std::string path = temp_file(text);
    CaptureStderr();
    reader(path.c_str(), face);
    std::string err = GetCapturedStderr();
    if (!err.empty()) {
        EXPECT_EQ(err.rfind(path + ": ", 0), 0u) << "a warning names the file first: " << err;
        EXPECT_EQ(err.back(), '\n');
    }
    return err;
}

static std::string read_lines(const std::string &text, FACE *face)
{
    return read_text(read_line_info, text, face);
}

static std::string read_markers(const std::string &text, FACE *face)
{
    return read_text(read_data_matrix, text, face);
}

TEST(LineFile, PairsAreReadInOrderWhateverTheLayout)
{
    FacePtr face = blank_face();
    EXPECT_EQ(read_lines("4\n0 1\n2\n\t3 4 5   6\n7 99 99\n", face.get()), "");
    ASSERT_EQ(face->nlines, 4);
    const int expected[4][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(face->linemap[i][0], expected[i][0]);
        EXPECT_EQ(face->linemap[i][1], expected[i][1]);
    }

    EXPECT_EQ(read_lines("0\n1 2\n", face.get()), "");
    EXPECT_EQ(face->nlines, 0);
}

TEST(LineFile, BadCountsAndPairsKeepTheRecordWithinItsBounds)
{
    FacePtr face = blank_face();
    EXPECT_THAT(read_lines("-3\n1 2\n", face.get()), HasSubstr("negative; no segments"));
    EXPECT_EQ(face->nlines, 0);

    EXPECT_THAT(read_lines("many\n1 2\n", face.get()), HasSubstr("\"many\" is not a number; no segments"));
    EXPECT_EQ(face->nlines, 0);

    EXPECT_EQ(read_lines("", face.get()).empty(), false);
    EXPECT_EQ(face->nlines, 0);

    std::string long_list = "150\n";
    for (int i = 0; i < 150; i++)
        long_list += std::to_string(i % 24) + " " + std::to_string((i + 1) % 24) + "\n";
    std::string err = read_lines(long_list, face.get());
    EXPECT_THAT(err, HasSubstr("150 is over the 100 a face holds; kept the first 100"));
    ASSERT_EQ(face->nlines, 100);
    EXPECT_EQ(face->linemap[99][0], 99 % 24);
    EXPECT_EQ(face->linemap[99][1], 100 % 24);

    EXPECT_THAT(read_lines("5\n1 2\n3 4\n5 6\n7\n", face.get()), HasSubstr("only 3 of 5 segments could be read; kept those"));
    EXPECT_EQ(face->nlines, 3);

    EXPECT_THAT(read_lines("3 1 2 3 x 5 6", face.get()), HasSubstr("only 1 of 3 segments"));
    EXPECT_EQ(face->nlines, 1);

    err = read_lines("6\n0 24\n1 2\n-1 3\n23 0\n3 -1\n4 99999999999\n", face.get());
    EXPECT_THAT(err, HasSubstr("4 segments join markers outside 0..23; dropped them"));
    ASSERT_EQ(face->nlines, 2);
    EXPECT_THAT(read_lines("2\n0 24\n1 2\n", face.get()), HasSubstr(": 1 segment joins markers outside 0..23; dropped it\n"));
    ASSERT_EQ(face->nlines, 1);
    EXPECT_EQ(face->linemap[0][0], 1);
    EXPECT_EQ(face->linemap[0][1], 2);
    EXPECT_EQ(face->linemap[1][0], 23);
    EXPECT_EQ(face->linemap[1][1], 0);
}

TEST(MarkerFile, TriplesAreMinusZYXInFrameMajorOrder)
{
    FacePtr face = blank_face();
    /* Every position gets its own values: frame f, marker m holds
     * (-z, y, x) = (f, m, f + m / 4), all exact in single precision. */
    std::string text;
    for (int f = 0; f < 180; f++)
        for (int m = 0; m < 24; m++)
            text += std::to_string(f) + (m % 2 ? "\n" : " ") + std::to_string(m) + " " + std::to_string(f + m / 4.0) +
                    (m % 3 ? "\t" : "\n");
    text += "1e9 1e9 1e9\n";
    EXPECT_EQ(read_markers(text, face.get()), "");
    EXPECT_EQ(face->ff[0][0][0], 0.0f);
    EXPECT_TRUE(signbit(face->ff[0][0][2])) << "a z read as 0 is stored as -0";
    EXPECT_EQ(face->ff[0][0][2], 0.0f);
    for (int f : {1, 90, 179})
        for (int m : {0, 7, 23}) {
            EXPECT_EQ(face->ff[f][m][0], f + m / 4.0f) << f << " " << m;
            EXPECT_EQ(face->ff[f][m][1], (float)m);
            EXPECT_EQ(face->ff[f][m][2], (float)-f);
        }
    EXPECT_EQ(face->ff[180][0][0], 0.0f) << "nothing is read past frame 179";

    EXPECT_EQ(read_markers("1 2 3", face.get()).empty(), false);
    EXPECT_EQ(face->ff[0][0][0], 3.0f);
    EXPECT_EQ(face->ff[0][0][1], 2.0f);
    EXPECT_EQ(face->ff[0][0][2], -1.0f);
}

TEST(MarkerFile, EveryNumberFormOfScanfIsAccepted)
{
    FacePtr face = blank_face();
    std::string text = "+1.5e1 -0x1p-2 .25\n"
                       "1E-1 -7. 0X1.8P1\n";
    /* A number longer than one read chunk: 1 and 70000 zeros, times 10^-70000. */
    text += "1" + std::string(70000, '0') + "e-70000 2 3\n";
    for (int i = 3; i < 4320; i++)
        text += "0 0 0\n";
    EXPECT_EQ(read_markers(text, face.get()), "");
    EXPECT_EQ(face->ff[0][0][2], -15.0f);
    EXPECT_EQ(face->ff[0][0][1], -0.25f);
    EXPECT_EQ(face->ff[0][0][0], 0.25f);
    EXPECT_EQ(face->ff[0][1][2], -0.1f);
    EXPECT_EQ(face->ff[0][1][1], -7.0f);
    EXPECT_EQ(face->ff[0][1][0], 3.0f);
    EXPECT_EQ(face->ff[0][2][2], -1.0f);
    EXPECT_EQ(face->ff[0][2][0], 3.0f);
}

/* Every value must be the float that the C library's strtof makes of the
 * same text, bit for bit: plain decimals of every length and shape, and
 * the forms next to them. */
TEST(MarkerFile, ValuesMatchTheCLibraryBitForBit)
{
    std::vector<std::string> tokens = {"16777216", "16777217", "-0", "+.5", "5.", "0.1", "-0.000001", "3.4028235e38",
                                       "1e-45", "0.30000001", "123456789", "12345678.9", "0000000001.5",
                                       "9.999999999", "-16777215.0", "0.0000000001", "0.00000000001"};
    unsigned int state = 12345u;
    while (tokens.size() < 3 * 4320) {
        state = state * 1103515245u + 12345u;
        int length = 1 + (state >> 8) % 10;
        std::string digits;
        for (int i = 0; i < length; i++) {
            state = state * 1103515245u + 12345u;
            digits += (char)('0' + (state >> 16) % 10);
        }
        int point = (state >> 4) % (length + 2);
        if (point <= length)
            digits.insert((size_t)point, ".");
        if (digits == ".")
            digits = "0";
        tokens.push_back(((state >> 3) % 3 == 0 ? "-" : "") + digits);
    }
    std::string text;
    for (size_t i = 0; i < tokens.size(); i++)
        text += tokens[i] + (i % 3 == 2 ? "\n" : " ");
    FacePtr face = blank_face();
    EXPECT_EQ(read_markers(text, face.get()), "");
    for (size_t i = 0; i < tokens.size(); i++) {
        int position = (int)(i / 3), axis = 2 - (int)(i % 3);
        float stored = face->ff[position / 24][position % 24][axis];
        float expected = strtof(tokens[i].c_str(), nullptr);
        if (axis == 2)
            expected = -expected;
        ASSERT_EQ(memcmp(&stored, &expected, sizeof stored), 0) << tokens[i] << " read as " << stored;
    }
}

TEST(MarkerFile, ShortBadAndNonFiniteFilesLeaveZeros)
{
    FacePtr face = blank_face();
    std::string ten;
    for (int i = 0; i < 10; i++)
        ten += "4 5 6\n";
    EXPECT_THAT(read_markers(ten + "7 8", face.get()),
                HasSubstr("file ends after 10 of 4320 marker positions; the missing coordinates are 0"));
    EXPECT_EQ(face->ff[0][9][0], 6.0f);
    EXPECT_EQ(face->ff[0][10][0], 0.0f) << "a part-read triple keeps what was read";
    EXPECT_EQ(face->ff[0][10][1], 8.0f);
    EXPECT_EQ(face->ff[0][10][2], -7.0f);
    EXPECT_EQ(face->ff[0][11][1], 0.0f);
    EXPECT_EQ(face->ff[179][23][0], 0.0f);
    EXPECT_TRUE(signbit(face->ff[179][23][2]));

    /* A record that held other values is cleared where the file runs out. */
    face->ff[100][5][1] = 42.0f;
    EXPECT_THAT(read_markers("4 5 6 4 5 6 4,5 6 7 8 9", face.get()),
                HasSubstr("\",5\" after 2 of 4320 marker positions is not a number"));
    EXPECT_EQ(face->ff[0][2][2], -4.0f);
    EXPECT_EQ(face->ff[0][2][1], 0.0f);
    EXPECT_EQ(face->ff[0][3][0], 0.0f);
    EXPECT_EQ(face->ff[100][5][1], 0.0f);

    std::string odd = "nan 1 inf\n-infinity 1e50 2\nnan(0x7) 3 4\n";
    for (int i = 3; i < 4320; i++)
        odd += "1 1 1\n";
    std::string one = "1 1 nan\n";
    for (int i = 1; i < 4320; i++)
        one += "1 1 1\n";
    EXPECT_THAT(read_markers(one, face.get()), HasSubstr(": 1 value is not finite (inf or nan); it is set to 0\n"));
    EXPECT_THAT(read_markers(odd, face.get()), HasSubstr("5 values are not finite (inf or nan); they are set to 0"));
    EXPECT_EQ(face->ff[0][0][0], 0.0f);
    EXPECT_EQ(face->ff[0][0][1], 1.0f);
    EXPECT_EQ(face->ff[0][0][2], 0.0f);
    EXPECT_EQ(face->ff[0][1][0], 2.0f);
    EXPECT_EQ(face->ff[0][1][1], 0.0f);
    EXPECT_EQ(face->ff[0][2][1], 3.0f);
    for (int f = 0; f < 180; f++)
        for (int m = 0; m < 24; m++)
            for (int a = 0; a < 3; a++)
                ASSERT_TRUE(isfinite(face->ff[f][m][a]));

    /* Eight megabytes of NUL bytes, past the megabyte a token is read to:
     * not a number. */
    EXPECT_THAT(read_markers("1 2 3 " + std::string(8 << 20, '\0'), face.get()),
                HasSubstr("\"" + std::string(23, '?') + "\" after 1 of 4320 marker positions is not a number"));
    EXPECT_EQ(face->ff[0][0][0], 3.0f);
}

TEST(DataFiles, EndlessFilesEndInAWarning)
{
    std::string zero = make_temp_folder() + "/zero.dat";
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    FacePtr face = blank_face();
    CaptureStderr();
    read_data_matrix(zero.c_str(), face.get());
    read_line_info(zero.c_str(), face.get());
    std::string err = GetCapturedStderr();
    EXPECT_THAT(err, HasSubstr("after 0 of 4320 marker positions is not a number"));
    EXPECT_THAT(err, HasSubstr("is not a number; no segments are drawn"));
}
