/* mienscope-compare as a user runs it: a study table of crafted marker
 * files whose z-scores, bands and tests are worked out by hand, the
 * generated study of controls and weak-sided patients, and what bad input
 * gets. */
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "face_files.h"
#include "face_tables_for_tests.h"
#include "csv.h"
#include "study_table.h"
#include "testfiles.h"

using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

static const std::string source = SOURCE_DIR;

static ProgramRun compare(const std::vector<std::string> &args, const std::string &path = "")
{
    return run_program(COMPARE_BINARY, args, path);
}

/* How far along its path a moving marker is at frame f: none to frame 20,
 * rising evenly to all of it at frame 52, held to frame 140, then back to
 * none at frame 172. On the rise every position of an amplitude of 2 mm
 * or more is a short binary fraction, so the distances and speeds are exact. */
static double shape(int f)
{
    if (f <= 20)
        return 0.0;
    if (f <= 52)
        return (f - 20) / 32.0;
    if (f <= 140)
        return 1.0;
    return f <= 172 ? (172 - f) / 32.0 : 0.0;
}

/* Every marker still at (10 m, 5, -3) mm but those given, which move out along x by their amplitudes
 * (negative: to -x). */
static std::string crafted_moves(const std::map<int, double> &amplitude)
{
    FacePositions xyz((size_t)FACE_FRAMES * FACE_MARKERS * 3);
    for (int f = 0; f < FACE_FRAMES; f++)
        for (int m = 0; m < FACE_MARKERS; m++) {
            double *p = &xyz[((size_t)f * FACE_MARKERS + (size_t)m) * 3];
            p[0] = 10.0 * m + (amplitude.count(m) ? amplitude.at(m) * shape(f) : 0.0);
            p[1] = 5.0;
            p[2] = -3.0;
        }
    return marker_file_text(xyz);
}

/* Markers 3 and 4 moving out by these amplitudes: the subject's left, 3, to +x; its right, 4, to -x, as
 * mirror images do. */
static std::string crafted(double left, double right)
{
    return crafted_moves({{3, left}, {4, -right}});
}

/* A set that names the markers m0 .. m23 and pairs 3 (left) with 4 (right). */
static std::string crafted_set(const std::string &folder)
{
    std::string text;
    for (int m = 0; m < FACE_MARKERS; m++)
        text += "marker m" + std::to_string(m) + "\n";
    write_file(folder + "/crafted.set", text + "pair m3 m4\n");
    return folder + "/crafted.set";
}

/* A crafted file of a study: its name, its markers' amplitudes and its group. */
struct CraftedFile {
    const char *name;
    double left, right;
    const char *group;
};

/* The files written into folder, and study.csv there naming them: its path. */
static std::string crafted_table(const std::string &folder, const std::vector<CraftedFile> &files)
{
    std::string table = "file,group\n";
    for (const CraftedFile &f : files) {
        write_file(folder + "/" + f.name, crafted(f.left, f.right));
        table += std::string(f.name) + "," + f.group + "\n";
    }
    write_file(folder + "/study.csv", table);
    return folder + "/study.csv";
}

/* The norm.csv row of a file, a name and a measure. */
static std::map<std::string, std::string> norm_row(const std::string &text, const std::string &file,
                                                   const std::string &name, const std::string &measure)
{
    for (const auto &row : table_rows(text))
        if (row.at("file") == file && row.at("name") == name && row.at("measure") == measure)
            return row;
    ADD_FAILURE() << "no row " << file << " " << name << " " << measure;
    return {};
}

/* Three controls whose left marker peaks at 8, 12 and 16 mm (mean 12, sd
 * 4) and whose right one moves 2 mm in the first only; a patient at 24 and
 * 4. Worked by hand:
 *   m3 peak_mm: z = (24 - 12) / 4 = 3, outside; its peak speed, a 32nd of the peak a frame, the same
 *   m4 peak_mm: controls 2, 0, 0: mean 2/3, sd sqrt(4/3) = 1.1547; z = (4 - 2/3) / 1.1547 = 2.8868
 *   m4 onset_frame: only the first control has one (frame 24, the first at a tenth of the rise): n 1
 *   m3 onset_frame: 24 in all: sd 0, no z
 *   m3/m4 asymmetry: controls 75, 100, 100 %: mean 91.6667, sd 14.4338; the patient's 100 x 20 / 24 =
 *     83.3333 %, z = -0.5774
 *   m3/m4 difference_mm: controls 6, 12, 16: mean 11.3333, sd 5.0332; the patient's 20: z = 1.7219
 *   m3/m4 ratio and lag_frames: the controls without a right movement have none: n 1
 * A second patient at 2 and 0, far below the range on the left, where a weak side lies:
 *   m3 peak_mm: z = (2 - 12) / 4 = -2.5, outside, as its peak speed; m4's -0.5774 (peak 0)
 *   m3/m4 difference_mm 2: z = (2 - 11.3333) / 5.0332 = -1.8544; asymmetry 100 %: z = +0.5774, not outside
 *   so its summary ranks -2.50, -2.50 and -1.85 above the +0.58 by |z|.
 * Timed, 180 frames over 1.79 s (100 a second): the patient's m3 peak speed 0.75 mm a frame is 75 mm/s
 * against the controls' 25, 37.5 and 50; its onset, frame 24, 0.24 s.
 * The band of m3 at frame 36, halfway up: mean 6, sd 2; on the plateau 12 and 4. */
