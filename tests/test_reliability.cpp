/* Test-retest reliability and changes against the smallest detectable
 * change: the statistics on samples worked out by hand and checked against
 * R's psych::ICC (version 2.2.9: ICC(cbind(a, b), lmer = FALSE), rows ICC2
 * and ICC3), and mienscope-compare's --reliability and --mdc on crafted
 * studies. */
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <math.h>
#include <sys/stat.h>

#include "face_files.h"
#include "reliability_statistics.h"
#include "testfiles.h"

using testing::HasSubstr;
using testing::StartsWith;

static void expect_interval(double low, double high, double r_low, double r_high, const char *what)
{
    EXPECT_NEAR(low, r_low, 5e-5) << what;
    EXPECT_NEAR(high, r_high, 5e-5) << what;
}

/* Subjects (4, 5), (6, 6), (9, 11). By hand: subject means 4.5, 6 and 10 about a grand mean of 41/6, so
 * MSR = 2 x 97/12 / 2 = 97/6; session means 19/3 and 22/3, MSC = 3 x (1/4 + 1/4) = 3/2; differences 1, 0,
 * 2 with variance 1, MSE = 1/2. ICC(C,1) = (97/6 - 1/2) / (97/6 + 1/2) = 94/100; ICC(A,1) = (94/6) /
 * (100/6 + 2 (3/2 - 1/2) / 3) = 47/52. Bias 1, sd 1: limits -0.96 and 2.96; SEM sqrt(1/2), MDC95 1.96. */
TEST(Reliability, ThreeSubjectsWorkedOutOnPaper)
{
    Reliability r = test_retest({4, 6, 9}, {5, 6, 11});
    EXPECT_EQ(r.n, 3u);
    EXPECT_NEAR(r.msr, 97.0 / 6, 1e-12);
    EXPECT_NEAR(r.msc, 1.5, 1e-12);
    EXPECT_NEAR(r.mse, 0.5, 1e-12);
    EXPECT_NEAR(r.icc_c1, 0.94, 1e-12);
    EXPECT_NEAR(r.icc_a1, 47.0 / 52, 1e-12);
    EXPECT_NEAR(r.mean_a, 19.0 / 3, 1e-12);
    EXPECT_NEAR(r.bias, 1.0, 1e-12);
    EXPECT_NEAR(r.loa_low, -0.96, 1e-12);
    EXPECT_NEAR(r.loa_high, 2.96, 1e-12);
    EXPECT_NEAR(r.sem, sqrt(0.5), 1e-12);
    EXPECT_NEAR(r.mdc95, 1.96, 1e-12);
    expect_interval(r.icc_a1_low, r.icc_a1_high, 0.06838589886, 0.9973664484, "ICC(A,1), psych's ICC2");
    expect_interval(r.icc_c1_low, r.icc_c1_high, -0.09345794393, 0.9984152139, "ICC(C,1), psych's ICC3");
}

TEST(Reliability, IntervalsAsRsPsychGivesThem)
{
    /* Ten subjects, a drawn in R with set.seed(7), round(rnorm(10, 12, 2), 2), and b = a + rnorm(10, 0.4, 0.6). */
    Reliability r = test_retest({16.57, 9.61, 10.61, 11.18, 10.06, 10.11, 13.50, 11.77, 12.31, 16.38},
                                {17.18, 11.64, 12.38, 11.77, 11.60, 10.79, 13.36, 11.99, 12.71, 17.37});
    EXPECT_NEAR(r.icc_a1, 0.9037525290, 5e-9);
    EXPECT_NEAR(r.icc_c1, 0.9578866553, 5e-9);
    expect_interval(r.icc_a1_low, r.icc_a1_high, 0.2029030331, 0.9807249971, "ICC(A,1)");
    expect_interval(r.icc_c1_low, r.icc_c1_high, 0.8406079613, 0.9893714279, "ICC(C,1)");

    /* A negative ICC whose degrees of freedom v fall below 1: psych gives NaN for ICC2's bounds, and so here. */
    r = test_retest({1, 1, 2}, {2, 2, 1});
    EXPECT_NEAR(r.icc_a1, -2.0, 1e-12);
    EXPECT_TRUE(isnan(r.icc_a1_low) && isnan(r.icc_a1_high));
    EXPECT_NEAR(r.icc_c1, -1.0, 1e-12);
    expect_interval(r.icc_c1_low, r.icc_c1_high, -1.0, -1.0, "ICC(C,1) with F = 0");
}

