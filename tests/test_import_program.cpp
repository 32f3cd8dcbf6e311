/* mienscope-import as a user runs it: the example capture end to end, exit
 * statuses and messages, files left alone, and real recordings that the
 * viewer then loads without a warning. */
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "importfiles.h"
#include "testfiles.h"

using testing::HasSubstr;
using testing::StartsWith;

static const std::string example = std::string(SOURCE_DIR) + "/examples/smile.c3d";
static const std::string example_set = std::string(SOURCE_DIR) + "/examples/face24.set";

static std::vector<std::string> folder_entries(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *dir = opendir(folder.c_str());
    while (struct dirent *e = dir ? readdir(dir) : nullptr)
        if (e->d_name[0] != '.' || (e->d_name[1] != '\0' && e->d_name[1] != '.'))
            names.push_back(e->d_name);
    if (dir)
        closedir(dir);
    return names;
}

TEST(ImportProgram, ExampleCaptureBecomesTheSampleFace)
{
    std::string out = make_temp_folder();
    ProgramRun run = run_import({"--markers", example_set, "--line-file", out + "/line.dat", example, out + "/sm1.dat"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr(example + ": point \"P01:LMouth\": filled 12 of 300 frames in the span, longest gap 12 frames (0.120 s)\n"));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 3) << run.err;
    EXPECT_EQ(read_file(out + "/line.dat"), read_file(std::string(SOURCE_DIR) + "/face-data/line.dat"));
    EXPECT_EQ(load_warnings(out + "/sm1.dat", out + "/line.dat"), "");
    EXPECT_EQ(folder_entries(out).size(), 2u) << "no temporary file is left behind";

    run = run_import({"--list", example});
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.out, StartsWith("format: C3D, Intel, float\npoints: 28\nframes: 300\nrate: 100 Hz\n"
                                    "span: 2.990 s from the first frame to the last\nunits: mm\nscreen axes: right +x, up +z\n"));
    EXPECT_THAT(run.out, HasSubstr("   20  P01:LMouth       96.0%\n"));
}

TEST(ImportProgram, ErrorsSayWhatIsWrongAndWriteNothing)
{
    std::string folder = make_temp_folder();
    std::string out = folder + "/sm1.dat", bad_set = temp_file("marker a\n");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{}, 2, "mienscope-import: a conversion takes RECORDING and OUTPUT\nUsage: "},
        {{"--from", "soon", example, out}, 2, "mienscope-import: --from \"soon\" is not a number\nUsage: "},
        {{"--from", "1.5s", example, out}, 2, "mienscope-import: --from \"1.5s\" is not a number\nUsage: "},
        {{"--markers", example_set, "--right", "+x", "--up", "X", example, out}, 2, "are on the same axis\nUsage: "},
        {{"--markers", example_set, "--to", "3", example, out}, 2, "--from 0 and --to 3: the part shown must lie within 0 .. 2.99 s"},
        {{"--line-file", folder + "/l.dat", "--to", "3", example, out}, 1, "holds 28 markers, not 24; --markers SET chooses 24"},
        {{folder + "/none.c3d", out}, 1, folder + "/none.c3d: can't be read: No such file or directory\n"},
        {{example_set, out}, 1, example_set + ": not a C3D, TRC or OpenFace CSV recording\n"},
        {{"--markers", bad_set, example, out}, 1, bad_set + ": has 1 marker line; a set names exactly 24\n"},
        {{"--markers", example_set, example, folder + "/no/sm1.dat"}, 1, folder + "/no/sm1.dat: can't be created"},
    };
    for (const auto &c : cases) {
        ProgramRun run = run_import(c.args);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_THAT(run.err, HasSubstr(c.message));
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(folder_entries(folder).empty()) << c.message;
    }
}