TEST(CompareNorm, ZScoresAndTheBandAsWorkedOutByHand)
{
    std::string folder = make_temp_folder();
    crafted_table(folder, {{"c1.dat", 8, 2, "norm"}, {"c2.dat", 12, 0, "norm"}, {"c3.dat", 16, 0, "norm"},
                           {"p1.dat", 24, 4, "patient"}, {"p2.dat", 2, 0, "patient"}});
    ProgramRun run = compare({"--markers", crafted_set(folder), "--norm", "norm", "--out", folder + "/out",
                              folder + "/study.csv"}, "/nonexistent");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "p1.dat: 4 of 6 outside; largest |z|: m3 peak_mm 3.00, m3 peak_speed_mm_per_frame 3.00, "
                       "m4 peak_mm 2.89\n"
                       "p2.dat: 2 of 6 outside; largest |z|: m3 peak_mm -2.50, m3 peak_speed_mm_per_frame -2.50, "
                       "m3/m4 difference_mm -1.85\n");

    std::string norm = read_file(folder + "/out/norm.csv");
    EXPECT_THAT(norm, StartsWith("file,group,subject,condition,kind,name,measure,value,norm_n,norm_mean,norm_sd,z,outside\n"
                                 "p1.dat,patient,,,marker,m0,peak_mm,0.0000,3,0.0000,0.0000,,\n"));
    EXPECT_THAT(norm, HasSubstr("\np1.dat,patient,,,marker,m3,peak_mm,24.0000,3,12.0000,4.0000,3.0000,yes\n"));
    EXPECT_THAT(norm, HasSubstr("\np1.dat,patient,,,marker,m3,peak_speed_mm_per_frame,0.7500,3,0.3750,0.1250,3.0000,yes\n"));
    EXPECT_THAT(norm, HasSubstr("\np1.dat,patient,,,marker,m4,peak_mm,4.0000,3,0.6667,1.1547,2.8868,yes\n"));
    EXPECT_THAT(norm, HasSubstr("\np1.dat,patient,,,marker,m4,onset_frame,24,1,24.0000,,,\n"));
    EXPECT_THAT(norm, HasSubstr("\np1.dat,patient,,,marker,m3,onset_frame,24,3,24.0000,0.0000,,\n"));
    EXPECT_THAT(norm, HasSubstr("\np1.dat,patient,,,pair,m3/m4,asymmetry_pct,83.3333,3,91.6667,14.4338,-0.5774,no\n"));
    EXPECT_THAT(norm, HasSubstr("\np1.dat,patient,,,pair,m3/m4,difference_mm,20.0000,3,11.3333,5.0332,1.7219,no\n"));
    EXPECT_THAT(norm, HasSubstr("\np1.dat,patient,,,pair,m3/m4,ratio,6.0000,1,4.0000,,,\n"));
    EXPECT_THAT(norm, HasSubstr("\np1.dat,patient,,,pair,m3/m4,lag_frames,0,1,0.0000,,,\n"));
    EXPECT_THAT(norm, HasSubstr("\np2.dat,patient,,,marker,m3,peak_mm,2.0000,3,12.0000,4.0000,-2.5000,yes\n"));
    EXPECT_THAT(norm, HasSubstr("\np2.dat,patient,,,marker,m3,peak_speed_mm_per_frame,0.0625,3,0.3750,0.1250,-2.5000,yes\n"));
    EXPECT_THAT(norm, HasSubstr("\np2.dat,patient,,,marker,m4,peak_mm,0.0000,3,0.6667,1.1547,-0.5774,no\n"));
    EXPECT_THAT(norm, HasSubstr("\np2.dat,patient,,,pair,m3/m4,asymmetry_pct,100.0000,3,91.6667,14.4338,0.5774,no\n"));
    EXPECT_EQ(norm.find("c1.dat"), std::string::npos) << "the normal group's own recordings are not scored";
    EXPECT_EQ(std::count(norm.begin(), norm.end(), '\n'), 1 + 2 * (24 * 3 + 5)) << "untimed: no seconds measures";

    std::string bands = read_file(folder + "/out/bands.csv");
    EXPECT_THAT(bands, StartsWith("frame,marker,label,norm_mean_mm,norm_sd_mm\n0,0,m0,0.0000,0.0000\n"));
    EXPECT_THAT(bands, HasSubstr("\n36,3,m3,6.0000,2.0000\n"));
    EXPECT_THAT(bands, HasSubstr("\n100,3,m3,12.0000,4.0000\n"));
    EXPECT_THAT(read_file(folder + "/out/markers.csv"), HasSubstr("\np1.dat,patient,,,3,m3,24.0000,52,24,"));
    EXPECT_THAT(read_file(folder + "/out/pairs.csv"), StartsWith("file,group,subject,condition,left,right,left_peak_mm,"));
    EXPECT_THAT(run.err, HasSubstr("gnuplot is not on PATH"));
    EXPECT_THAT(read_file(folder + "/out/plots.gp"), HasSubstr("array recording_name[2] = ['p1', 'p2']"));

    run = compare({"--markers", crafted_set(folder), "--duration", "1.79", "--norm", "norm", "--out", folder + "/timed",
                   folder + "/study.csv"}, "/nonexistent");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, StartsWith("p1.dat: 4 of 6 outside; ")) << "a measure in seconds is its frame measure again";
    norm = read_file(folder + "/timed/norm.csv");
    EXPECT_THAT(norm, HasSubstr("\np1.dat,patient,,,marker,m3,peak_speed_mm_per_s,75.0000,3,37.5000,12.5000,3.0000,yes\n"));
    EXPECT_THAT(norm, HasSubstr("\np1.dat,patient,,,marker,m3,onset_s,0.2400,3,0.2400,0.0000,,\n"));
}

/* A study table in folder of closing_left_eye tables: each row a table's name, the study's fields after
 * its file, how far its left eye closes and its right mouth corner moves. Returns the table's path. */
struct ClosingRow {
    std::string name, fields;
    double closed, corner_mm = 0.0;
};
static std::string closing_study(const std::string &folder, const std::string &header,
                                 const std::vector<ClosingRow> &rows)
{
    std::string text = header + "\n";
    for (const ClosingRow &row : rows) {
        write_file(folder + "/" + row.name + ".csv", closing_left_eye(row.closed, row.corner_mm));
        text += row.name + ".csv," + row.fields + "\n";
    }
    write_file(folder + "/study.csv", text);
    return folder + "/study.csv";
}

/* Three controls whose left eye closes by 30, 40 and 50 % (mean 40, sd 10) and a patient's by 10 %:
 * its closure_pct z = (10 - 40) / 10 = -3, outside; its right eye, like theirs, never moves (sd 0, no z).
 * The patient's change asymmetry of the eyes is 100 % as theirs is (sd 0). With a marker file in the
 * study, no face row is compared. */
TEST(CompareNorm, FaceMeasuresJoinWhenEveryRecordingBringsTheLandmarks)
{
    REQUIRE_TESTDATA("openface/smile_demo.csv");
    std::string folder = make_temp_folder();
    std::string table = closing_study(folder, "file,group",
                                      {{"c1", "controls", 0.3}, {"c2", "controls", 0.4}, {"c3", "controls", 0.5},
                                       {"p", "patients", 0.1}});
    std::string rows = read_file(table);
    ProgramRun run = compare({"--norm", "controls", "--out", folder + "/out", table});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string norm = read_file(folder + "/out/norm.csv");
    std::map<std::string, std::string> closure = norm_row(norm, "p.csv", "eye_opening_mm/L", "closure_pct");
    EXPECT_EQ(closure.at("kind"), "face");
    EXPECT_EQ(closure.at("value"), "10.0000");
    EXPECT_EQ(closure.at("norm_mean"), "40.0000");
    EXPECT_EQ(closure.at("norm_sd"), "10.0000");
    EXPECT_EQ(closure.at("z"), "-3.0000");
    EXPECT_EQ(closure.at("outside"), "yes");
    EXPECT_EQ(norm_row(norm, "p.csv", "eye_opening_mm/R", "closure_pct").at("z"), "") << "sd 0";
    EXPECT_EQ(norm_row(norm, "p.csv", "mouth_opening_mm", "change").at("kind"), "face");
    std::map<std::string, std::string> sides = norm_row(norm, "p.csv", "eye_opening_mm", "change_asymmetry_pct");
    EXPECT_EQ(sides.at("kind"), "face-side");
    EXPECT_EQ(sides.at("value"), "100.0000");
    EXPECT_EQ(norm.find("brow_height_mm/R,closure_pct"), std::string::npos) << "only the eyes have a closure";

    write_file(folder + "/m.dat", read_file(source + "/face-data/sm1.dat"));
    write_file(table, rows + "m.dat,patients\n");
    run = compare({"--markers", source + "/examples/openface-24.set", "--norm", "controls", "--out",
                   folder + "/out2", table});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(folder + "/out2/norm.csv").find(",face,"), std::string::npos);
}

/* An exam: each recording against the group's recordings of its own expression. The controls' smiles
 * close the left eye by 30, 40 and 50 %, their eyes_tight by 80, 90 and 100 %; the patient's smile by
 * 40 % is in the range of smiles (z 0), its eyes_tight by 40 % far below the range of eyes_tight (z -5). */
TEST(CompareNorm, AnExamSetsEachExpressionAgainstTheGroupsOfTheSame)
{
    REQUIRE_TESTDATA("openface/smile_demo.csv");
    std::string folder = make_temp_folder();
    std::string table = closing_study(folder, "file,group,subject,expression",
                                      {{"c1s", "controls,c1,smile", 0.3}, {"c2s", "controls,c2,smile", 0.4},
                                       {"c3s", "controls,c3,Smile", 0.5}, {"c1t", "controls,c1,eyes_tight", 0.8},
                                       {"c2t", "controls,c2,eyes_tight", 0.9}, {"c3t", "controls,c3,eyes_tight", 1.0},
                                       {"ps", "patients,p,smile", 0.4}, {"pt", "patients,p,eyes_tight", 0.4}});
    ProgramRun run = compare({"--norm", "controls", "--out", folder + "/out", table});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string norm = read_file(folder + "/out/norm.csv");
    std::map<std::string, std::string> smile = norm_row(norm, "ps.csv", "eye_opening_mm/L", "closure_pct");
    EXPECT_EQ(smile.at("norm_mean"), "40.0000");
    EXPECT_NEAR(atof(smile.at("z").c_str()), 0.0, 1e-9);
    std::map<std::string, std::string> tight = norm_row(norm, "pt.csv", "eye_opening_mm/L", "closure_pct");
    EXPECT_EQ(tight.at("norm_n"), "3");
    EXPECT_EQ(tight.at("norm_mean"), "90.0000");
    EXPECT_EQ(tight.at("z"), "-5.0000");
}

