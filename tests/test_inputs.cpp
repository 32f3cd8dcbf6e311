/* Every program that measures takes what the viewer takes: a recording,
 * converted in memory, measures and averages as the marker file that
 * mienscope-import writes from it (its positions rounded to 4 decimals),
 * with its own time; folders stand for their files; bad files get the
 * importer's messages. */
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <map>
#include <sstream>

#include "testfiles.h"

using testing::HasSubstr;

static const std::string source = SOURCE_DIR;

/* A recording of the shared test data, the set that chooses its 24 markers, and its span in seconds as
 * its frames and rate give it. */
struct Case {
    std::string recording;
    std::string set;      /* "" for an OpenFace recording's built-in set */
    double span;
};

static const Case cases[] = {
    {"c3d/Vicon.c3d", source + "/tests/data/vicon24.set", 579 / 100.0},          /* 580 frames at 100 Hz */
    {"trc/subject01_walk1.trc", source + "/tests/data/walk24.set", 150 / 60.0},  /* 151 frames at 60 Hz */
    {"openface/smile_demo.csv", "", 489 / 25.0},                                 /* 490 rows at 25 Hz */
    {"openface/OpenFace_Test.csv", "", 99 / 1000.0},                             /* 100 rows 1 ms apart */
};

/* A table's rows as fields, keyed by the header's names; the paths in these tables hold no comma. */
typedef std::vector<std::map<std::string, std::string>> Table;

static double number(const std::string &field)
{
    return field.empty() ? NAN : atof(field.c_str());
}

static ProgramRun run(const char *binary, const std::vector<std::string> &args)
{
    return run_program(binary, args);
}

/* The recording imported as mienscope-import writes it, with its set. */
static std::string imported(const Case &c, const std::string &folder)
{
    std::string out = folder + "/imported.dat";
    std::vector<std::string> args = {"--force", testdata_path(c.recording), out};
    if (!c.set.empty())
        args.insert(args.begin(), {"--markers", c.set});
    ProgramRun r = run(IMPORT_BINARY, args);
    EXPECT_EQ(r.status, 0) << r.err;
    return out;
}

/* Every marker's measures from the recording against those from its
 * marker file: positions 0.001 mm apart move a distance by at most
 * 0.002 mm, and a frame by one where two values nearly tie. */
static void expect_same_markers(const Table &direct, const Table &from_file, const std::string &name)
{
    ASSERT_EQ(direct.size(), 24u) << name;
    ASSERT_EQ(from_file.size(), 24u) << name;
    for (size_t m = 0; m < 24; m++) {
        const auto &a = direct[m], &b = from_file[m];
        EXPECT_EQ(a.at("label"), b.at("label"));
        EXPECT_NEAR(number(a.at("peak_mm")), number(b.at("peak_mm")), 0.002) << name << " marker " << m;
        EXPECT_NEAR(number(a.at("peak_speed_mm_per_frame")), number(b.at("peak_speed_mm_per_frame")), 0.002);
        for (const char *frame : {"peak_frame", "onset_frame"})
            EXPECT_LE(fabs(number(a.at(frame)) - number(b.at(frame))), 1.0) << name << " " << frame << " " << m;
        if (a.at("peak_frame") != b.at("peak_frame"))
            continue;
        for (const char *d : {"dx_mm", "dy_mm", "dz_mm"})
            EXPECT_NEAR(number(a.at(d)), number(b.at(d)), 0.0012) << name << " " << d << " " << m;
    }
}

/* The seconds columns of a recording: frame f at f x span / 179. */
static void expect_recording_time(const Table &direct, double span, const std::string &name)
{
    for (const auto &row : direct) {
        EXPECT_NEAR(number(row.at("peak_s")), number(row.at("peak_frame")) * span / 179, 5.1e-5) << name;
        if (!row.at("onset_frame").empty()) {
            EXPECT_NEAR(number(row.at("onset_s")), number(row.at("onset_frame")) * span / 179, 5.1e-5) << name;
        }
        EXPECT_NEAR(number(row.at("peak_speed_mm_per_s")), number(row.at("peak_speed_mm_per_frame")) * 179 / span,
                    1e-4 * 179 / span) << name;
    }
}

