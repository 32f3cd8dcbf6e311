/* mienscope-measure as a user runs it: standard output, the files it
 * writes, its plots, and what bad input gets. */
#include <dirent.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "face_tables_for_tests.h"
#include "testfiles.h"

using testing::HasSubstr;
using testing::StartsWith;

static const std::string sm1 = std::string(SOURCE_DIR) + "/face-data/sm1.dat";
static const std::string sm2 = std::string(SOURCE_DIR) + "/face-data/sm2.dat";
static const std::string face_set = std::string(SOURCE_DIR) + "/examples/face24.set";

static ProgramRun measure(const std::vector<std::string> &args, const std::string &path = "")
{
    return run_program(MEASURE_BINARY, args, path);
}

static size_t entries(const std::string &folder)
{
    size_t n = 0;
    DIR *dir = opendir(folder.c_str());
    while (struct dirent *e = dir ? readdir(dir) : nullptr)
        n += e->d_name[0] != '.';
    if (dir)
        closedir(dir);
    return n;
}

/* A marker file whose 4320 triples are all "1 2 3", with `text` put in place of triple `at`. */
static std::string marker_file_with(size_t at, const std::string &text, size_t triples = 4320)
{
    std::string out;
    for (size_t i = 0; i < triples; i++)
        out += i == at ? text + "\n" : "1 2 3\n";
    return out;
}

TEST(MeasureProgram, TableOnStandardOutputAndFilesInAFolder)
{
    ProgramRun run = measure({sm1, "--markers", face_set});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_THAT(run.out, StartsWith("file,marker,label,peak_mm,"));
    EXPECT_THAT(run.out, HasSubstr("\n" + sm1 + ",20,LMouth,"));
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 25);

    std::string out = make_temp_folder() + "/new/study";
    run = measure({"--markers", face_set, "--duration", "6", "--out", out, sm1, sm2});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    for (const char *name : {"markers.csv", "pairs.csv", "curves.csv", "plots.gp", "displacement.svg", "pairs.svg"})
        EXPECT_FALSE(read_file(out + "/" + name).empty()) << name;
    EXPECT_EQ(png_size(out + "/displacement.png"), std::make_pair(1600u, 2000u));
    EXPECT_EQ(png_size(out + "/pairs.png"), std::make_pair(1400u, 700u));
    EXPECT_EQ(entries(out), 8u) << "and no temporary file is left";
    EXPECT_THAT(read_file(out + "/pairs.csv"), HasSubstr("\n" + sm2 + ",LMouth,RMouth,"));
    /* The pairs' legend names the files, not their paths, inside the panel's frame. */
    std::string pairs = read_file(out + "/pairs.svg");
    size_t entry = pairs.find("<text>sm1.dat left</text>"), frame = pairs.find("Z  '/>");
    ASSERT_NE(entry, std::string::npos);
    ASSERT_NE(frame, std::string::npos);
    double legend_x = atof(pairs.c_str() + pairs.rfind("translate(", entry) + 10);
    size_t corner = pairs.rfind(" L", pairs.rfind(" L", pairs.rfind(" L", frame) - 1) - 1);
    double frame_right = atof(pairs.c_str() + corner + 2);
    EXPECT_GT(frame_right, 1000.0);
    EXPECT_LT(legend_x, frame_right) << "the key inside the frame";

    /* The script runs again from the folder, as the user would run it. */
    unlink((out + "/pairs.png").c_str());
    ASSERT_EQ(system(("cd '" + out + "' && gnuplot plots.gp").c_str()), 0);
    EXPECT_EQ(png_size(out + "/pairs.png"), std::make_pair(1400u, 700u));

    /* Files that exist are left alone without --force, and replaced with it. */
    write_file(out + "/curves.csv", "mine\n");
    run = measure({"--out", out, sm1});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, out + "/markers.csv: exists; --force replaces it, and without it the file is left untouched\n");
    EXPECT_EQ(read_file(out + "/curves.csv"), "mine\n");
    run = measure({"--force", "--out", out, sm1});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(read_file(out + "/curves.csv"), StartsWith("file,frame,marker,label,displacement_mm\n" + sm1 + ",0,0,0,"));
}

/* A file being read is never written over, even with --force, nor a recording that stands where a
 * table goes; nothing in the folder changes. */