/* Three subjects closing the left eye by 30, 40 and 50 % before and 10, 15 and 20 % after: their
 * closure_pct changes by -20, -25 and -30 (mean -25, sd 5), as paired.csv, reliability.csv's bias and
 * changes.csv (against reliability.csv's own MDC) say. */
TEST(CompareTests, FaceRowsInPairedReliabilityAndChanges)
{
    REQUIRE_TESTDATA("openface/smile_demo.csv");
    std::string folder = make_temp_folder(), out = folder + "/out";
    std::string table = closing_study(folder, "file,group,subject,condition",
                                      {{"s1a", "g,s1,pre", 0.3}, {"s2a", "g,s2,pre", 0.4}, {"s3a", "g,s3,pre", 0.5},
                                       {"s1b", "g,s1,post", 0.1}, {"s2b", "g,s2,post", 0.15}, {"s3b", "g,s3,post", 0.2}});
    ProgramRun run = compare({"--paired", "pre", "post", "--reliability", "pre", "post", "--out", out, table});
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<std::string, std::string> paired;
    for (const auto &row : table_rows(read_file(out + "/paired.csv")))
        if (row.at("kind") == "face" && row.at("name") == "eye_opening_mm/L" && row.at("measure") == "closure_pct")
            paired = row;
    ASSERT_FALSE(paired.empty()) << "the left eye's closure is compared";
    EXPECT_EQ(paired.at("mean_before"), "40.0000");
    EXPECT_EQ(paired.at("mean_after"), "15.0000");
    EXPECT_EQ(paired.at("change"), "-25.0000");
    EXPECT_EQ(paired.at("sd_change"), "5.0000");
    std::string mdc;
    for (const auto &row : table_rows(read_file(out + "/reliability.csv")))
        if (row.at("kind") == "face" && row.at("name") == "eye_opening_mm/L" && row.at("measure") == "closure_pct") {
            EXPECT_EQ(row.at("bias"), "-25.0000");
            mdc = row.at("mdc95");
        }
    ASSERT_FALSE(mdc.empty());

    run = compare({"--paired", "pre", "post", "--mdc", out + "/reliability.csv", "--out", folder + "/changes", table});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::map<std::string, std::string>> changes = table_rows(read_file(folder + "/changes/changes.csv"));
    auto s1 = std::find_if(changes.begin(), changes.end(), [](const std::map<std::string, std::string> &row) {
        return row.at("subject") == "s1" && row.at("kind") == "face" && row.at("name") == "eye_opening_mm/L" &&
               row.at("measure") == "closure_pct";
    });
    ASSERT_NE(s1, changes.end());
    EXPECT_EQ(s1->at("change"), "-20.0000");
    EXPECT_EQ(s1->at("mdc95"), mdc) << "the face row's MDC read back from the table by its key";
}

/* Two groups whose left eyes close by 30, 40, 50 % (A) and 60, 70, 80 % (B): the difference 30, Welch's
 * t = 30 / sqrt(100 / 3 + 100 / 3) = 3.6742 on df 4, the 95 % interval 30 -/+ 2.77645 x 8.16497 (7.3304 to
 * 52.6696), and of the 20 relabellings the two most extreme are these groups, so p = 2 / 20. The right
 * eyes never move: nothing tested. Each file's mouth corner moves a different 1 to 6 mm, so that the
 * markers vary too and the groups' shapes can be compared. */
TEST(CompareTests, FaceRowsInGroups)
{
    REQUIRE_TESTDATA("openface/smile_demo.csv");
    std::string folder = make_temp_folder();
    std::string table = closing_study(folder, "file,group",
                                      {{"a1", "A", 0.3, 1}, {"a2", "A", 0.4, 2}, {"a3", "A", 0.5, 3},
                                       {"b1", "B", 0.6, 4}, {"b2", "B", 0.7, 5}, {"b3", "B", 0.8, 6}});
    ProgramRun run = compare({"--groups", "A", "B", "--out", folder + "/out", table}, "/nonexistent");
    ASSERT_EQ(run.status, 0) << run.err;
    std::string groups = read_file(folder + "/out/groups.csv");
    EXPECT_THAT(groups, HasSubstr("\nface,eye_opening_mm/L,closure_pct,3,40.0000,10.0000,3,70.0000,10.0000,30.0000,"
                                  "7.3304,52.6696,3.6742,4.0000,0.100000,"));
    EXPECT_THAT(groups, HasSubstr("\nface,eye_opening_mm/R,closure_pct,3,0.0000,0.0000,3,0.0000,0.0000,,,,,,,\n"));
    EXPECT_LT(groups.find("\npair,"), groups.find("\nface,")) << "face rows after the pairs'";
    EXPECT_LT(groups.find("\nface,"), groups.find("\nface-side,eye_opening_mm,"));
}

/* Controls whose sides move 8, 12 and 16 mm against 4: ratios 2, 3, 4 (mean 3, sd 1), asymmetries 50,
 * 66.6667 and 75 % (mean 63.8889, sd 12.7294). A face more symmetric than the group, 4 against 4, has
 * the asymmetry z (0 - 63.8889) / 12.7294 = -5.0190, which is not abnormal, and the ratio z -2, which is:
 * the right side moving as much as the left is as far from the group as a left moving twice as much.
 * One more lopsided, 40 against 2: asymmetry 95 %, z 2.4440, outside. */
TEST(CompareNorm, AnAsymmetryIsOutsideOnlyAboveTheRangeARatioOnBothSides)
{
    std::string folder = make_temp_folder();
    crafted_table(folder, {{"c1.dat", 8, 4, "n"}, {"c2.dat", 12, 4, "n"}, {"c3.dat", 16, 4, "n"},
                           {"even.dat", 4, 4, "p"}, {"lopsided.dat", 40, 2, "p"}});
    ProgramRun run = compare({"--markers", crafted_set(folder), "--norm", "n", "--out", folder + "/out",
                              folder + "/study.csv"}, "/nonexistent");
    ASSERT_EQ(run.status, 0) << run.err;
    std::string norm = read_file(folder + "/out/norm.csv");
    EXPECT_THAT(norm, HasSubstr("\neven.dat,p,,,pair,m3/m4,asymmetry_pct,0.0000,3,63.8889,12.7294,-5.0190,no\n"));
    EXPECT_THAT(norm, HasSubstr("\neven.dat,p,,,pair,m3/m4,ratio,1.0000,3,3.0000,1.0000,-2.0000,yes\n"));
    EXPECT_THAT(norm, HasSubstr("\nlopsided.dat,p,,,pair,m3/m4,asymmetry_pct,95.0000,3,63.8889,12.7294,2.4440,yes\n"));
}