TEST(Inputs, RecordingsMeasureAsTheirImportedMarkerFilesWithTheirOwnTime)
{
    for (const Case &c : cases) {
        REQUIRE_TESTDATA(c.recording);
        std::string folder = make_temp_folder(), marker_file = imported(c, folder);
        std::string set = c.set.empty() ? source + "/examples/openface-24.set" : c.set;
        std::vector<std::string> direct_args = {"--out", folder + "/direct", testdata_path(c.recording)};
        if (!c.set.empty())
            direct_args.insert(direct_args.begin(), {"--markers", c.set});
        ProgramRun direct = run(MEASURE_BINARY, direct_args);
        ASSERT_EQ(direct.status, 0) << direct.err;
        ProgramRun from_file = run(MEASURE_BINARY, {"--markers", set, "--out", folder + "/file", marker_file});
        ASSERT_EQ(from_file.status, 0) << from_file.err;

        Table a = table_rows(read_file(folder + "/direct/markers.csv")), b = table_rows(read_file(folder + "/file/markers.csv"));
        expect_same_markers(a, b, c.recording);
        expect_recording_time(a, c.span, c.recording);
        EXPECT_EQ(b[0].count("peak_s"), 0u) << "a marker file without --duration has no time";
        EXPECT_EQ(a[0].at("file"), testdata_path(c.recording)) << "the file column names it as given";

        /* The pairs come from the set, the built-in one for OpenFace. */
        Table pa = table_rows(read_file(folder + "/direct/pairs.csv")), pb = table_rows(read_file(folder + "/file/pairs.csv"));
        ASSERT_EQ(pa.size(), pb.size()) << c.recording;
        EXPECT_EQ(pa.empty(), !c.set.empty()) << "only the OpenFace set has pairs";
        for (size_t i = 0; i < pa.size(); i++) {
            EXPECT_EQ(pa[i].at("left"), pb[i].at("left"));
            EXPECT_NEAR(number(pa[i].at("left_peak_mm")), number(pb[i].at("left_peak_mm")), 0.002);
            EXPECT_NEAR(number(pa[i].at("asymmetry_pct")), number(pb[i].at("asymmetry_pct")), 0.05);
        }
    }
}

/* average.dat: 4 decimals of millimetres, one marker a line. */
static std::vector<double> marker_numbers(const std::string &path)
{
    std::vector<double> values;
    std::istringstream in(read_file(path));
    double v;
    while (in >> v)
        values.push_back(v);
    return values;
}

TEST(Inputs, RecordingsAverageAsTheirImportedMarkerFiles)
{
    for (const Case &c : cases) {
        REQUIRE_TESTDATA(c.recording);
        std::string folder = make_temp_folder(), marker_file = imported(c, folder);
        /* The second file of the group: the first half of the same recording. */
        std::string half = folder + "/half.dat";
        std::vector<std::string> half_args = {"--to", std::to_string(c.span / 2), testdata_path(c.recording), half};
        if (!c.set.empty())
            half_args.insert(half_args.begin(), {"--markers", c.set});
        ASSERT_EQ(run(IMPORT_BINARY, half_args).status, 0);

        /* A recording and a marker file are measured alike only with --markers: the OpenFace one's own set,
         * written out, for the OpenFace recording. */
        std::string set = c.set.empty() ? source + "/examples/openface-24.set" : c.set;
        std::vector<std::string> direct_args = {"--markers", set, "--out", folder + "/direct", testdata_path(c.recording),
                                                half};
        ProgramRun direct = run(AVERAGE_BINARY, direct_args);
        ASSERT_EQ(direct.status, 0) << direct.err;
        ASSERT_EQ(run(AVERAGE_BINARY, {"--out", folder + "/file", marker_file, half}).status, 0);
        std::vector<double> a = marker_numbers(folder + "/direct/average.dat"),
                            b = marker_numbers(folder + "/file/average.dat");
        ASSERT_EQ(a.size(), 12960u);
        ASSERT_EQ(b.size(), 12960u);
        double largest = 0.0;
        for (size_t i = 0; i < a.size(); i++)
            largest = std::max(largest, fabs(a[i] - b[i]));
        /* Half of a 0.00005 mm rounding, turned and written to 4 decimals again. */
        EXPECT_LE(largest, 0.0002) << c.recording;
        EXPECT_THAT(read_file(folder + "/direct/scores.csv"), HasSubstr("\n" + testdata_path(c.recording) + ","));
    }
}