TEST(ImportProgram, ExistingFilesAreReplacedOnlyWithForce)
{
    std::string folder = make_temp_folder();
    std::string out = folder + "/sm1.dat", lines = folder + "/line.dat";
    write_file(lines, "kept\n");
    ProgramRun run = run_import({"--markers", example_set, "--line-file", lines, example, out});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, lines + ": exists; --force replaces it, and without it the file is left untouched\n");
    EXPECT_EQ(read_file(lines), "kept\n");
    EXPECT_EQ(folder_entries(folder).size(), 1u) << "OUTPUT was not written either";

    run = run_import({"--force", "--markers", example_set, "--line-file", lines, example, out});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(lines), read_file(std::string(SOURCE_DIR) + "/face-data/line.dat"));
}

TEST(ImportProgram, RealRecordingsLoadInTheViewerWithoutWarning)
{
    REQUIRE_TESTDATA("c3d/Vicon.c3d");
    const struct {
        const char *recording, *set;
    } cases[] = {
        {"c3d/Vicon.c3d", "vicon24.set"},
        {"c3d/FP_Type3.c3d", "legs24.set"},
        {"trc/subject01_walk1.trc", "walk24.set"},
        {"openface/smile_demo.csv", nullptr},
        {"openface/OpenFace_Test.csv", nullptr},
    };
    for (const auto &c : cases) {
        std::string folder = make_temp_folder();
        std::vector<std::string> args = {"--line-file", folder + "/line.dat", testdata_path(c.recording), folder + "/sm1.dat"};
        if (c.set)
            args.insert(args.begin(), {"--markers", std::string(SOURCE_DIR) + "/tests/data/" + c.set});
        ProgramRun run = run_import(args);
        ASSERT_EQ(run.status, 0) << c.recording << ": " << run.err;
        EXPECT_EQ(load_warnings(folder + "/sm1.dat", folder + "/line.dat"), "") << c.recording;
        EXPECT_EQ(run_import({"--list", testdata_path(c.recording)}).status, 0);
    }
}

TEST(ImportProgram, NoInputIsWrittenOverAndNoRecordingReplacedEvenWithForce)
{
    std::string folder = make_temp_folder(), capture = folder + "/smile.c3d", set = folder + "/face24.set";
    write_file(capture, read_file(example));
    write_file(set, read_file(example_set));
    ASSERT_EQ(mkdir((folder + "/faces").c_str(), 0777), 0);
    const std::string being_read = ": is the recording being read; choose another name\n";
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--force", "--markers", set, capture, capture}, capture + being_read},
        {{"--force", "--markers", set, "--line-file", capture, capture, folder + "/out.dat"}, capture + being_read},
        {{"--force", "--markers", set, capture, set}, set + ": is the marker set being read; choose another name\n"},
        {{folder + "/out.dat", capture}, capture + ": is a recording, not a marker file; it is not replaced\n"},
        {{"--force", folder + "/out.dat", capture}, capture + ": is a recording, not a marker file; it is not replaced\n"},
        {{"--markers", set, capture, folder + "/faces"}, folder + "/faces: is a folder; give the name of a file to write\n"},
        {{"--force", "--markers", set, capture, "/dev/null"}, "/dev/null: is not a regular file; it is not replaced\n"},
    };
    for (const auto &c : cases) {
        ProgramRun run = run_import(c.args);
        EXPECT_EQ(run.status, 1) << c.message;
        EXPECT_EQ(run.err, c.message);
        EXPECT_EQ(folder_entries(folder).size(), 3u) << c.message;
    }
    EXPECT_EQ(read_file(capture), read_file(example));
    EXPECT_EQ(read_file(set), read_file(example_set));

    /* A hard link is the same file under another name. */
    std::string linked = folder + "/linked.dat";
    ASSERT_EQ(link(capture.c_str(), linked.c_str()), 0);
    ProgramRun run = run_import({"--force", "--markers", set, capture, linked});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, linked + being_read);
    EXPECT_EQ(read_file(capture), read_file(example));

    /* A set given by a link is the file the link names: that file is not written over. */
    std::string via = folder + "/link.set";
    ASSERT_EQ(symlink(set.c_str(), via.c_str()), 0);
    run = run_import({"--force", "--markers", via, capture, set});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, set + ": is the marker set being read; choose another name\n");
    EXPECT_EQ(read_file(set), read_file(example_set));
}