TEST(CompareNorm, BandPicturesAreNamedAfterTheirFilesAsTheTableOrdersThem)
{
    std::string folder = make_temp_folder();
    mkdir((folder + "/again").c_str(), 0755);
    for (const char *name : {"c1.dat", "c2.dat", "c3.dat", "p.dat", "again/p.dat"})
        write_file(folder + "/" + name, crafted(10 + strlen(name), 3));
    write_file(folder + "/study.csv", "group,file\nn,c1.dat\nn,c2.dat\nn,c3.dat\npatient,p.dat\npatient,again/p.dat\n");
    ProgramRun run = compare({"--norm", "n", "--out", folder + "/out", folder + "/study.csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char *picture : {"bands/p.png", "bands/p.svg", "bands/p-2.png", "bands/p-2.svg"})
        EXPECT_FALSE(read_file(folder + "/out/" + picture).empty()) << picture;
    EXPECT_EQ(read_file(folder + "/out/bands/p.png").substr(1, 3), "PNG");
}

TEST(CompareNorm, TheGeneratedStudyFindsTheWeakSideAndNoControl)
{
    std::string folder = make_temp_folder();
    for (const char *sub : {"/controls", "/patients"})
        mkdir((folder + sub).c_str(), 0755);
    std::string table = folder + "/study.csv";
    ASSERT_EQ(run_program(MAKE_FACE_DATA, {"--group", "20", "--table", table, "--as", "controls", folder + "/controls"}).status, 0);
    ASSERT_EQ(run_program(MAKE_FACE_DATA, {"--group", "5", "--weak-side", "right", "--weak", "0.5", "--table", table,
                                           "--as", "patients", folder + "/patients"}).status, 0);
    std::string set = source + "/examples/face24.set";
    ProgramRun run = compare({"--markers", set, "--smooth", "6", "--duration", "3", "--norm", "controls", "--out",
                              folder + "/out", table}, "/nonexistent");
    ASSERT_EQ(run.status, 0) << run.err;
    std::string norm = read_file(folder + "/out/norm.csv");
    for (int p = 1; p <= 5; p++) {
        std::string file = "patients/patient0" + std::to_string(p) + ".dat";
        EXPECT_EQ(norm_row(norm, file, "LMouth/RMouth", "asymmetry_pct")["outside"], "yes") << file;
        EXPECT_GT(atof(norm_row(norm, file, "LMouth/RMouth", "asymmetry_pct")["z"].c_str()), 3.0) << file;
    }
    /* Each control held out of the group and compared with the other 19. */
    std::string rows = read_file(table);
    for (int c = 1; c <= 20; c++) {
        char name[32];
        snprintf(name, sizeof name, "controls/subject%02d.dat", c);
        std::string held = rows;
        size_t at = held.find(std::string(name) + ",controls");
        ASSERT_NE(at, std::string::npos);
        held.replace(at + strlen(name) + 1, 8, "held-out");
        write_file(folder + "/held.csv", held);
        run = compare({"--markers", set, "--smooth", "6", "--duration", "3", "--norm", "controls", "--force",
                       "--out", folder + "/held", folder + "/held.csv"}, "/nonexistent");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(norm_row(read_file(folder + "/held/norm.csv"), name, "LMouth/RMouth", "asymmetry_pct")["outside"], "no")
            << name;
    }
}

TEST(CompareStudy, FilesAreFoundFromTheTablesFolderAndMayBeRecordings)
{
    std::string folder = make_temp_folder(), sub = folder + "/sub";
    mkdir(sub.c_str(), 0755);
    for (const char *name : {"c1.dat", "c2.dat"})
        write_file(sub + "/" + name, crafted(10, 3));
    write_file(folder + "/c3.dat", crafted(14, 3));
    std::string c3d = source + "/examples/smile.c3d";
    write_file(sub + "/study.csv", "subject,file,group,notes\n"
                                   "\n"
                                   "s1,c1.dat,norm,\"first, with a comma\"\n"
                                   "s2,./c2.dat,norm,\"two\nlines\"\n"
                                   "s3," + folder + "/c3.dat,norm,\n"
                                   "s4,\"" + c3d + "\",capture,\n");
    ProgramRun run = compare({"--markers", source + "/examples/face24.set", "--norm", "norm", "--out",
                              folder + "/out", sub + "/study.csv"}, "/nonexistent");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, StartsWith(c3d + ": "));
    auto markers = table_rows(read_file(folder + "/out/markers.csv"));
    ASSERT_EQ(markers.size(), 4u * 24);
    EXPECT_EQ(markers[0]["file"], "c1.dat") << "the file as the table writes it";
    EXPECT_EQ(markers[24]["file"], "./c2.dat");
    EXPECT_EQ(markers[48]["file"], folder + "/c3.dat");
    EXPECT_EQ(markers[72]["subject"], "s4");
    EXPECT_EQ(markers[72]["condition"], "") << "no condition column: empty";
    EXPECT_FALSE(markers[72]["peak_s"].empty()) << "the recording knows its time";
    EXPECT_TRUE(markers[0]["peak_s"].empty());
}

/* The table and its recordings are never written over, whatever the folder holds. */
TEST(CompareStudy, NeitherTheTableNorARecordingIsWrittenOver)
{
    std::string folder = make_temp_folder(), table = "file,group\nc1.dat,norm\nc2.dat,norm\nc3.dat,norm\n";
    for (const char *name : {"c1.dat", "c2.dat", "c3.dat"})
        write_file(folder + "/" + name, crafted(10, 3));
    write_file(folder + "/markers.csv", table);
    ProgramRun run = compare({"--force", "--norm", "norm", "--out", folder, folder + "/markers.csv"}, "/nonexistent");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, folder + "/markers.csv: is the study table being read; choose another name\n");
    EXPECT_EQ(read_file(folder + "/markers.csv"), table);
    EXPECT_EQ(read_file(folder + "/norm.csv"), "");
}

/* A table as spreadsheets save it: a UTF-8 byte-order mark (Excel's "CSV UTF-8"), the header's names in
 * capitals, ';' where the local decimal comma takes ',', CRLF line ends; the same rows as the plain table. */
TEST(CompareStudy, TablesAsSpreadsheetsSaveThemAreReadAlike)
{
    std::string folder = make_temp_folder();
    for (const char *name : {"a.dat", "b.dat", "c.dat", "d.dat"})
        write_file(folder + "/" + name, crafted(10 + name[0] - 'a', 2));
    write_file(folder + "/plain.csv", "file,group,subject,condition\na.dat,n,s1,\nb.dat,n,s2,\nc.dat,n,s3,\nd.dat,p,s4,x\n");
    write_file(folder + "/excel.csv", "\xef\xbb\xbf" "File;Group;Subject;Condition\r\na.dat;n;s1;\r\nb.dat;n;s2;\r\n"
                                      "\"c.dat\";n;s3;\r\nd.dat;p;s4;x\r\n");
    ASSERT_EQ(compare({"--norm", "n", "--out", folder + "/plain", folder + "/plain.csv"}, "/nonexistent").status, 0);
    ProgramRun run = compare({"--norm", "n", "--out", folder + "/excel", folder + "/excel.csv"}, "/nonexistent");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(folder + "/excel/norm.csv"), read_file(folder + "/plain/norm.csv"));
    EXPECT_THAT(read_file(folder + "/excel/norm.csv"), HasSubstr("\nd.dat,p,s4,x,marker,3,peak_mm,13.0000,"))
        << "the last column without its CR";
    /* Commas in the header make ',' the separator, whatever else a name holds. */
    write_file(folder + "/notes.csv", "file,group,subject,condition,note;x\na.dat,n,s1,,\"a;b\"\nb.dat,n,s2,,\n"
                                      "c.dat,n,s3,,;\nd.dat,p,s4,x,\n");
    run = compare({"--norm", "n", "--out", folder + "/notes", folder + "/notes.csv"}, "/nonexistent");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(folder + "/notes/norm.csv"), read_file(folder + "/plain/norm.csv"));

    /* A name left out, so that the next option stands in its place, is said so. */
    for (const auto &c : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--groups", "n", "--out", "o", folder + "/plain.csv"}, "--groups needs two groups, and \"--out\" is an option"},
             {{"--paired", "x", "--seed", "1", "--out", "o", folder + "/plain.csv"},
              "--paired needs two conditions, and \"--seed\" is an option"},
             {{"--norm", "--out", "o", folder + "/plain.csv"}, "--norm needs a group, and \"--out\" is an option"}}) {
        ProgramRun usage = compare(c.first);
        EXPECT_EQ(usage.status, 2) << c.second;
        EXPECT_THAT(usage.err, StartsWith("mienscope-compare: " + c.second + "\nUsage: "));
    }
}

