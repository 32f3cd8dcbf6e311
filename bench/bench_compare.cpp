/* mienscope-compare as a whole process, gnuplot kept off PATH, on studies
 * the sample generator makes: 200 marker files against a normal group of
 * 100; and 100 controls against 100 patients with a weak side, the same
 * 100 subjects before and after, with all three analyses and 10,000
 * permutations; and a test-retest study, 100 controls recorded twice
 * (--reliability) beside the 100 patients before and after (--paired) with
 * the MDCs of a reliability.csv (--mdc), in one run. Medians of five runs.
 *
 *   compare_bench PATH-TO-mienscope-compare PATH-TO-make_face_data   (from the repository root) */
#include <stdio.h>
#include <sys/stat.h>

#include <string>

#include "testfiles.h"
#include "whole_process.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: compare_bench PATH-TO-mienscope-compare PATH-TO-make_face_data\n");
        return 2;
    }
    std::string folder = make_temp_folder();
    for (const char *sub : {"/controls", "/patients"})
        mkdir((folder + sub).c_str(), 0755);
    if (run_program(argv[2], {"--group", "100", folder + "/controls"}).status != 0 ||
        run_program(argv[2], {"--group", "100", "--weak-side", "right", "--weak", "0.5", folder + "/patients"}).status != 0) {
        fprintf(stderr, "make_face_data failed\n");
        return 1;
    }
    /* Subject k is control k before and patient k after. */
    std::string table = "file,group,subject,condition\n";
    for (int k = 1; k <= 100; k++) {
        char row[160];
        snprintf(row, sizeof row, "controls/subject%02d.dat,controls,s%d,before\npatients/patient%02d.dat,patients,s%d,after\n",
                 k, k, k, k);
        table += row;
    }
    write_file(folder + "/study.csv", table);
    std::string set = "examples/face24.set";
    double norm = median_seconds(argv[1], {"--markers", set, "--norm", "controls", "--force", "--out", folder + "/norm",
                                           folder + "/study.csv"}, "/nonexistent");
    double all = median_seconds(argv[1], {"--markers", set, "--norm", "controls", "--groups", "controls", "patients",
                                          "--paired", "before", "after", "--permutations", "10000", "--force", "--out",
                                          folder + "/all", folder + "/study.csv"}, "/nonexistent");
    /* Subject k: control k in two sessions; patient k before (the first study's) and after. */
    std::string retest = "file,group,subject,condition\n";
    if (run_program(argv[2], {"--group", "100", "--session", "1", folder + "/again"}).status != 0 ||
        run_program(argv[2], {"--group", "100", "--weak-side", "right", "--weak", "0.8", folder + "/treated"}).status != 0) {
        fprintf(stderr, "make_face_data failed\n");
        return 1;
    }
    for (int k = 1; k <= 100; k++) {
        char rows[320];
        snprintf(rows, sizeof rows, "controls/subject%02d.dat,controls,c%d,session1\nagain/subject%02d.dat,controls,c%d,"
                 "session2\npatients/patient%02d.dat,patients,p%d,before\ntreated/patient%02d.dat,patients,p%d,after\n",
                 k, k, k, k, k, k, k, k);
        retest += rows;
    }
    write_file(folder + "/retest.csv", retest);
    run_program(argv[1], {"--markers", set, "--reliability", "session1", "session2", "--out", folder + "/mdc",
                          folder + "/retest.csv"}, "/nonexistent");
    double reliability = median_seconds(argv[1], {"--markers", set, "--reliability", "session1", "session2", "--paired",
                                                  "before", "after", "--mdc", folder + "/mdc/reliability.csv", "--force",
                                                  "--out", folder + "/retest", folder + "/retest.csv"}, "/nonexistent");
    printf("mienscope-compare, gnuplot off PATH, medians of 5 runs as a whole process:\n");
    printf("  200 marker files against a normal group of 100 (--norm): %.3f s\n", norm);
    printf("  100 against 100 with --norm, --groups and --paired, 10,000 permutations: %.3f s\n", all);
    printf("  100 subjects recorded twice (--reliability) and 100 before and after (--paired, --mdc): %.3f s\n",
           reliability);
    return norm < 0 || all < 0 || reliability < 0 ? 1 : 0;
}