TEST(Reliability, ShiftsJitterAndTooFewSubjects)
{
    /* B an exact shift of A: the residual is 0 (computed from the residuals, not as a difference of large
     * sums), so nothing after mean_b. */
    Reliability r = test_retest({1010.1, 1012.7, 1009.3, 1011.05}, {1012.6, 1015.2, 1011.8, 1013.55});
    EXPECT_NEAR(r.mean_b - r.mean_a, 2.5, 1e-9);
    EXPECT_TRUE(isnan(r.bias) && isnan(r.icc_a1) && isnan(r.icc_c1) && isnan(r.sem) && isnan(r.mdc95));

    /* A shift of 5 with jitter of a thousandth: consistency all but 1, agreement not (psych: ICC3 0.9999999950,
     * ICC2 0.9302195744, its interval 0.01519173064 .. 0.9957179448), the bias the shift. */
    r = test_retest({10, 20, 30, 40}, {15.001, 24.999, 35.002, 45});
    EXPECT_GT(r.icc_c1, 0.99995);
    EXPECT_NEAR(r.icc_a1, 0.9302195744, 5e-9);
    expect_interval(r.icc_a1_low, r.icc_a1_high, 0.01519173064, 0.9957179448, "ICC(A,1)");
    EXPECT_NEAR(r.bias, 5.0005, 1e-12);

    r = test_retest({1, 2}, {2, 3});
    EXPECT_EQ(r.n, 2u);
    EXPECT_EQ(r.mean_a, 1.5);
    EXPECT_TRUE(isnan(r.bias) && isnan(r.icc_c1));
    r = test_retest({}, {});
    EXPECT_EQ(r.n, 0u);
    EXPECT_TRUE(isnan(r.mean_a) && isnan(r.mean_b));
}

static ProgramRun compare(const std::vector<std::string> &args)
{
    return run_program(COMPARE_BINARY, args);
}

/* Marker 3 moves out along x by `peak` mm (rising over frames 20 to 52, held to 140, back by 172), the
 * others stay. */
static std::string moving(double peak)
{
    FacePositions xyz((size_t)FACE_FRAMES * FACE_MARKERS * 3);
    for (int f = 0; f < FACE_FRAMES; f++) {
        double level = f <= 20 ? 0 : f <= 52 ? (f - 20) / 32.0 : f <= 140 ? 1 : f <= 172 ? (172 - f) / 32.0 : 0;
        for (int m = 0; m < FACE_MARKERS; m++) {
            double *p = &xyz[((size_t)f * FACE_MARKERS + (size_t)m) * 3];
            p[0] = 10.0 * m + (m == 3 ? peak * level : 0.0);
            p[1] = 5.0;
            p[2] = -3.0;
        }
    }
    return marker_file_text(xyz);
}

/* Four subjects in two sessions, marker 3 peaking at 8, 12, 16, 20 then 9, 12, 17, 22 mm; a fifth in the
 * first session only. By hand: differences 1, 0, 1, 2 (mean 1, variance 2/3): MSE 1/3, SEM 0.5774, MDC95
 * 1.6003, limits 1 -+ 1.96 sqrt(2/3) = -0.6003 .. 2.6003; subject means 8.5, 12, 16.5, 21 about 14.5: MSR
 * 59; MSC 4 x 2 x 0.25 = 2; ICC(C,1) 176/178 = 0.9888, ICC(A,1) 352/361 = 0.9751 (psych: 0.4798 .. 0.9984
 * and 0.8395 .. 0.9993). Two patients before and after: 10 then 11.5 mm, and 10 then 10. */