/* The same table with LF and with CRLF line ends: the same records, on the same lines, no field ending
 * in CR, whether the last field is quoted, padded, empty or plain; a line break inside quotes is a line. */
TEST(CompareStudy, LineEndsAreReadAlikeAndQuotedLineBreaksCounted)
{
    std::string lf = "file,group,condition\n\"a.dat\",n,before\nb.dat,n, after \n\nc.dat,n,\nd.dat,\"n\",\"x\"\n"
                     "e.dat,\"one\ngroup\",after\nf.dat,n,after";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::vector<CsvRecord> from_lf, from_crlf;
    std::string error;
    ASSERT_TRUE(csv_records(lf, "lf.csv", &from_lf, &error)) << error;
    ASSERT_TRUE(csv_records(crlf, "crlf.csv", &from_crlf, &error)) << error;
    const std::vector<std::vector<std::string>> fields = {{"file", "group", "condition"}, {"a.dat", "n", "before"},
                                                          {"b.dat", "n", "after"},        {"c.dat", "n", ""},
                                                          {"d.dat", "n", "x"},            {"e.dat", "one\ngroup", "after"},
                                                          {"f.dat", "n", "after"}};
    const int lines[] = {1, 2, 3, 5, 6, 7, 9};
    ASSERT_EQ(from_lf.size(), fields.size());
    ASSERT_EQ(from_crlf.size(), fields.size());
    for (size_t r = 0; r < fields.size(); r++) {
        EXPECT_EQ(from_lf[r].fields, fields[r]) << "LF, record " << r;
        EXPECT_EQ(from_lf[r].line, lines[r]) << "LF, record " << r;
        EXPECT_EQ(from_crlf[r].line, lines[r]) << "CRLF, record " << r;
        if (r != 5) { /* inside quotes the text is kept as it stands, CR and all */
            EXPECT_EQ(from_crlf[r].fields, fields[r]) << "CRLF, record " << r;
        }
    }
}

/* A study, measure or average whose files bring different marker sets: a recording OpenFace's set names
 * and a marker file with none. */
TEST(CompareStudy, FilesMeasuredUnlikeAreRefused)
{
    std::string folder = make_temp_folder(), header = "frame, face_id, timestamp, confidence, success";
    for (const char *axis : {"X", "Y", "Z"})
        for (int i = 0; i < 68; i++)
            header += std::string(", ") + axis + "_" + std::to_string(i);
    std::string rows;
    for (int f = 0; f < 3; f++) {
        rows += std::to_string(f + 1) + ", 0, " + std::to_string(f * 0.04) + ", 0.98, 1";
        for (int a = 0; a < 3; a++)
            for (int i = 0; i < 68; i++)
                rows += ", " + std::to_string(a == 2 ? 400.0 + i % 5 : (a == 0 ? i * 1.5 : (i * 7) % 40) + f * 0.1);
        rows += "\n";
    }
    write_file(folder + "/tracked.csv", header + "\n" + rows);
    for (const char *name : {"a.dat", "b.dat", "c.dat"})
        write_file(folder + "/" + name, crafted(10, 2));
    write_file(folder + "/study.csv", "file,group\na.dat,n\nb.dat,n\ntracked.csv,n\nc.dat,p\n");
    ProgramRun run = compare({"--norm", "n", "--out", folder + "/out", folder + "/study.csv"}, "/nonexistent");
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr(folder + "/a.dat (no set) and " + folder + "/tracked.csv (the built-in OpenFace set) "
                                   "are not measured alike: give --markers, or keep them apart\n"));
    struct stat st;
    EXPECT_NE(stat((folder + "/out").c_str(), &st), 0);
}

TEST(CompareStudy, BadTablesAndGroupsAreNamedWithTheirLines)
{
    std::string folder = make_temp_folder(), good = folder + "/a.dat";
    for (const char *name : {"a.dat", "b.dat", "c.dat", "d.dat"})
        write_file(folder + "/" + name, crafted(10 + name[0] - 'a', 2));
    const struct {
        std::string table;
        std::vector<std::string> options;
        int status;
        std::string message; /* after "STUDY" when it starts with ':' */
    } cases[] = {
        {"path,group\na.dat,n\n", {}, 1, ":1: the header names no \"file\" column; a study table needs \"file\" and \"group\"\n"},
        {"file,kind\na.dat,n\n", {}, 1, ":1: the header names no \"group\" column"},
        {"file,group,file\na.dat,n,b.dat\n", {}, 1, ":1: the column \"file\" is named twice\n"},
        {"file,group\na.dat,n\n\nb.dat,n,extra\n", {}, 1, ":4: the row has 3 fields, the header 2\n"},
        {"file,group\na.dat,n\n,n\n", {}, 1, ":3: the file is empty\n"},
        {"file,group\na.dat,\n", {}, 1, ":2: the group is empty\n"},
        {"file,group\na.dat,n\nb.dat,n\n./a.dat,n\n", {}, 1, ":4: \"./a.dat\" is the file of line 2 again\n"},
        {"file,group\n\"a.dat,n\n", {}, 1, ":2: a quoted field has no closing quote\n"},
        {"file,group,notes\na.dat,n,\"on two\nlines\"\n,n,\n", {}, 1, ":4: the file is empty\n"},
        {"file,group,notes\r\na.dat,n,\"on\r\nthree\r\nlines\"\r\nb.dat,n,\r\nb.dat,n,\r\n", {}, 1,
         ":6: \"b.dat\" is the file of line 5 again\n"},
        {"file,group\na.dat,n\nnone.dat,n\n", {}, 1, ":3: " + folder + "/none.dat: can't be read: No such file or directory\n"},
        {"file,group\na.dat,n\nb.dat,n\nc.dat,p\n", {}, 1, ": the group \"n\" holds 2 recordings; a normal range needs at least 3\n"},
        {"file,group\na.dat,m\nb.dat,m\nc.dat,m\n", {}, 1, ": the group \"n\" is not in the table; it has \"m\"\n"},
        {"file,group\n", {}, 1, ": no recordings in the table\n"},
        {"\xef\xbb\xbf\r\n", {}, 1, ":1: the table is empty; a study table needs a header naming \"file\" and \"group\"\n"},
        {"file,group,subject,expression\na.dat,n,s1,Smile\nb.dat,n,s1,frown\n", {}, 1,
         ":3: the expression \"frown\" is not rest, brow, eyes_gentle, eyes_tight, smile, teeth or pucker\n"},
        {"file,group,subject,expression\na.dat,n,s1,\n", {}, 1, ":2: the expression \"\" is not rest, brow"},
        {"file,group,expression\na.dat,n,rest\n", {}, 1,
         ":2: an exam (a table with an expression column) needs a subject in every row\n"},
        {"file,group,subject,expression\na.dat,n,s1,rest\nb.dat,n,s2,rest\nc.dat,n,s1,REST\n", {}, 1,
         ":4: the subject \"s1\" has the expression \"rest\" on line 2 already\n"},
        {"file,group,subject,expression\na.dat,n,s1,rest\nb.dat,n,s2,rest\n", {}, 1,
         ":2: " + folder + "/a.dat: face measures need the 68 face landmarks (a video or an OpenFace table)\n"},
        {"file,group\na.dat,n\nb.dat,n\nc.dat,n\nd.dat,p\n", {"--smooth", "6"}, 2,
         "mienscope-compare: STUDY:2: --smooth needs the frames' rate: a recording's own, or --duration SECONDS for marker files\n"},
    };
    for (const auto &c : cases) {
        std::string table = folder + "/study.csv";
        write_file(table, c.table);
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"--norm", "n", "--out", folder + "/out", table});
        ProgramRun run = compare(args);
        std::string message = c.message;
        if (message[0] == ':')
            message = table + message;
        size_t at = message.find("STUDY");
        if (at != std::string::npos)
            message.replace(at, 5, table);
        EXPECT_EQ(run.status, c.status) << c.table;
        EXPECT_THAT(run.err, HasSubstr(message)) << c.table;
        struct stat st;
        EXPECT_NE(stat((folder + "/out").c_str(), &st), 0) << "nothing is written: " << c.table;
    }
    write_file(folder + "/study.csv", "file,group\na.dat,n\n");
    const struct {
        std::vector<std::string> args;
        std::string message;
    } usage[] = {
        {{"--out", folder + "/out", folder + "/study.csv"}, "mienscope-compare: nothing to compare: give --norm GROUP, --groups A B, --paired BEFORE AFTER or --reliability A B\nUsage: "},
        {{"--norm", "n", folder + "/study.csv"}, "mienscope-compare: --out DIR is required\n"},
        {{"--norm", "n", "--out", folder + "/out"}, "mienscope-compare: no STUDY.csv given\n"},
        {{"--norm", "n", "--out", folder + "/out", "a.csv", "b.csv"}, "mienscope-compare: one STUDY.csv at a time\n"},
    };
    for (const auto &u : usage) {
        ProgramRun run = compare(u.args);
        EXPECT_EQ(run.status, 2) << u.message;
        EXPECT_THAT(run.err, StartsWith(u.message));
    }
}

