/* The output library's one check, which every program's files pass: no
 * file being read is replaced under any name, a recording is never
 * replaced, a folder is named as one, and nothing is half-written when
 * one of several outputs is refused. */
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_io.h"
#include "testfiles.h"

using testing::HasSubstr;

/* Anything whose first bytes say "RECORDING" stands for a recording here. */
static bool starts_recording(const std::string &path)
{
    return read_file(path).rfind("RECORDING", 0) == 0;
}

static OutputGuard guard_of(bool force)
{
    OutputGuard guard;
    guard.force = force;
    guard.is_kept = starts_recording;
    guard.kept = "a recording";
    guard.writes = "a marker file";
    return guard;
}

TEST(OutputGuard, InputsAreKnownByTheirFileUnderAnyNameOrLink)
{
    std::string folder = make_temp_folder(), input = folder + "/capture.c3d";
    write_file(input, "the capture\n");
    ASSERT_EQ(link(input.c_str(), (folder + "/hard.dat").c_str()), 0);
    ASSERT_EQ(symlink("capture.c3d", (folder + "/soft.dat").c_str()), 0);
    OutputGuard guard = guard_of(true);
    guard_input(&guard, input, "recording");
    guard_input(&guard, folder + "/missing.set", "marker set");
    ASSERT_EQ(guard.inputs.size(), 1u) << "a file that is not there can't be replaced and is not noted";
    for (const char *name : {"/capture.c3d", "/hard.dat", "/soft.dat", "/./capture.c3d"}) {
        std::string error;
        EXPECT_FALSE(check_output(folder + name, guard, &error)) << name;
        EXPECT_EQ(error, folder + name + ": is the recording being read; choose another name");
        EXPECT_FALSE(write_all_or_none({{folder + name, "marker file\n"}}, guard, &error)) << name;
    }
    EXPECT_EQ(read_file(input), "the capture\n");
}

TEST(OutputGuard, RecordingsAndFoldersAreRefusedEvenWithForceAndOtherFilesOnlyWithout)
{
    std::string folder = make_temp_folder();
    write_file(folder + "/take2.csv", "RECORDING of a smile\n");
    write_file(folder + "/old.dat", "an earlier marker file\n");
    ASSERT_EQ(mkdir((folder + "/faces").c_str(), 0777), 0);
    const struct {
        const char *name;
        bool force;
        const char *message; /* "" where it may be written */
    } cases[] = {
        {"/take2.csv", true, ": is a recording, not a marker file; it is not replaced"},
        {"/take2.csv", false, ": is a recording, not a marker file; it is not replaced"},
        {"/faces", true, ": is a folder; give the name of a file to write"},
        {"/old.dat", false, ": exists; --force replaces it, and without it the file is left untouched"},
        {"/old.dat", true, ""},
        {"/new.dat", false, ""},
    };
    for (const auto &c : cases) {
        std::string error;
        bool allowed = check_output(folder + c.name, guard_of(c.force), &error);
        EXPECT_EQ(allowed, *c.message == '\0') << c.name << " " << c.force;
        EXPECT_EQ(error, allowed ? "" : folder + c.name + c.message);
    }
}

TEST(OutputGuard, OneRefusedFileLeavesEveryOtherAsItWasEvenWithForce)
{
    std::string folder = make_temp_folder(), input = folder + "/line.dat";
    write_file(folder + "/sm1.dat", "old markers\n");
    write_file(input, "39\n");
    OutputGuard guard = guard_of(true);
    guard_input(&guard, input, "line file");
    std::string error;
    EXPECT_FALSE(write_all_or_none({{folder + "/sm1.dat", "new markers\n"}, {input, "0\n"}}, guard, &error));
    EXPECT_EQ(error, input + ": is the line file being read; choose another name");
    EXPECT_EQ(read_file(folder + "/sm1.dat"), "old markers\n");
    EXPECT_EQ(read_file(input), "39\n");

    /* The same through a staged folder, whose files are put in place together. */
    StagedOutput out;
    ASSERT_TRUE(begin_staged_output(folder, guard, &out, &error)) << error;
    ASSERT_TRUE(stage_file(&out, "sm1.dat", "new markers\n", &error));
    ASSERT_TRUE(stage_file(&out, "line.dat", "0\n", &error));
    EXPECT_FALSE(finish_staged_output(&out, &error));
    EXPECT_THAT(error, HasSubstr("line.dat: is the line file being read"));
    EXPECT_EQ(read_file(folder + "/sm1.dat"), "old markers\n");
    EXPECT_EQ(read_file(input), "39\n");
}