static std::string sessions_study(const std::string &folder)
{
    const double first[] = {8, 12, 16, 20}, second[] = {9, 12, 17, 22};
    std::string table = "file,group,subject,condition\n";
    for (int s = 0; s < 4; s++) {
        std::string subject = "s" + std::to_string(s + 1);
        write_file(folder + "/" + subject + "-1.dat", moving(first[s]));
        write_file(folder + "/" + subject + "-2.dat", moving(second[s]));
        table += subject + "-1.dat,controls," + subject + ",one\n" + subject + "-2.dat,controls," + subject + ",two\n";
    }
    write_file(folder + "/s5-1.dat", moving(11));
    write_file(folder + "/p-before.dat", moving(10));
    write_file(folder + "/p-after.dat", moving(11.5));
    write_file(folder + "/p2-before.dat", moving(10));
    write_file(folder + "/p2-after.dat", moving(10));
    write_file(folder + "/study.csv", table + "s5-1.dat,controls,s5,one\np-before.dat,patients,p,before\n"
                                              "p-after.dat,patients,p,after\np2-before.dat,patients,p2,before\n"
                                              "p2-after.dat,patients,p2,after\n");
    return folder + "/study.csv";
}

TEST(CompareReliability, TheTableAndPlotsOfACraftedStudy)
{
    std::string folder = make_temp_folder(), table = sessions_study(folder);
    ProgramRun run = compare({"--reliability", "one", "two", "--out", folder + "/out", table});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, table + ": left out of --reliability, with a recording in only one of \"one\" and \"two\": s5\n");
    std::string text = read_file(folder + "/out/reliability.csv");
    EXPECT_THAT(text, StartsWith("kind,name,measure,n,mean_a,mean_b,bias,loa_low,loa_high,icc_a1,icc_a1_low,icc_a1_high,"
                                 "icc_c1,icc_c1_low,icc_c1_high,sem,mdc95\nmarker,0,peak_mm,4,0.0000,0.0000,,,,,,,,,,,\n"));
    EXPECT_THAT(text, HasSubstr("\nmarker,3,peak_mm,4,14.0000,15.0000,1.0000,-0.6003,2.6003,0.9751,0.4798,0.9984,"
                                "0.9888,0.8395,0.9993,0.5774,1.6003\n"));
    EXPECT_THAT(text, HasSubstr("\nmarker,3,onset_frame,4,24.0000,24.0000,,,,,,,,,,,\n")) << "onsets equal: no spread";
    auto points = table_rows(read_file(folder + "/out/bland-altman.csv"));
    int found = 0;
    for (const auto &row : points)
        if (row.at("name") == "3" && row.at("measure") == "peak_mm" && row.at("subject") == "s4") {
            EXPECT_EQ(row.at("mean"), "21.0000");
            EXPECT_EQ(row.at("difference"), "2.0000");
            found++;
        }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(png_size(folder + "/out/reliability.png"), std::make_pair(1100u, 700u)) << "no pairs: markers only";
    EXPECT_FALSE(read_file(folder + "/out/bland-altman.svg").empty()) << "no pair: drawn empty, saying so";
    EXPECT_THAT(read_file(folder + "/out/bland-altman.svg"), HasSubstr("the marker set has no pairs"));

    /* s4's second session does not move: its onset is missing, so that measure pairs three subjects (the
     * mean of the others' 24 and 24), while its peak, 0 mm, is a value: 9, 12, 17, 0 mean 9.5. */
    write_file(folder + "/s4-2.dat", moving(0));
    run = compare({"--force", "--reliability", "one", "two", "--out", folder + "/out", table});
    ASSERT_EQ(run.status, 0) << run.err;
    text = read_file(folder + "/out/reliability.csv");
    EXPECT_THAT(text, HasSubstr("\nmarker,3,onset_frame,3,24.0000,24.0000,"));
    EXPECT_THAT(text, HasSubstr("\nmarker,3,peak_mm,4,14.0000,9.5000,"));
}