/* The q column against the p column of a table of tests, by what the
 * Benjamini-Hochberg step-up gives whatever the ps: no q below its p or
 * above 1, the largest p left as it is, the smallest at most p times the
 * number of tests, and q in the order of p. */
static void expect_q_corrects_p(const std::string &text)
{
    std::vector<std::pair<double, double>> tested;
    for (const auto &row : table_rows(text))
        if (!row.at("p").empty())
            tested.push_back({atof(row.at("p").c_str()), atof(row.at("q").c_str())});
    ASSERT_GE(tested.size(), 2u);
    std::sort(tested.begin(), tested.end());
    for (size_t i = 0; i < tested.size(); i++) {
        EXPECT_GE(tested[i].second, tested[i].first - 1e-6);
        EXPECT_LE(tested[i].second, 1.0);
        if (i > 0) {
            EXPECT_GE(tested[i].second, tested[i - 1].second - 1e-6);
        }
    }
    EXPECT_NEAR(tested.back().second, tested.back().first, 1e-6);
    EXPECT_LE(tested.front().second, tested.front().first * tested.size() + 1e-6);
}

/* Groups A and B of four, whose left markers peak at 8, 12, 16, 20 and
 * 16, 20, 24, 30 mm; the same four subjects before (A) and after (B), and
 * a fifth before only. Worked out independently (SciPy's ttest_ind for t
 * and df, mpmath for t quantiles, enumeration for p):
 *   groups, m3 peak_mm: means 14 and 22.5, sd 5.1640 and 5.9722, difference 8.5, t 2.1532,
 *     df 5.8775, interval -1.2084 .. 18.2084; 10 of the 70 relabellings differ by 8.5 or more
 *   paired, m3 peak_mm: changes 8, 8, 8, 10: mean 8.5, sd 1, t 17, interval (t(0.975, 3) 3.1824)
 *     6.9088 .. 10.0912; 2 of the 16 sign flips reach |8.5|: p 0.125 */
static std::string crafted_study(const std::string &folder)
{
    const double before[] = {8, 12, 16, 20}, after[] = {16, 20, 24, 30};
    std::string table = "file,group,subject,condition\n";
    for (int s = 0; s < 4; s++) {
        std::string subject = "s" + std::to_string(s + 1);
        write_file(folder + "/" + subject + "-before.dat", crafted(before[s], 2));
        write_file(folder + "/" + subject + "-after.dat", crafted(after[s], 2));
        table += subject + "-before.dat,A," + subject + ",before\n" + subject + "-after.dat,B," + subject + ",after\n";
    }
    write_file(folder + "/s5-before.dat", crafted(9, 2));
    write_file(folder + "/study.csv", table + "s5-before.dat,C,s5,before\n");
    return folder + "/study.csv";
}

TEST(CompareTests, GroupsPairsAndTheNormInOneRun)
{
    std::string folder = make_temp_folder(), table = crafted_study(folder);
    ProgramRun run = compare({"--markers", crafted_set(folder), "--norm", "A", "--groups", "A", "B", "--paired",
                              "before", "after", "--out", folder + "/out", table});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, table + ": left out of --paired, with a recording in only one of \"before\" and \"after\": s5\n");
    EXPECT_THAT(run.out, StartsWith("s1-after.dat: "));

    std::string groups = read_file(folder + "/out/groups.csv");
    EXPECT_THAT(groups, StartsWith("kind,name,measure,n_a,mean_a,sd_a,n_b,mean_b,sd_b,difference,ci_low,ci_high,t,df,p,q\n"));
    EXPECT_THAT(groups, HasSubstr("\nmarker,m3,peak_mm,4,14.0000,5.1640,4,22.5000,5.9722,8.5000,-1.2084,18.2084,2.1532,"
                                  "5.8775,0.142857,"));
    EXPECT_THAT(groups, HasSubstr("\nmarker,m3,onset_frame,4,24.0000,0.0000,4,24.0000,0.0000,,,,,,,\n"))
        << "no spread: nothing tested";
    EXPECT_THAT(groups, HasSubstr("\nmarker,m0,peak_mm,4,0.0000,0.0000,4,0.0000,0.0000,,,,,,,\n"));
    std::string shape = read_file(folder + "/out/shape.csv");
    EXPECT_THAT(shape, StartsWith("modes,n_a,n_b,t2,p\n3,4,4,"));

    std::string paired = read_file(folder + "/out/paired.csv");
    EXPECT_THAT(paired, StartsWith("kind,name,measure,n,mean_before,mean_after,change,sd_change,ci_low,ci_high,t,p,q\n"));
    EXPECT_THAT(paired, HasSubstr("\nmarker,m3,peak_mm,4,14.0000,22.5000,8.5000,1.0000,6.9088,10.0912,17.0000,0.125000,"));
    EXPECT_THAT(paired, HasSubstr("\nmarker,m4,peak_mm,4,2.0000,2.0000,0.0000,0.0000,,,,,\n")) << "no change";
    expect_q_corrects_p(groups);
    expect_q_corrects_p(paired);
    /* No q below 0.05, and the plots say why: 4 against 4 can reach p = 2 / 70, 4 pairs only 2 / 16. */
    std::string script = read_file(folder + "/out/plots.gp");
    EXPECT_THAT(script, HasSubstr("\nforest_table = 'groups.csv'\n"));
    EXPECT_THAT(script, HasSubstr("\nmarker_marks = ''\npair_marks = ''\nforest_note = 'No measure reached q < 0.05.'\n"));
    EXPECT_THAT(script, HasSubstr("\nforest_note = 'No q can be below 0.05 here: with 4 pairs and their sign flips, the "
                                  "smallest p is 0.125.'\n"));
    for (const char *name : {"norm.csv", "bands.csv", "groups.png", "groups.svg", "paired.png", "paired.svg"})
        EXPECT_FALSE(read_file(folder + "/out/" + name).empty()) << name;
    EXPECT_EQ(png_size(folder + "/out/groups.png"), std::make_pair(1100u, 1400u)) << "markers and the pair";

    /* Without a set the markers go by their numbers; 70 relabellings are still all counted under a limit of 100. */
    run = compare({"--groups", "A", "B", "--permutations", "100", "--seed", "5", "--out", folder + "/again", table});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(read_file(folder + "/again/groups.csv"),
                HasSubstr("\nmarker,3,peak_mm,4,14.0000,5.1640,4,22.5000,5.9722,8.5000,-1.2084,18.2084,2.1532,5.8775,0.142857,"));
    EXPECT_EQ(png_size(folder + "/again/groups.png"), std::make_pair(1100u, 700u)) << "no pairs: the markers' panel only";
}

/* The heights, in the picture's units, of the curves an SVG of gnuplot's draws in this stroke colour, in
 * the order drawn: each path's longest run of points (a key's sample is a run of two). */
