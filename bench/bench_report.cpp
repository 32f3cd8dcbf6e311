/* mienscope-report as a whole process, gnuplot on PATH, on the README's
 * study that the sample generator makes: 20 controls and 5 patients with
 * a weak side, each against the controls' normal range. Median of five
 * runs.
 *
 *   report_bench PATH-TO-mienscope-report PATH-TO-make_face_data   (from the repository root) */
#include <stdio.h>
#include <sys/stat.h>

#include <string>

#include "testfiles.h"
#include "whole_process.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: report_bench PATH-TO-mienscope-report PATH-TO-make_face_data\n");
        return 2;
    }
    std::string folder = make_temp_folder(), table = folder + "/study.csv";
    for (const char *sub : {"/controls", "/patients"})
        mkdir((folder + sub).c_str(), 0755);
    if (run_program(argv[2], {"--group", "20", "--table", table, "--as", "controls", folder + "/controls"}).status != 0 ||
        run_program(argv[2], {"--group", "5", "--weak-side", "right", "--weak", "0.5", "--table", table, "--as",
                              "patients", folder + "/patients"}).status != 0) {
        fprintf(stderr, "make_face_data failed\n");
        return 1;
    }
    double seconds = median_seconds(argv[1], {"--markers", "examples/face24.set", "--smooth", "6", "--duration", "3",
                                              "--norm", "controls", "--force", "--out", folder + "/report", table});
    printf("mienscope-report on 25 recordings with --norm, gnuplot on PATH, median of 5 runs as a whole process: "
           "%.3f s\n", seconds);
    return seconds < 0 ? 1 : 0;
}