TEST(CompareReliability, ChangesAgainstTheSmallestDetectableChange)
{
    std::string folder = make_temp_folder(), table = sessions_study(folder);
    std::string mdc = folder + "/mdc.csv", header = "kind,name,measure,n,mean_a,mean_b,bias,loa_low,loa_high,icc_a1,"
                                                   "icc_a1_low,icc_a1_high,icc_c1,icc_c1_low,icc_c1_high,sem,mdc95\n";
    /* Another study's MDCs: m3's peak exactly the patient's change, its onset none, a measure this study
     * lacks, and an MDC of 0. */
    write_file(mdc, header + "marker,3,peak_mm,20,,,,,,,,,,,,,1.5\nmarker,3,onset_frame,20,,,,,,,,,,,,,\n"
                             "marker,Chin,peak_mm,20,,,,,,,,,,,,,0.2\nmarker,4,peak_mm,20,,,,,,,,,,,,,0\n"
                             "marker,2,peak_mm,20,,,,,,,,,,,,,0.0001\n");
    ProgramRun run = compare({"--paired", "before", "after", "--mdc", mdc, "--out", folder + "/out", table});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string changes = read_file(folder + "/out/changes.csv");
    EXPECT_THAT(changes, StartsWith("subject,kind,name,measure,before,after,change,mdc95,beyond\n"));
    EXPECT_THAT(changes, HasSubstr("\np,marker,3,peak_mm,10.0000,11.5000,1.5000,1.5000,no\n")) << "exactly the MDC";
    EXPECT_THAT(changes, HasSubstr("\np,marker,3,onset_frame,24.0000,24.0000,0.0000,,\n"));
    EXPECT_THAT(changes, HasSubstr("\np,marker,4,peak_mm,0.0000,0.0000,0.0000,,\n")) << "an MDC of 0 is none";
    EXPECT_THAT(changes, HasSubstr("\np,marker,2,peak_mm,0.0000,0.0000,0.0000,0.0001,no\n"));
    EXPECT_THAT(changes, HasSubstr("\np2,marker,3,peak_mm,10.0000,10.0000,0.0000,1.5000,no\n"));
    EXPECT_THAT(run.out, HasSubstr("p: 0 of 2 measures changed beyond the MDC; largest change/MDC: 3 peak_mm 1.00, "
                                   "2 peak_mm 0.00\n"));

    /* A change above it, at full precision, is beyond: 11.5001 - 10 > 1.5. */
    write_file(folder + "/p-after.dat", moving(11.5001));
    run = compare({"--force", "--paired", "before", "after", "--mdc", mdc, "--out", folder + "/out", table});
    EXPECT_THAT(read_file(folder + "/out/changes.csv"), HasSubstr("\np,marker,3,peak_mm,10.0000,11.5001,1.5001,1.5000,yes\n"));
    EXPECT_THAT(run.out, HasSubstr("p: 1 of 2 measures changed beyond the MDC;"));

    /* With the frames' time known, a measure's seconds form is the same measure again: an MDC for the onset
     * in seconds counts it once, as the onset, beside the two peaks. */
    write_file(mdc, read_file(mdc) + "marker,3,onset_s,20,,,,,,,,,,,,,0.5\n");
    run = compare({"--force", "--duration", "3", "--paired", "before", "after", "--mdc", mdc, "--out", folder + "/out",
                   table});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(read_file(folder + "/out/changes.csv"), HasSubstr("\np,marker,3,onset_s,"));
    EXPECT_THAT(run.out, HasSubstr("p: 1 of 2 measures changed beyond the MDC;"));
}

