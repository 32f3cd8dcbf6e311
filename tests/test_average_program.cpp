/* mienscope-average as a user runs it: the files it writes, the exhibits
 * folder as the viewer loads it, its plot, and what bad input gets. */
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <math.h>
#include <sys/stat.h>

#include <sstream>

#include "head.h"
#include "testfiles.h"

using testing::HasSubstr;
using testing::StartsWith;

static const std::string data = std::string(SOURCE_DIR) + "/face-data/";
static const std::string face_set = std::string(SOURCE_DIR) + "/examples/face24.set";

static ProgramRun average(const std::vector<std::string> &args, const std::string &path = "")
{
    return run_program(AVERAGE_BINARY, args, path);
}

static std::vector<std::string> samples()
{
    std::vector<std::string> files;
    for (const char *name : {"sm1", "sm2", "smaa", "smll", "smnl", "smnn", "smpcd", "smpcu"})
        files.push_back(data + name + ".dat");
    return files;
}

/* What the viewer's own loader prints for a file of the folder. */
static std::string viewer_warnings(const std::string &folder, const std::string &name)
{
    testing::internal::CaptureStderr();
    FACE *face = new_face((folder + "/line.dat").c_str(), (folder + "/" + name).c_str());
    free(face);
    return testing::internal::GetCapturedStderr();
}

