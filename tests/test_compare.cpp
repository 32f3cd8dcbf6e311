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
#include "testfiles.h"

using testing::HasSubstr;
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

/* Every marker still at (10 m, 5, -3) mm but markers 3 and 4, which move
 * out along x by their amplitudes (the subject's left, 3, to +x; its
 * right, 4, to -x, as mirror images do). */
static std::string crafted(double left, double right)
{
    FacePositions xyz((size_t)FACE_FRAMES * FACE_MARKERS * 3);
    for (int f = 0; f < FACE_FRAMES; f++)
        for (int m = 0; m < FACE_MARKERS; m++) {
            double *p = &xyz[((size_t)f * FACE_MARKERS + (size_t)m) * 3];
            p[0] = 10.0 * m + (m == 3 ? left * shape(f) : m == 4 ? -right * shape(f) : 0.0);
            p[1] = 5.0;
            p[2] = -3.0;
        }
    return marker_file_text(xyz);
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
 * The band of m3 at frame 36, halfway up: mean 6, sd 2; on the plateau 12 and 4. */
TEST(CompareNorm, ZScoresAndTheBandAsWorkedOutByHand)
{
    std::string folder = make_temp_folder();
    const struct {
        const char *name;
        double left, right;
    } files[] = {{"c1.dat", 8, 2}, {"c2.dat", 12, 0}, {"c3.dat", 16, 0}, {"p1.dat", 24, 4}};
    for (const auto &f : files)
        write_file(folder + "/" + f.name, crafted(f.left, f.right));
    write_file(folder + "/study.csv", "file,group\nc1.dat,norm\nc2.dat,norm\nc3.dat,norm\np1.dat,patient\n");
    ProgramRun run = compare({"--markers", crafted_set(folder), "--norm", "norm", "--out", folder + "/out",
                              folder + "/study.csv"}, "/nonexistent");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "p1.dat: 4 of 6 outside; largest |z|: m3 peak_mm 3.00, m3 peak_speed_mm_per_frame 3.00, "
                       "m4 peak_mm 2.89\n");

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
    EXPECT_EQ(norm.find("c1.dat"), std::string::npos) << "the normal group's own recordings are not scored";
    EXPECT_EQ(std::count(norm.begin(), norm.end(), '\n'), 1 + 24 * 3 + 5) << "untimed: no seconds measures";

    std::string bands = read_file(folder + "/out/bands.csv");
    EXPECT_THAT(bands, StartsWith("frame,marker,label,norm_mean_mm,norm_sd_mm\n0,0,m0,0.0000,0.0000\n"));
    EXPECT_THAT(bands, HasSubstr("\n36,3,m3,6.0000,2.0000\n"));
    EXPECT_THAT(bands, HasSubstr("\n100,3,m3,12.0000,4.0000\n"));
    EXPECT_THAT(read_file(folder + "/out/markers.csv"), HasSubstr("\np1.dat,patient,,,3,m3,24.0000,52,24,"));
    EXPECT_THAT(read_file(folder + "/out/pairs.csv"), StartsWith("file,group,subject,condition,left,right,left_peak_mm,"));
    EXPECT_THAT(run.err, HasSubstr("gnuplot is not on PATH"));
    EXPECT_THAT(read_file(folder + "/out/plots.gp"), HasSubstr("array recording_name[1] = ['p1']"));
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
        {"file,group\na.dat,n\nnone.dat,n\n", {}, 1, ":3: " + folder + "/none.dat: can't be read: No such file or directory\n"},
        {"file,group\na.dat,n\nb.dat,n\nc.dat,p\n", {}, 1, ": the group \"n\" holds 2 recordings; a normal range needs at least 3\n"},
        {"file,group\na.dat,m\nb.dat,m\nc.dat,m\n", {}, 1, ": the group \"n\" is not in the table; it has \"m\"\n"},
        {"file,group\n", {}, 1, ": no recordings in the table\n"},
        {"\xef\xbb\xbf\r\n", {}, 1, ":1: the table is empty; a study table needs a header naming \"file\" and \"group\"\n"},
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
