/* The committed sample data and example capture are exactly what the
 * generator writes, and the sample data loads without a single warning. */
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <string>

#include "head.h"
#include "testfiles.h"

static const char *const sample_files[] = {
    "line.dat", "sm1.dat", "sm2.dat", "smaa.dat", "smnn.dat", "smll.dat", "smnl.dat", "smpcu.dat", "smpcd.dat",
};

TEST(SampleData, GeneratorReproducesTheCommittedFiles)
{
    std::string folder = make_temp_folder();
    std::string command = std::string("'") + MAKE_FACE_DATA + "' '" + folder + "' '" + folder + "'";
    int status = system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    for (const char *name : sample_files) {
        std::string committed = read_file(std::string(SOURCE_DIR) + "/face-data/" + name);
        EXPECT_FALSE(committed.empty()) << name;
        EXPECT_TRUE(read_file(folder + "/" + name) == committed) << name << " differs from the generator's output";
    }
    std::string example = read_file(std::string(SOURCE_DIR) + "/examples/smile.c3d");
    EXPECT_FALSE(example.empty());
    EXPECT_TRUE(read_file(folder + "/smile.c3d") == example) << "examples/smile.c3d differs from the generator's output";
}

TEST(SampleData, EveryRecordingLoadsCleanlyAndMoves)
{
    std::string line_file = std::string(SOURCE_DIR) + "/face-data/line.dat";
    for (const char *name : sample_files) {
        if (std::string(name) == "line.dat")
            continue;
        std::string marker_file = std::string(SOURCE_DIR) + "/face-data/" + name;
        testing::internal::CaptureStderr();
        FACE *face = new_face(line_file.c_str(), marker_file.c_str());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << name;
        EXPECT_GE(face->nlines, 30) << name;
        EXPECT_LE(face->nlines, 60) << name;
        /* The mouth corners (markers 16 and 20) travel during the smile. */
        float travel = 0.0f;
        for (int f = 0; f < 180; f++)
            for (int m : {16, 20})
                travel = fmaxf(travel, fabsf(face->ff[f][m][1] - face->ff[0][m][1]));
        EXPECT_GT(travel, 0.02f) << name;
        free(face);
    }
}