TEST(AverageProgram, WritesTheModesTablesPlotAndAFolderTheViewerOpens)
{
    std::string out = make_temp_folder() + "/group";
    std::vector<std::string> args = {"--markers", face_set, "--exhibits", "--out", out};
    std::vector<std::string> files = samples();
    args.insert(args.end(), files.begin(), files.end());
    ProgramRun run = average(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    std::string modes = read_file(out + "/modes.csv");
    EXPECT_THAT(modes, StartsWith("mode,sd_mm,variance_share,cumulative_share\n1,"));
    EXPECT_EQ(std::count(modes.begin(), modes.end(), '\n'), 8) << "the 7 modes that 8 files have";
    EXPECT_THAT(modes, HasSubstr(",1.000000\n"));
    std::string scores = read_file(out + "/scores.csv");
    EXPECT_THAT(scores, StartsWith("file,mode1,mode2,mode3\n" + files[0] + ","));
    for (const char *name : {"average.dat", "mode1-plus.dat", "mode3-minus.dat", "plots.gp", "modes.svg"})
        EXPECT_FALSE(read_file(out + "/" + name).empty()) << name;
    EXPECT_TRUE(read_file(out + "/mode4-plus.dat").empty()) << "three modes by default";
    EXPECT_EQ(png_size(out + "/modes.png"), std::make_pair(1400u, 650u));

    /* The exhibits folder: every file loads in the viewer without a
     * warning, the line file is the set's, F2's file is the average. */
    std::string face_data = out + "/face-data";
    EXPECT_EQ(read_file(face_data + "/line.dat"), read_file(data + "line.dat"));
    for (const char *name : {"sm1.dat", "sm2.dat", "smaa.dat", "smnn.dat", "smll.dat", "smnl.dat", "smpcu.dat", "smpcd.dat"})
        EXPECT_EQ(viewer_warnings(face_data, name), "") << name;
    EXPECT_EQ(read_file(face_data + "/smaa.dat"), read_file(out + "/average.dat"));
    EXPECT_EQ(read_file(face_data + "/smnl.dat"), read_file(out + "/average.dat")) << "F4: mode 2 minus against the average";
    EXPECT_EQ(read_file(face_data + "/smpcu.dat"), read_file(out + "/mode1-plus.dat"));
    EXPECT_EQ(read_file(face_data + "/smpcd.dat"), read_file(out + "/mode1-minus.dat"));
    EXPECT_EQ(read_file(face_data + "/smnn.dat"), read_file(out + "/mode2-minus.dat"));
    EXPECT_EQ(read_file(face_data + "/smll.dat"), read_file(out + "/mode2-plus.dat"));

    /* Again without --force: refused, nothing touched; one mode: F3 and F4 show the average. */
    run = average(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr("exists; --force replaces it"));
    args.insert(args.begin(), {"--force", "--modes", "1", "--sd", "3"});
    run = average(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(face_data + "/smll.dat"), read_file(out + "/average.dat"));
    EXPECT_THAT(read_file(out + "/scores.csv"), StartsWith("file,mode1\n"));
    EXPECT_EQ(png_size(out + "/modes.png"), std::make_pair(700u, 650u)) << "one mode: its share alone, no empty half";
}

/* plots.gp's "array labelled[n] = [...]" as numbers. */
static std::vector<int> labelled(const std::string &script)
{
    std::vector<int> flags;
    size_t at = script.find("array labelled[");
    at = script.find('[', script.find("= [", at)) + 1;
    for (; at < script.size() && script[at] != ']'; at++)
        if (script[at] == '0' || script[at] == '1')
            flags.push_back(script[at] - '0');
    return flags;
}

TEST(AverageProgram, TheScoresPlotLabelsAllOfAFewFilesAndSixOfMany)
{
    std::string folder = make_temp_folder();
    std::vector<std::string> files = samples();
    /* Five more: sm1 with its left mouth corner 1 to 5 mm further out in every frame. */
    std::string sm1 = read_file(data + "sm1.dat");
    for (int k = 1; k <= 5; k++) {
        std::istringstream lines(sm1);
        std::string line, text;
        for (int i = 0; std::getline(lines, line); i++) {
            double a, b, c;
            sscanf(line.c_str(), "%lf %lf %lf", &a, &b, &c);
            char out[96];
            snprintf(out, sizeof out, "%.2f %.2f %.2f\n", a, b + (i % 24 == 20 ? 0.3 * k : 0.0), c + (i % 24 == 20 ? k : 0));
            text += out;
        }
        files.push_back(folder + "/variant" + std::to_string(k) + ".dat");
        write_file(files.back(), text);
    }
    std::vector<std::string> args = {"--out", folder + "/many"};
    args.insert(args.end(), files.begin(), files.end());
    ASSERT_EQ(average(args, "/nonexistent").status, 0);
    std::vector<int> flags = labelled(read_file(folder + "/many/plots.gp"));
    ASSERT_EQ(flags.size(), 13u);
    EXPECT_EQ(std::count(flags.begin(), flags.end(), 1), 6) << "13 files: the 6 furthest out are named";
    /* The named ones are those furthest from the origin of modes 1 and 2. */
    std::istringstream scores(read_file(folder + "/many/scores.csv"));
    std::string row;
    std::getline(scores, row);
    std::vector<double> distances;
    while (std::getline(scores, row)) {
        std::vector<std::string> cells;
        std::istringstream fields(row);
        std::string cell;
        while (std::getline(fields, cell, ','))
            cells.push_back(cell);
        distances.push_back(hypot(atof(cells[1].c_str()), atof(cells[2].c_str())));
    }
    double least_named = 1e9, most_unnamed = 0.0;
    for (size_t i = 0; i < distances.size(); i++) {
        if (flags[i])
            least_named = std::min(least_named, distances[i]);
        else
            most_unnamed = std::max(most_unnamed, distances[i]);
    }
    EXPECT_GT(least_named, most_unnamed);
    EXPECT_THAT(read_file(folder + "/many/plots.gp"), HasSubstr("set offsets graph 0.22, graph 0.22"))
        << "room for the names inside the plot";

    args = {"--out", folder + "/few"};
    args.insert(args.end(), files.begin(), files.begin() + 8);
    ASSERT_EQ(average(args, "/nonexistent").status, 0);
    flags = labelled(read_file(folder + "/few/plots.gp"));
    EXPECT_EQ(flags, std::vector<int>(8, 1)) << "8 files: all named";
}

TEST(AverageProgram, BadInputIsRefusedAndNothingIsWritten)
{
    std::string folder = make_temp_folder(), out = folder + "/out";
    std::string a = data + "sm1.dat", b = data + "sm2.dat", c = data + "smaa.dat";
    std::string cut = temp_file(read_file(a).substr(0, 1000));
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"--out", out, a}, 2, "mienscope-average: a group needs two or more files; 1 file was given\nUsage: "},
        {{a, b}, 2, "mienscope-average: --out DIR is required\nUsage: "},
        {{"--out", out, "--modes", "3", a, b, c}, 2, "--modes 3 is more than the 2 modes that 3 files have"},
        {{"--out", out, "--modes", "0", a, b}, 2, "--modes \"0\" is not a whole number of 1 or more"},
        {{"--out", out, "--sd", "0", a, b}, 2, "--sd \"0\" is not a number above 0"},
        {{"--out", out, "--sd", "-1", a, b}, 2, "--sd \"-1\" is not a number above 0"},
        {{"--out", out, a, cut}, 1, cut + ": ends after "},
        {{"--out", out, a, folder + "/none.dat"}, 1, folder + "/none.dat: can't be read: No such file or directory\n"},
        {{"--out", out, a, a}, 1, "the files do not vary; no mode to show\n"},
        {{"--out", out, "--sd", "1e300", a, b}, 1, "mode1-plus.dat would reach beyond what a marker file holds"},
    };
    for (const auto &t : cases) {
        ProgramRun run = average(t.args);
        EXPECT_EQ(run.status, t.status) << t.message;
        EXPECT_THAT(run.err, HasSubstr(t.message));
        EXPECT_EQ(run.out, "");
        struct stat st;
        EXPECT_NE(stat(out.c_str(), &st), 0) << t.message << ": nothing, not even the folder, is made";
    }
}

TEST(AverageProgram, NoInputIsWrittenOverEvenWithForce)
{
    std::string out = make_temp_folder();
    write_file(out + "/average.dat", read_file(data + "sm1.dat"));
    ProgramRun run = average({"--force", "--out", out, out + "/average.dat", data + "sm2.dat"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, out + "/average.dat: is the recording being read; choose another name\n");
    EXPECT_EQ(read_file(out + "/average.dat"), read_file(data + "sm1.dat"));
    EXPECT_EQ(read_file(out + "/modes.csv"), "") << "nothing else was written";
}
