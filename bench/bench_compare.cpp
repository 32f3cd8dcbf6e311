/* mienscope-compare as a whole process, gnuplot kept off PATH, on studies
 * the sample generator makes: 200 marker files against a normal group of
 * 100; and 100 controls against 100 patients with a weak side, the same
 * 100 subjects before and after, with all three analyses and 10,000
 * permutations. Medians of five runs.
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
    printf("mienscope-compare, gnuplot off PATH, medians of 5 runs as a whole process:\n");
    printf("  200 marker files against a normal group of 100 (--norm): %.3f s\n", norm);
    printf("  100 against 100 with --norm, --groups and --paired, 10,000 permutations: %.3f s\n", all);
    return norm < 0 || all < 0 ? 1 : 0;
}
