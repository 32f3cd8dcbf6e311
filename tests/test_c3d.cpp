/* The C3D reader: crafted files in every layout, damaged files, and facts
 * about real files that other readers measured. */
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>

#include "c3d_writer.h"
#include "importfiles.h"

using testing::HasSubstr;

/* Multiples of 1/4 within +-8192: exact as floats in every encoding, and
 * as 16-bit integers at a scale of 1/4. */
static float value(size_t f, size_t p, int a)
{
    return -300.0f + 100.0f * p + 10.0f * a + 0.25f * f;
}

/* Three points over four frames, point B lost in frame 2, two analog
 * channels of three samples after each frame's points. */
static C3dContent small_content(int processor, bool integers)
{
    C3dContent c;
    c.processor = processor;
    c.integers = integers;
    c.scale = 0.25f;
    c.rate = 50.0f;
    c.labels = {"A", "B", "C"};
    c.frames = 4;
    for (size_t f = 0; f < c.frames; f++)
        for (size_t p = 0; p < 3; p++) {
            for (int a = 0; a < 3; a++)
                c.xyz.push_back(value(f, p, a));
            c.valid.push_back(!(f == 2 && p == 1));
        }
    c.analog_channels = 2;
    c.analog_per_frame = 3;
    return c;
}

TEST(C3dReader, FloatsAreStoredAsEachProcessorWritesThem)
{
    /* 1.0 as the format documentation gives it: IEEE 3F800000, DEC F-float
     * 4080 0000 held as its two little-endian halves. */
    EXPECT_EQ(c3d_float_bytes(1.0f, C3D_WRITE_INTEL), (std::vector<uint8_t>{0x00, 0x00, 0x80, 0x3f}));
    EXPECT_EQ(c3d_float_bytes(1.0f, C3D_WRITE_MIPS), (std::vector<uint8_t>{0x3f, 0x80, 0x00, 0x00}));
    EXPECT_EQ(c3d_float_bytes(1.0f, C3D_WRITE_DEC), (std::vector<uint8_t>{0x80, 0x40, 0x00, 0x00}));
}

TEST(C3dReader, RoundTripsEveryProcessorAndStorage)
{
    const struct {
        int processor;
        bool integers;
        const char *format;
    } cases[] = {
        {C3D_WRITE_INTEL, false, "C3D, Intel, float"}, {C3D_WRITE_INTEL, true, "C3D, Intel, 16-bit integers x 0.25"},
        {C3D_WRITE_DEC, false, "C3D, DEC, float"},     {C3D_WRITE_DEC, true, "C3D, DEC, 16-bit integers x 0.25"},
        {C3D_WRITE_MIPS, false, "C3D, MIPS, float"},   {C3D_WRITE_MIPS, true, "C3D, MIPS, 16-bit integers x 0.25"},
    };
    for (const auto &c : cases) {
        std::string error;
        Recording rec = read_bytes(write_c3d(small_content(c.processor, c.integers)), &error);
        ASSERT_EQ(error, "") << c.format;
        EXPECT_EQ(format_description(rec), c.format);
        EXPECT_EQ(rec.rate, 50.0);
        ASSERT_EQ(rec.frames, 4u) << c.format;
        ASSERT_EQ(rec.points.size(), 3u);
        EXPECT_EQ(rec.points[1].label, "B");
        EXPECT_EQ(rec.units, "mm");
        for (size_t f = 0; f < 4; f++)
            for (size_t p = 0; p < 3; p++) {
                EXPECT_EQ(rec.valid[f * 3 + p], !(f == 2 && p == 1)) << c.format << " frame " << f << " point " << p;
                for (int a = 0; a < 3 && rec.valid[f * 3 + p]; a++)
                    EXPECT_EQ(rec.xyz[(f * 3 + p) * 3 + a], value(f, p, a)) << c.format << " frame " << f;
            }
    }
}

TEST(C3dReader, LongRecordingsManyPointsAndOddLayouts)
{
    C3dContent many = small_content(C3D_WRITE_INTEL, false);
    many.labels.clear();
    for (int i = 0; i < 300; i++)
        many.labels.push_back(i == 299 ? "" : "M" + std::to_string(i));
    many.frames = 2;
    many.xyz.assign(2 * 300 * 3, 1.5f);
    many.valid.clear();
    many.groups_last = true;
    many.data_start_zero = true;
    std::string error;
    Recording rec = read_bytes(write_c3d(many), &error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(rec.points.size(), 300u);
    ASSERT_EQ(rec.frames, 2u) << "POINT:DATA_START 0: the data start is the header's word 9";
    EXPECT_EQ(rec.points[280].label, "M280") << "labels past 255 come from LABELS2";
    EXPECT_EQ(rec.points[299].label, "point 299");
    EXPECT_EQ(rec.xyz.back(), 1.5f);

    C3dContent longest = small_content(C3D_WRITE_INTEL, false);
    longest.labels = {"A"};
    longest.frames = 70000;
    longest.xyz.assign(70000 * 3, 2.0f);
    longest.xyz.back() = 7.0f;
    longest.valid.clear();
    longest.analog_channels = 0;
    longest.frames_in_trial = true;
    rec = read_bytes(write_c3d(longest), &error);
    ASSERT_EQ(rec.frames, 70000u) << "POINT:FRAMES 65535, the count in TRIAL";
    EXPECT_EQ(rec.xyz.back(), 7.0f);

    C3dContent as_float = small_content(C3D_WRITE_MIPS, false);
    as_float.frames_as_float = true;
    EXPECT_EQ(read_bytes(write_c3d(as_float), &error).frames, 4u);
}

TEST(C3dReader, ShortFileIsReadAsFarAsItGoes)
{
    std::vector<uint8_t> bytes = write_c3d(small_content(C3D_WRITE_INTEL, false));
    bytes.resize(bytes.size() - 10);
    std::string error;
    Recording rec = read_bytes(bytes, &error);
    EXPECT_EQ(rec.frames, 3u);
    EXPECT_EQ(rec.declared_frames, 4);
    ASSERT_EQ(rec.warnings.size(), 1u);
    EXPECT_EQ(rec.warnings[0], "holds 3 of the 4 frames it declares; read those");
}

/* Where a record starts: its name length, group id and name. */
static size_t record_at(const std::vector<uint8_t> &bytes, const std::string &name, int group)
{
    std::vector<uint8_t> pattern = {(uint8_t)name.size(), (uint8_t)group};
    pattern.insert(pattern.end(), name.begin(), name.end());
    auto at = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end());
    EXPECT_NE(at, bytes.end()) << name;
    return (size_t)(at - bytes.begin());
}