static std::vector<double> curve_heights(const std::string &svg, const std::string &stroke)
{
    std::vector<double> heights;
    std::string start = "<path stroke='" + stroke + "'";
    for (size_t at = svg.find(start); at != std::string::npos; at = svg.find(start, at + 1)) {
        size_t d = svg.find(" d='", at) + 4, end = svg.find('\'', d);
        std::istringstream runs(svg.substr(d, end - d));
        std::string run;
        size_t longest = 0;
        double height = 0.0;
        while (std::getline(runs, run, 'M')) {
            std::vector<double> ys;
            for (size_t comma = run.find(','); comma != std::string::npos; comma = run.find(',', comma + 1))
                ys.push_back(atof(run.c_str() + comma + 1));
            if (ys.size() > longest) {
                longest = ys.size();
                height = *std::max_element(ys.begin(), ys.end()) - *std::min_element(ys.begin(), ys.end());
            }
        }
        heights.push_back(height);
    }
    return heights;
}

/* Whether every band an SVG of gnuplot's fills stays above its panel's 0 mm: each panel's fills come
 * before its mean's curve, whose first point, the rest frame, is at 0 mm (the picture's y grows down). */
static bool bands_stay_above_zero(const std::string &svg, const std::string &fill, const std::string &mean_stroke)
{
    double lowest = -1e9;
    size_t panels = 0;
    for (size_t at = 0; at < svg.size();) {
        size_t fill_at = svg.find("<polygon fill = '" + fill + "' points = '", at);
        size_t mean_at = svg.find("<path stroke='" + mean_stroke + "'", at);
        if (mean_at == std::string::npos)
            break;
        if (fill_at < mean_at) {
            size_t points = svg.find("points = '", fill_at) + 10, end = svg.find('\'', points);
            std::string text = svg.substr(points, end - points);
            for (size_t comma = text.find(','); comma != std::string::npos; comma = text.find(',', comma + 1))
                lowest = std::max(lowest, atof(text.c_str() + comma + 1));
            at = end;
            continue;
        }
        size_t d = svg.find(" d='", mean_at) + 4, end = svg.find('\'', d), longest = 0;
        double zero = 0.0; /* the first point of the curve's longest run: a key's sample may come first */
        std::istringstream runs(svg.substr(d, end - d));
        for (std::string run; std::getline(runs, run, 'M');) {
            size_t points = (size_t)std::count(run.begin(), run.end(), ',');
            if (points > longest) {
                longest = points;
                zero = atof(run.c_str() + run.find(',') + 1);
            }
        }
        if (lowest > zero + 0.01)
            return false;
        lowest = -1e9;
        panels++;
        at = end;
    }
    return panels > 0;
}

/* The texts an SVG of gnuplot's writes, each with where it stands and its colour. */
struct SvgText {
    double x, y;
    std::string fill, text;
};

static std::vector<SvgText> svg_texts(const std::string &svg)
{
    std::vector<SvgText> texts;
    for (size_t at = svg.find("<g transform=\"translate("); at != std::string::npos;
         at = svg.find("<g transform=\"translate(", at + 1)) {
        SvgText t;
        const char *numbers = svg.c_str() + at + 24;
        t.x = atof(numbers);
        t.y = atof(strchr(numbers, ',') + 1);
        size_t fill = svg.find("fill=\"", at) + 6, text = svg.find("<text>", at) + 6;
        t.fill = svg.substr(fill, svg.find('"', fill) - fill);
        t.text = svg.substr(text, svg.find("</text>", text) - text);
        texts.push_back(t);
    }
    return texts;
}

/* The x of every panel's frame (a closed path of gnuplot's black border), in the order drawn. */
static std::vector<double> frame_lefts(const std::string &svg)
{
    std::vector<double> lefts;
    const std::string start = "<path stroke='black'  d='M";
    for (size_t at = svg.find(start); at != std::string::npos; at = svg.find(start, at + 1)) {
        size_t end = svg.find('\'', at + start.size());
        if (svg.compare(end - 3, 3, "Z  ") == 0)
            lefts.push_back(atof(svg.c_str() + at + start.size()));
    }
    return lefts;
}

/* Two patients who move unlike: the first's marker 3 peaks at 24 mm, twice the controls' mean of 12 (so
 * its curve rises twice as far as the mean's in the same panel); the second does not move at all. The
 * controls' 2, 12 and 22 mm (sd 10) put the band's lower edge, 12 - 1.96 x 10, below 0 mm, where it is
 * cut. */