TEST(MeasureProgram, NoInputIsWrittenOverAndNoRecordingReplaced)
{
    std::string out = make_temp_folder();
    write_file(out + "/markers.csv", read_file(sm1));
    ProgramRun run = measure({"--force", "--out", out, out + "/markers.csv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, out + "/markers.csv: is the recording being read; choose another name\n");
    EXPECT_EQ(read_file(out + "/markers.csv"), read_file(sm1));

    unlink((out + "/markers.csv").c_str());
    std::string capture = read_file(std::string(SOURCE_DIR) + "/examples/smile.c3d");
    write_file(out + "/curves.csv", capture);
    run = measure({"--force", "--out", out, sm1});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, out + "/curves.csv: is a recording, not a table or plot mienscope-measure writes; it is not "
                             "replaced\n");
    EXPECT_EQ(read_file(out + "/curves.csv"), capture);
    EXPECT_EQ(entries(out), 1u);
}

/* A marker file's triple is (-z, y, x): marker 5 moves 5 mm along the
 * first column, so towards -z; marker 6 along the third, towards +x; marker
 * 7 along the second, up. */
TEST(MeasureProgram, TheFilesColumnsAreTheAxesAsTheViewerReadsThem)
{
    std::string text;
    for (int f = 0; f < 180; f++)
        for (int m = 0; m < 24; m++)
            text += f < 100 ? "1 2 3\n" : m == 5 ? "6 2 3\n" : m == 6 ? "1 2 8\n" : m == 7 ? "1 7 3\n" : "1 2 3\n";
    ProgramRun run = measure({temp_file(text)});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr(",5,5,5.0000,100,100,,2.5000,0.0000,0.0000,-5.0000\n"));
    EXPECT_THAT(run.out, HasSubstr(",6,6,5.0000,100,100,,2.5000,5.0000,0.0000,0.0000\n"));
    EXPECT_THAT(run.out, HasSubstr(",7,7,5.0000,100,100,,2.5000,0.0000,5.0000,0.0000\n"));
}

/* --in-plane: marker 5 moves 5 mm in depth only, marker 6 3 mm to the right and 4 mm back (5 mm in all). */
TEST(MeasureProgram, InThePicturesPlaneDepthIsLeftOut)
{
    std::string text;
    for (int f = 0; f < 180; f++)
        for (int m = 0; m < 24; m++)
            text += f < 100 ? "1 2 3\n" : m == 5 ? "6 2 3\n" : m == 6 ? "5 2 6\n" : "1 2 3\n";
    std::string file = temp_file(text);
    ProgramRun full = measure({file}), flat = measure({"--in-plane", file});
    ASSERT_EQ(flat.status, 0) << flat.err;
    EXPECT_THAT(full.out, HasSubstr(",5,5,5.0000,100,100,,2.5000,0.0000,0.0000,-5.0000\n"));
    EXPECT_THAT(full.out, HasSubstr(",6,6,5.0000,100,100,,2.5000,3.0000,0.0000,-4.0000\n"));
    EXPECT_THAT(flat.out, HasSubstr(",5,5,0.0000,0,,,0.0000,0.0000,0.0000,0.0000\n")) << "no movement in the plane";
    EXPECT_THAT(flat.out, HasSubstr(",6,6,3.0000,100,100,,1.5000,3.0000,0.0000,0.0000\n"));
}

TEST(MeasureProgram, TimesSmoothingAndTheLagAreWrittenAsAsked)
{
    /* 6 s for 180 frames: one frame every 6/179 s, which the plots draw their curves in. */
    std::string out = make_temp_folder();
    ASSERT_EQ(measure({"--markers", face_set, "--duration", "6", "--out", out, sm1}, "/nonexistent").status, 0);
    EXPECT_THAT(read_file(out + "/plots.gp"), HasSubstr("array time_step[1] = [0.033519553072625698]\n"));
    EXPECT_THAT(read_file(out + "/plots.gp"), HasSubstr("time_unit = 's'\nsmoothing = ''\n"));
    EXPECT_THAT(read_file(out + "/pairs.csv"), StartsWith("file,left,right,left_peak_mm,right_peak_mm,ratio,difference_mm,"
                                                          "asymmetry_pct,direction_cos,lag_frames,lag_s\n"));

    /* Smoothed: the titles say so with the cutoff as typed; a lag in frames is one in 6/179 s each. */
    ASSERT_EQ(measure({"--markers", face_set, "--duration", "6", "--smooth", "6.0", "--force", "--out", out, sm1, sm2},
                      "/nonexistent").status, 0);
    EXPECT_THAT(read_file(out + "/plots.gp"), HasSubstr("smoothing = ', smoothed at 6.0 Hz'\n"));
    int checked = 0;
    for (auto &row : table_rows(read_file(out + "/pairs.csv"))) {
        ASSERT_EQ(row.size(), 11u);
        if (row["lag_frames"].empty())
            continue;
        EXPECT_NEAR(atof(row["lag_s"].c_str()), atoi(row["lag_frames"].c_str()) * 6.0 / 179, 5.1e-5) << row["file"];
        checked++;
    }
    EXPECT_GE(checked, 10);
}