TEST(CompareReliability, BadConditionsAndForeignMdcFilesAreRefused)
{
    std::string folder = make_temp_folder(), table = sessions_study(folder), header =
        "kind,name,measure,n,mean_a,mean_b,bias,loa_low,loa_high,icc_a1,icc_a1_low,icc_a1_high,icc_c1,icc_c1_low,"
        "icc_c1_high,sem,mdc95\n";
    std::string two = folder + "/two.csv", twice = folder + "/twice.csv", no_condition = folder + "/no-condition.csv";
    write_file(two, "file,group,subject,condition\ns1-1.dat,c,s1,one\ns1-2.dat,c,s1,two\ns2-1.dat,c,s2,one\n"
                    "s2-2.dat,c,s2,two\n");
    write_file(twice, "file,group,subject,condition\ns1-1.dat,c,s1,one\ns2-1.dat,c,s1,one\n");
    write_file(no_condition, "file,group,subject\ns1-1.dat,c,s1\n");
    std::vector<std::pair<std::string, std::string>> foreign = {
        {"groups.csv", "kind,name,measure,n_a\nmarker,3,peak_mm,4\n"},
        {"fields.csv", header + "marker,3,peak_mm,4,,,,,,,,,,,,\n"},
        {"kind.csv", header + "joint,3,peak_mm,4,,,,,,,,,,,,,1\n"},
        {"negative.csv", header + "marker,3,peak_mm,4,,,,,,,,,,,,,-1\n"},
        {"word.csv", header + "marker,3,peak_mm,4,,,,,,,,,,,,,small\n"},
        {"again.csv", header + "marker,3,peak_mm,4,,,,,,,,,,,,,1\n\n\"marker\",3,peak_mm,4,,,,,,,,,,,,,2\n"},
    };
    for (const auto &f : foreign)
        write_file(folder + "/" + f.first, f.second);
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"--reliability", "one", "one", table}, 1, table + ": --reliability \"one\" \"one\" names one condition twice\n"},
        {{"--reliability", "one", "three", table}, 1,
         table + ": the condition \"three\" is not in the table; it has \"one\", \"two\", \"before\", \"after\"\n"},
        {{"--reliability", "one", "two", two}, 1,
         two + ": 2 subjects have a recording in both \"one\" and \"two\"; --reliability needs at least 3\n"},
        {{"--reliability", "one", "two", twice}, 1,
         twice + ": the subject \"s1\" has two recordings in the condition \"one\" (lines 2 and 3)\n"},
        {{"--reliability", "one", "two", no_condition}, 1,
         no_condition + ": --reliability needs a \"condition\" column, and the table has none\n"},
        {{table, "--reliability", "one"}, 2, "mienscope-compare: --reliability takes two values, such as "
                                             "--reliability session1 session2\n"},
        {{"--mdc", folder + "/groups.csv", "--reliability", "one", "two", table}, 2,
         "mienscope-compare: --mdc FILE needs --paired BEFORE AFTER: it judges each subject's change\n"},
        {{"--paired", "before", "after", "--mdc", folder + "/groups.csv", table}, 1, folder + "/groups.csv:1: not a "
         "reliability.csv: its header is not \"kind,name,measure,n,mean_a,"},
        {{"--paired", "before", "after", "--mdc", folder + "/fields.csv", table}, 1,
         folder + "/fields.csv:2: the row has 16 fields, the header 17\n"},
        {{"--paired", "before", "after", "--mdc", folder + "/kind.csv", table}, 1,
         folder + "/kind.csv:2: the kind \"joint\" is not marker, pair, face or face-side\n"},
        {{"--paired", "before", "after", "--mdc", folder + "/negative.csv", table}, 1,
         folder + "/negative.csv:2: the mdc95 \"-1\" is not empty nor a number from 0\n"},
        {{"--paired", "before", "after", "--mdc", folder + "/word.csv", table}, 1,
         folder + "/word.csv:2: the mdc95 \"small\" is not empty nor a number from 0\n"},
        {{"--paired", "before", "after", "--mdc", folder + "/again.csv", table}, 1,
         folder + "/again.csv:4: marker 3 peak_mm is named again after line 2\n"},
        {{"--paired", "before", "after", "--mdc", folder + "/none.csv", table}, 1,
         folder + "/none.csv: can't be read: No such file or directory\n"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), {"--out", folder + "/out"});
        ProgramRun run = compare(args);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_THAT(run.err, StartsWith(c.message));
        struct stat st;
        EXPECT_NE(stat((folder + "/out").c_str(), &st), 0) << "nothing is written: " << c.message;
    }
}