TEST(Inputs, FoldersStandForTheirRecordingsAndMarkerFilesInByteOrder)
{
    std::string folder = make_temp_folder(), sm1 = read_file(source + "/face-data/sm1.dat");
    write_file(folder + "/b.dat", sm1);
    write_file(folder + "/A.DAT", read_file(source + "/face-data/sm2.dat"));
    write_file(folder + "/c.Csv", sm1);   /* no recording's content: a marker file, whatever its name */
    write_file(folder + "/.hidden.dat", "not read");
    for (const char *ours : {"markers.csv", "face-sides.csv", "average.dat", "mode1-plus.dat", "mode12-minus.dat",
                             "line.dat"})
        write_file(folder + "/" + ours, "a file the programs wrote, not read");
    write_file(folder + "/notes.txt", "not read");
    mkdir((folder + "/sub.dat").c_str(), 0755);
    std::string c3d = source + "/examples/smile.c3d";
    ProgramRun r = run(MEASURE_BINARY, {"--markers", source + "/examples/face24.set", "--duration", "3", c3d,
                                        folder + "/", source + "/face-data/sm2.dat"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr(folder + "/: 6 files that Mienscope's programs write left out (average.dat, "
                                 "face-sides.csv, line.dat, markers.csv, mode1-plus.dat, mode12-minus.dat)\n"));
    Table rows = table_rows(r.out);
    ASSERT_EQ(rows.size(), 5u * 24);
    std::vector<std::string> order;
    for (size_t i = 0; i < rows.size(); i += 24)
        order.push_back(rows[i].at("file"));
    EXPECT_EQ(order, (std::vector<std::string>{c3d, folder + "/A.DAT", folder + "/b.dat", folder + "/c.Csv",
                                               source + "/face-data/sm2.dat"}));
    /* --duration is the marker files' time; the recording keeps its own 2.99 s. */
    EXPECT_NEAR(number(rows[0].at("peak_s")), number(rows[0].at("peak_frame")) * 2.99 / 179, 5.1e-5);
    EXPECT_NEAR(number(rows[24].at("peak_s")), number(rows[24].at("peak_frame")) * 3.0 / 179, 5.1e-5);
    EXPECT_EQ(rows[24].at("peak_mm"), rows[4 * 24].at("peak_mm")) << "A.DAT is sm2.dat";

    /* Without --duration the marker files' seconds columns are there and empty. */
    r = run(MEASURE_BINARY, {"--markers", source + "/examples/face24.set", c3d, folder});
    ASSERT_EQ(r.status, 0) << r.err;
    rows = table_rows(r.out);
    EXPECT_FALSE(rows[0].at("peak_s").empty());
    EXPECT_TRUE(rows[24].at("peak_s").empty());
    EXPECT_EQ(rows[24].at("file"), folder + "/A.DAT") << "a folder without a trailing '/' gets one";
}

TEST(Inputs, BadFilesAndFoldersGetTheImportersMessages)
{
    std::string folder = make_temp_folder(), empty = make_temp_folder();
    write_file(empty + "/readme.txt", "no recording here");
    std::string binary = folder + "/binary.dat";
    write_file(binary, std::string("1 2 3\0\x01", 7));
    std::string set = source + "/tests/data/vicon24.set", c3d = source + "/examples/smile.c3d";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } bad[] = {
        {{empty}, 1, empty + ": holds no .c3d, .trc, .csv or .dat file, nor a video\n"},
        {{binary}, 1, binary + ": not a recording (C3D, TRC, OpenFace CSV) nor a marker file\n"},
        {{c3d}, 1, c3d + ": holds 28 markers, not 24; --markers SET chooses 24 of them\n"},
        {{"--markers", set, c3d}, 1, c3d + ": " + set + ":3: \"ASISr\" matches no point of the recording"},
        {{"--min-confidence", "2", c3d}, 2, "--min-confidence \"2\" is not a number from 0 to 1\nUsage: "},
        {{"--markers", source + "/examples/face24.set", "--to", "9", c3d}, 2, "--to 9: the part shown must lie within 0 .. 2.99 s"},
    };
    for (const char *binary_path : {MEASURE_BINARY, AVERAGE_BINARY})
        for (const auto &c : bad) {
            std::vector<std::string> args = c.args;
            args.insert(args.end(), {source + "/face-data/sm1.dat", "--out", folder + "/out"});
            ProgramRun r = run(binary_path, args);
            EXPECT_EQ(r.status, c.status) << binary_path << " " << c.message;
            EXPECT_THAT(r.err, HasSubstr(c.message)) << binary_path;
            struct stat st;
            EXPECT_NE(stat((folder + "/out").c_str(), &st), 0) << "nothing is written";
        }
    /* Options only a recording uses are accepted with marker files alone. */
    EXPECT_EQ(run(MEASURE_BINARY, {"--from", "1", "--face", "2", source + "/face-data/sm1.dat"}).status, 0);
}