TEST(C3dReader, DamagedParameterSectionsAreRefused)
{
    const std::vector<uint8_t> good = write_c3d(small_content(C3D_WRITE_INTEL, false));
    size_t scale = record_at(good, "SCALE", 1), labels = record_at(good, "LABELS", 1);
    size_t scale_link = scale + 2 + 5;
    const struct {
        size_t at;
        std::vector<uint8_t> patch;
        std::string expected;
    } cases[] = {
        {scale_link, {0xfc, 0xff}, "parameter section is damaged at byte " + std::to_string(scale_link)},
        {scale_link, {0x00, 0x7f}, "parameter section is damaged at byte " + std::to_string(scale_link)},
        {labels + 2 + 6 + 2 + 2, {0xff, 0xff}, "parameter section is damaged at byte " + std::to_string(labels)},
        {record_at(good, "POINT", -1), {5, 0xff, 'P', 'O', 'I', 'N', 'X'}, "holds no marker positions"},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> bad = good;
        std::copy(c.patch.begin(), c.patch.end(), bad.begin() + (long)c.at);
        std::string error;
        read_bytes(bad, &error);
        EXPECT_EQ(error, c.expected);
    }

    /* The file ends one byte into the POINT group record's link word. */
    size_t point_group = record_at(good, "POINT", -1);
    std::vector<uint8_t> cut(good.begin(), good.begin() + (long)(point_group + 2 + 5 + 1));
    std::string error;
    read_bytes(cut, &error);
    EXPECT_EQ(error, "parameter section is damaged at byte " + std::to_string(point_group));
}

TEST(C3dReader, RealFilesReadAsOtherReadersMeasured)
{
    REQUIRE_TESTDATA("c3d/Vicon.c3d");
    Recording vicon = read_path(testdata_path("c3d/Vicon.c3d"));
    EXPECT_EQ(format_description(vicon), "C3D, Intel, float");
    ASSERT_EQ(vicon.points.size(), 51u);
    ASSERT_EQ(vicon.frames, 580u);
    EXPECT_EQ(vicon.rate, 100.0);
    EXPECT_EQ(vicon.units, "mm");
    EXPECT_EQ(axis_name(vicon.screen.right) + axis_name(vicon.screen.up), "+x+z");
    EXPECT_EQ(vicon.points[8].label, "Daphnee:ASISr");
    EXPECT_EQ(vicon.xyz[0], 44.16278839111328f);
    EXPECT_EQ(vicon.xyz[(579 * 51 + 50) * 3 + 2], 99.682586669921875f);
    EXPECT_EQ(std::count(vicon.valid.begin(), vicon.valid.end(), 0), 305);

    Recording dec = read_path(testdata_path("c3d/read_NOTworking2.c3d"));
    EXPECT_EQ(format_description(dec), "C3D, DEC, 16-bit integers x 0.1449");
    ASSERT_EQ(dec.points.size(), 23u);
    EXPECT_EQ(dec.points[2].label, "LSHO");
    EXPECT_EQ(dec.frames, 670u);
    EXPECT_EQ(dec.rate, 25.0);
    EXPECT_NEAR(dec.xyz[0], -52.1641, 1e-4);
    EXPECT_NEAR(dec.xyz[1], 68.3929, 1e-4);
    EXPECT_NEAR(dec.xyz[2], 1763.0019, 1e-4);

    Recording bts = read_path(testdata_path("c3d/BTS.c3d"));
    ASSERT_EQ(bts.points.size(), 22u);
    EXPECT_EQ(bts.points[1].label, "r should");
    EXPECT_EQ(bts.frames, 675u);
    EXPECT_EQ(axis_name(bts.screen.right) + axis_name(bts.screen.up), "+x+y");
    EXPECT_EQ(std::count(bts.valid.begin(), bts.valid.end(), 0), 7661);

    Recording plates = read_path(testdata_path("c3d/FP_Type3.c3d"));
    EXPECT_EQ(plates.points.size(), 34u);
    EXPECT_EQ(plates.frames, 2u);
    EXPECT_EQ(plates.rate, 250.0);
}