TEST(CompareNorm, EachBandPictureDrawsItsOwnRecording)
{
    std::string folder = make_temp_folder();
    crafted_table(folder, {{"c1.dat", 2, 0, "n"}, {"c2.dat", 12, 0, "n"}, {"c3.dat", 22, 0, "n"},
                           {"moving.dat", 24, 0, "p"}, {"still.dat", 0, 0, "p"}});
    ProgramRun run = compare({"--markers", crafted_set(folder), "--norm", "n", "--out", folder + "/out",
                              folder + "/study.csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string red = "rgb(224,   0,   0)", grey = "rgb( 96,  96,  96)";
    std::string moving = read_file(folder + "/out/bands/moving.svg"), still = read_file(folder + "/out/bands/still.svg");
    std::vector<double> recording = curve_heights(moving, red), mean = curve_heights(moving, grey);
    ASSERT_EQ(recording.size(), 24u);
    ASSERT_EQ(mean.size(), 24u);
    EXPECT_NEAR(recording[3] / mean[3], 2.0, 0.01);
    EXPECT_EQ(recording[0], 0.0) << "marker 0 does not move";
    recording = curve_heights(still, red);
    ASSERT_EQ(recording.size(), 24u);
    EXPECT_EQ(*std::max_element(recording.begin(), recording.end()), 0.0) << "no marker moves";
    EXPECT_GT(curve_heights(still, grey)[3], 50.0) << "the controls' mean still rises";
    EXPECT_TRUE(bands_stay_above_zero(moving, "rgb(208, 208, 208)", grey));
    EXPECT_THAT(moving, HasSubstr("<text>frame</text>"));

    run = compare({"--markers", crafted_set(folder), "--norm", "n", "--duration", "3", "--out", folder + "/timed",
                   folder + "/study.csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string timed = read_file(folder + "/timed/bands/moving.svg");
    EXPECT_THAT(timed, HasSubstr("<text>s</text>")) << "every recording timed: the axis in seconds";
    EXPECT_THAT(timed, Not(HasSubstr("<text>frame</text>")));
    EXPECT_THAT(timed, HasSubstr("<text> 3</text>")) << "180 frames over 3 s";
}

/* Six subjects before and after. Marker 3 moves 10 mm before and 18 to 23 after: every change positive,
 * so only all + and all - of the 2^6 sign flips reach its mean, p = 2 / 64, as for its speed and the
 * pair's asymmetry, ratio and difference (marker 4 stays at 2 mm). With markers 5, 6 and 7 also moving,
 * by changes of +1, -1, +2, -2, +0.5 and -0.5 mm (mean 0 but for the marker file's rounding, p near 1), 11 measures are tested and the five at
 * 1 / 32 have q = 11 / 32 / 5 = 0.06875: none is marked although p < 0.05. Without them five are
 * tested, q = p = 1 / 32, and the rows of marker 3 and of the pair carry the mark. */
TEST(CompareTests, ForestPlotsMarkRowsByTheirQ)
{
    std::string folder = make_temp_folder();
    const double after[] = {18, 19, 20, 21, 22, 23}, mixed[] = {11, 9, 12, 8, 10.5, 9.5};
    std::string with_others = "file,group,subject,condition\n", alone = with_others;
    for (int s = 0; s < 6; s++) {
        std::string subject = "s" + std::to_string(s + 1);
        write_file(folder + "/" + subject + "-before.dat", crafted_moves({{3, 10}, {4, -2}, {5, 10}, {6, 10}, {7, 10}}));
        write_file(folder + "/" + subject + "-after.dat",
                   crafted_moves({{3, after[s]}, {4, -2}, {5, mixed[s]}, {6, mixed[(s + 2) % 6]}, {7, mixed[(s + 4) % 6]}}));
        write_file(folder + "/" + subject + "-alone-before.dat", crafted(10, 2));
        write_file(folder + "/" + subject + "-alone-after.dat", crafted(after[s], 2));
        for (const char *when : {"before", "after"}) {
            with_others += subject + "-" + when + ".dat,g," + subject + "," + when + "\n";
            alone += subject + "-alone-" + when + ".dat,g," + subject + "," + when + "\n";
        }
    }
    write_file(folder + "/others.csv", with_others);
    write_file(folder + "/alone.csv", alone);
    ProgramRun run = compare({"--markers", crafted_set(folder), "--paired", "before", "after", "--out", folder + "/others",
                              folder + "/others.csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<std::string, std::map<std::string, std::string>> rows;
    for (const auto &row : table_rows(read_file(folder + "/others/paired.csv")))
        rows[row.at("name") + " " + row.at("measure")] = row;
    EXPECT_EQ(rows["m3 peak_mm"]["change"], "10.5000");
    EXPECT_EQ(rows["m3 peak_mm"]["sd_change"], "1.8708");
    for (const char *measure : {"m3 peak_mm", "m3 peak_speed_mm_per_frame", "m3/m4 asymmetry_pct", "m3/m4 ratio",
                                "m3/m4 difference_mm"}) {
        EXPECT_EQ(rows[measure]["p"], "0.031250") << measure;
        EXPECT_EQ(rows[measure]["q"], "0.068750") << measure;
    }
    for (const char *measure : {"m5 peak_mm", "m6 peak_speed_mm_per_frame", "m7 peak_mm"})
        EXPECT_GT(atof(rows[measure]["p"].c_str()), 0.5) << measure << ": no change but the file's rounding";
    EXPECT_THAT(read_file(folder + "/others/plots.gp"),
                HasSubstr("\nmarker_marks = ''\npair_marks = ''\nforest_note = 'No measure reached q < 0.05.'\n"));

    run = compare({"--markers", crafted_set(folder), "--paired", "before", "after", "--out", folder + "/alone",
                   folder + "/alone.csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const auto &row : table_rows(read_file(folder + "/alone/paired.csv")))
        if (!row.at("p").empty()) {
            EXPECT_EQ(row.at("p"), "0.031250") << row.at("name") << " " << row.at("measure");
            EXPECT_EQ(row.at("q"), "0.031250") << row.at("name") << " " << row.at("measure");
        }
    EXPECT_THAT(read_file(folder + "/alone/plots.gp"), HasSubstr("\nmarker_marks = '3'\npair_marks = '0'\nforest_note = ''\n"));

    /* In the picture: a red dot just inside each panel's left edge, level with its row's label; the two
     * panels' left edges at one place, a fifth of the width in; the legend's entry only where something
     * is marked, and otherwise the note under the plot. */
    std::string picture = read_file(folder + "/alone/paired.svg");
    std::vector<SvgText> marks, labels;
    for (const SvgText &t : svg_texts(picture))
        (t.text == "\u25cf" ? marks : labels).push_back(t);
    ASSERT_EQ(marks.size(), 2u);
    const char *marked[] = {"m3", "m3 / m4"};
    for (size_t k = 0; k < 2; k++) {
        EXPECT_EQ(marks[k].fill, "rgb(224,0,0)");
        EXPECT_NEAR(marks[k].x, 0.2 * 1100, 5.0) << "beside the labels, inside the panel";
        auto label = std::find_if(labels.begin(), labels.end(), [&](const SvgText &t) { return t.text == marked[k]; });
        ASSERT_NE(label, labels.end()) << marked[k];
        EXPECT_NEAR(marks[k].y, label->y, 4.0) << marked[k];
    }
    std::vector<double> lefts = frame_lefts(picture);
    ASSERT_GE(lefts.size(), 2u);
    for (double left : lefts)
        EXPECT_EQ(left, 220.0);
    EXPECT_EQ(std::count_if(labels.begin(), labels.end(), [](const SvgText &t) { return t.text == "q &lt; 0.05"; }), 2);
    std::string others = read_file(folder + "/others/paired.svg");
    EXPECT_THAT(others, Not(HasSubstr("<text>q &lt; 0.05</text>")));
    EXPECT_THAT(others, HasSubstr("<text>No measure reached q &lt; 0.05.</text>"));
}

TEST(CompareTests, BadGroupsPairsAndOptions)
{
    std::string folder = make_temp_folder(), table = crafted_study(folder);
    std::string no_subject = folder + "/no-subject.csv", twice = folder + "/twice.csv", one_pair = folder + "/one.csv";
    write_file(no_subject, "file,group,condition\ns1-before.dat,A,before\ns1-after.dat,B,after\n");
    write_file(twice, "file,group,subject,condition\ns1-before.dat,A,s1,before\ns1-after.dat,B,s1,after\n"
                      "s2-before.dat,A,s1,before\n");
    write_file(one_pair, "file,group,subject,condition\ns1-before.dat,A,s1,before\ns1-after.dat,B,s1,after\n"
                         "s2-before.dat,A,s2,before\n");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"--groups", "A", "X", table}, 1, table + ": the group \"X\" is not in the table; it has \"A\", \"B\", \"C\"\n"},
        {{"--groups", "A", "A", table}, 1, table + ": --groups \"A\" \"A\" names one group twice\n"},
        {{"--groups", "A", "C", table}, 1, table + ": the group \"C\" holds 1 recording; --groups needs at least 2 in each group\n"},
        {{"--groups", "A", "B", "--modes", "6", table}, 2, "mienscope-compare: --modes 6 is not from 1 to n_a + n_b - 3 = 5"},
        {{"--groups", "A", "B", "--modes", "0", table}, 2, "--modes \"0\" is not a whole number from 1"},
        {{"--groups", "A", "B", "--permutations", "99", table}, 2, "--permutations \"99\" is not a whole number from 100 to 1000000"},
        {{"--groups", "A", "B", "--permutations", "1000001", table}, 2, "--permutations \"1000001\""},
        {{"--groups", "A", "B", "--seed", "-1", table}, 2, "--seed \"-1\" is not a whole number from 0"},
        {{"--groups", "A", "B", "--seed", "one", table}, 2, "--seed \"one\""},
        {{table, "--groups", "A"}, 2, "mienscope-compare: --groups takes two values, such as --groups controls patients\n"},
        {{"--groups", "A", "B", "--groups", "A", "C", table}, 2, "--groups is given twice"},
        {{"--paired", "before", "after", no_subject}, 1, no_subject + ": --paired needs a \"subject\" column, and the table has none\n"},
        {{"--paired", "before", "after", twice}, 1,
         twice + ": the subject \"s1\" has two recordings in the condition \"before\" (lines 2 and 4)\n"},
        {{"--paired", "before", "after", one_pair}, 1,
         one_pair + ": 1 subject has a recording in both \"before\" and \"after\"; --paired needs at least 2\n"},
        {{"--paired", "pre", "post", table}, 1, ": the condition \"pre\" is not in the table; it has \"before\", \"after\"\n"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), {"--out", folder + "/out"});
        ProgramRun run = compare(args);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_THAT(run.err, HasSubstr(c.message));
        struct stat st;
        EXPECT_NE(stat((folder + "/out").c_str(), &st), 0) << "nothing is written: " << c.message;
    }
    write_file(folder + "/no-condition.csv", "file,group,subject\ns1-before.dat,A,s1\n");
    EXPECT_THAT(compare({"--paired", "b", "a", "--out", folder + "/out", folder + "/no-condition.csv"}).err,
                HasSubstr("--paired needs a \"condition\" column"));
}