/* A gnuplot that fails, first on PATH: the folders the run made go again, and the message names gnuplot. */
TEST(MeasureProgram, WhenGnuplotFailsNothingIsLeft)
{
    std::string bin = make_temp_folder(), out = make_temp_folder() + "/new/study";
    write_file(bin + "/gnuplot", "#!/bin/sh\necho \"plots.gp, line 3: undefined variable: x\" >&2\nexit 1\n");
    chmod((bin + "/gnuplot").c_str(), 0755);
    ProgramRun run = measure({"--out", out, sm1}, bin + ":/usr/bin:/bin");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "gnuplot failed (plots.gp, line 3: undefined variable: x); nothing was written\n");
    struct stat st;
    EXPECT_NE(stat(out.substr(0, out.rfind('/')).c_str(), &st), 0) << "the folders it made are gone";
    std::string kept = make_temp_folder();
    run = measure({"--out", kept, sm1}, bin + ":/usr/bin:/bin");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(stat(kept.c_str(), &st), 0) << "a folder that was there stays";
    EXPECT_EQ(entries(kept), 0u);
}

TEST(MeasureProgram, WithoutGnuplotTheTablesAndScriptAreStillWritten)
{
    std::string out = make_temp_folder();
    ProgramRun run = measure({"--out", out, sm1}, "/nonexistent");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_THAT(run.err, StartsWith(out + ": gnuplot is not on PATH, so the plots were not drawn"));
    EXPECT_EQ(entries(out), 3u) << "markers.csv, curves.csv and plots.gp; no pairs without a set";
    EXPECT_TRUE(read_file(out + "/displacement.png").empty());
}

TEST(MeasureProgram, BadInputIsRefusedAndNothingIsWritten)
{
    std::string folder = make_temp_folder(), out = folder + "/out";
    std::string good = temp_file(marker_file_with(0, "1 2 3"));
    std::string set_text = read_file(face_set);
    std::string bad_set = temp_file(set_text + "pair LMouth LMouth\n");
    std::string bad_line = std::to_string(std::count(set_text.begin(), set_text.end(), '\n') + 1);
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{folder + "/none.dat"}, 1, folder + "/none.dat: can't be read: No such file or directory\n"},
        {{temp_file(marker_file_with(0, "1 2 3", 4319))}, 1, ": ends after 4319 of 4320 marker positions\n"},
        {{temp_file(marker_file_with(0, "1 2 3", 4319) + "7 8\n")}, 1, ": ends after 4319 of 4320 marker positions\n"},
        {{temp_file(marker_file_with(25, "1 two 3"))}, 1, ": \"two\" in position 25 (frame 1, marker 1) is not a number\n"},
        {{temp_file(marker_file_with(30, "1 2 3mm"))}, 1, ": \"3mm\" in position 30 (frame 1, marker 6) is not a number\n"},
        {{temp_file(marker_file_with(4319, "1 inf 3"))}, 1, ": \"inf\" in position 4319 (frame 179, marker 23) is not a finite number a float holds\n"},
        {{temp_file(marker_file_with(2, "nan 2 3"))}, 1, "position 2 (frame 0, marker 2) is not a finite number"},
        {{temp_file(marker_file_with(3, "1 2 1e39"))}, 1, "position 3 (frame 0, marker 3) is not a finite number"},
        {{"--markers", bad_set, good}, 1, bad_set + ":" + bad_line + ": pair joins \"LMouth\" with itself\n"},
        {{}, 2, "mienscope-measure: no file given\nUsage: "},
        {{"--bogus", good}, 2, "mienscope-measure: \"--bogus\" is not an option or lacks its value\nUsage: "},
        {{"--rest", "180", good}, 2, "--rest \"180\" is not a frame A or frames A:B with 0 <= A <= B <= 179"},
        {{"--rest", "-1", good}, 2, "--rest \"-1\" is not a frame A or frames A:B with 0 <= A <= B <= 179"},
        {{"--rest", "1.5", good}, 2, "--rest \"1.5\" is not a frame"},
        {{"--threshold", "1", good}, 2, "--threshold \"1\" is not a number above 0 and below 1"},
        {{"--threshold", "0", good}, 2, "--threshold \"0\""},
        {{"--duration", "0", good}, 2, "--duration \"0\" is not a number above 0"},
        {{"--duration", "6s", good}, 2, "--duration \"6s\""},
        {{"--smooth", "6", good}, 2,
         "--smooth needs the frames' rate: a recording's own, or --duration SECONDS for marker files\nUsage: "},
        {{"--smooth", "30", "--duration", "3", good}, 2,
         "--smooth \"30\" is not below 29.8 Hz, half the rate of the frames of " + good + "\nUsage: "},
        {{"--smooth", "0", "--duration", "3", good}, 2, "--smooth \"0\" is not a number of hertz above 0"},
        {{"--smooth", "-6", "--duration", "3", good}, 2, "--smooth \"-6\""},
        {{"--rest", "5:3", good}, 2, "--rest \"5:3\" is not a frame A or frames A:B"},
        {{"--rest", "0:180", good}, 2, "--rest \"0:180\" is not a frame A or frames A:B"},
        {{"--rest", "1:2:3", good}, 2, "--rest \"1:2:3\""},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), {"--out", out});
        ProgramRun run = measure(args);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_THAT(run.err, HasSubstr(c.message));
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), c.status == 2 ? 3 : 1) << "the message and the two usage lines: " << run.err;
        EXPECT_EQ(run.out, "");
        struct stat st;
        EXPECT_TRUE(stat(out.c_str(), &st) != 0 || entries(out) == 0) << c.message;
    }
    /* Trailing text after the last triple is not read, as in the viewer. */
    EXPECT_EQ(measure({temp_file(marker_file_with(0, "1 2 3") + "the end\n")}).status, 0);
}

