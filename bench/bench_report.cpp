/* mienscope-report as a whole process, gnuplot on PATH, on the README's
 * study that the sample generator makes: 20 controls and 5 patients with
 * a weak side, each against the controls' normal range; then on an exam of
 * seven expressions, each a copy of the shared single_face.mp4 tracked
 * before (so from the cache), against the same videos without the
 * expression column: the difference is the grading page's own cost.
 * Medians of five runs.
 *
 *   report_bench PATH-TO-mienscope-report PATH-TO-make_face_data   (from the repository root) */
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "testfiles.h"
#include "whole_process.h"

/* The exam's figures; false when a run failed. Without the shared videos, says so and passes. */
static bool exam_figures(const std::string &report, const std::string &folder)
{
    std::string video = testdata_path("video/single_face.mp4");
    if (!testdata_present("video/single_face.mp4")) {
        printf("no %s: the shared test recordings are not beside this checkout; no exam figures\n", video.c_str());
        return true;
    }
    setenv("XDG_CACHE_HOME", (folder + "/cache").c_str(), 1);
    std::string exam = "file,group,subject,expression\n", plain = "file,group,subject\n";
    for (const char *e : {"rest", "brow", "eyes_gentle", "eyes_tight", "smile", "teeth", "pucker"}) {
        write_file(folder + "/" + e + ".mp4", read_file(video));
        exam += std::string(e) + ".mp4,patients,p," + e + "\n";
        plain += std::string(e) + ".mp4,patients,p\n";
    }
    write_file(folder + "/exam.csv", exam);
    write_file(folder + "/plain.csv", plain);
    std::vector<std::string> out = {"--force", "--out", folder + "/exam-report"};
    auto with = [&](const std::string &table) {
        std::vector<std::string> args = out;
        args.push_back(folder + "/" + table);
        return args;
    };
    if (median_seconds(report, with("exam.csv"), "", 1) < 0) /* tracked once, into the cache */
        return false;
    double graded = median_seconds(report, with("exam.csv")), ungraded = median_seconds(report, with("plain.csv"));
    printf("mienscope-report on a 7-expression exam of cached videos (one subject), median of 5 runs: %.3f s; the same "
           "videos without the expression column: %.3f s; the grading page's own cost: %.3f s (goal <= 0.5 s)\n",
           graded, ungraded, graded - ungraded);
    return graded >= 0 && ungraded >= 0;
}

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
    return seconds >= 0 && exam_figures(argv[1], folder) ? 0 : 1;
}