TEST(MeasureProgram, FaceMeasuresOfAnEyeClosingHalfwayAndOfFilesWithoutLandmarks)
{
    REQUIRE_TESTDATA("openface/smile_demo.csv");
    std::string folder = make_temp_folder(), table = folder + "/closing.csv", out = folder + "/out";
    write_file(table, closing_left_eye(0.5));
    ProgramRun run = measure({"--face-measures", table});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::map<std::string, std::string>> rows = table_rows(run.out);
    ASSERT_EQ(rows.size(), 13u) << "six measures of two sides and the mouth's opening";
    EXPECT_EQ(rows[0].at("measure") + rows[0].at("side") + rows[1].at("side") + rows[12].at("measure") +
                  rows[12].at("side"),
              "eye_opening_mmRLmouth_opening_mm");
    const std::map<std::string, std::string> &right = rows[0], &left = rows[1];
    EXPECT_EQ(left.at("closure_pct"), "50.0000");
    EXPECT_EQ(left.at("extreme_frame"), "90");
    EXPECT_EQ(left.at("extreme_s"), "3.0000") << "frame 90 of 180 over 179/30 s";
    EXPECT_NEAR(atof(left.at("change").c_str()), -atof(left.at("rest").c_str()) / 2, 1e-4);
    EXPECT_EQ(right.at("closure_pct"), "0.0000");
    EXPECT_EQ(right.at("change"), "0.0000");
    for (size_t r = 2; r < rows.size(); r++) {
        EXPECT_EQ(rows[r].at("closure_pct"), "") << "only the eyes have a closure";
        EXPECT_EQ(rows[r].at("change"), "0.0000") << rows[r].at("measure") << " " << rows[r].at("side")
                                                  << ": the eye line is the rest's, and a closing lid tilts it not";
    }

    /* Beside a marker file, with --out: face.csv and face-sides.csv leave it out and say so once. */
    std::string set = std::string(SOURCE_DIR) + "/examples/openface-24.set";
    run = measure({"--markers", set, "--out", out, table, sm1});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("mienscope-measure: face.csv and face-sides.csv leave out 1 of 2 files, which "
                                   "bring no 68 face landmarks (not a video or an OpenFace table)\n"));
    EXPECT_EQ(table_rows(read_file(out + "/face.csv")).size(), 13u);
    std::vector<std::map<std::string, std::string>> sides = table_rows(read_file(out + "/face-sides.csv"));
    ASSERT_EQ(sides.size(), 6u) << "the measures with two sides";
    EXPECT_EQ(sides[0].at("change_ratio"), "") << "no ratio to a right side that does not change";
    EXPECT_EQ(sides[0].at("change_asymmetry_pct"), "100.0000");
    EXPECT_EQ(png_size(out + "/face.png"), std::make_pair(1400u, 1600u));

    /* Marker files alone write neither table; asked for face measures, one is refused. */
    run = measure({"--out", out + "2", sm1});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(out + "2/face.csv"), "");
    run = measure({"--markers", set, "--face-measures", table, sm1});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, sm1 + ": face measures need the 68 face landmarks (a video or an OpenFace table)\n");
    EXPECT_EQ(run.out, "");
}
