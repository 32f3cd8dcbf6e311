/* mienscope-measure as a whole process on 1,000 marker files (copies of
 * the sample recordings, named by absolute paths): the marker table to
 * standard output, unfiltered and smoothed, and all files to a folder with
 * gnuplot kept off PATH. Then a folder of 100 copies of an OpenFace
 * recording measured directly, against the same work done as 100 imports
 * and one measure of their marker files. Medians of five runs.
 *
 *   measure_bench PATH-TO-mienscope-measure PATH-TO-mienscope-import   (from the repository root) */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "file_io.h"
#include "testfiles.h"

static const int file_count = 1000;
static const int runs = 5;

/* Seconds the program took, standard output to out_path; -1 if it failed. */
static double timed_run(const std::vector<std::string> &args, const std::string &out_path, const char *path_env)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back((char *)a.c_str());
    argv.push_back(nullptr);
    double start = now_seconds();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open("/dev/null", O_WRONLY), 2); /* the line that says gnuplot is missing */
        if (path_env)
            setenv("PATH", path_env, 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    double seconds = now_seconds() - start;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1.0;
}

static double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[0] < 0 ? -1.0 : times[runs / 2];
}

static double median_of_runs(const std::vector<std::string> &args, const std::string &out_path, const char *path_env)
{
    std::vector<double> times;
    for (int i = 0; i < runs; i++)
        times.push_back(timed_run(args, out_path, path_env));
    return median(times);
}

/* The recording measured directly from a folder of copies, and the same
 * done as one import a copy and one measure of the marker files. */
static void recordings_direct_and_imported(const char *measure, const char *import, const std::string &recording)
{
    std::string folder = make_temp_folder(), text = read_file(recording);
    if (text.empty()) {
        printf("  (no %s: the shared test recordings are not beside this checkout)\n", recording.c_str());
        return;
    }
    std::vector<std::string> imported = {measure, "--markers", "examples/openface-24.set"};
    for (int i = 0; i < 100; i++) {
        write_file(folder + "/copy" + std::to_string(100 + i) + ".csv", text);
        imported.push_back(folder + "/copy" + std::to_string(100 + i) + ".dat");
    }
    double direct = median_of_runs({measure, folder}, folder + "/direct.txt", nullptr);
    double faces = median_of_runs({measure, "--face-measures", folder}, folder + "/faces.txt", nullptr);
    std::vector<double> times;
    for (int run = 0; run < runs; run++) {
        double start = now_seconds();
        for (int i = 0; i < 100 && start >= 0; i++) {
            std::string copy = folder + "/copy" + std::to_string(100 + i);
            if (timed_run({import, "--force", copy + ".csv", copy + ".dat"}, folder + "/import.txt", nullptr) < 0)
                start = -1.0;
        }
        double measured = start < 0 ? -1.0 : timed_run(imported, folder + "/imported.txt", nullptr);
        times.push_back(measured < 0 ? -1.0 : now_seconds() - start);
    }
    printf("  a folder of 100 copies of %s (490 rows each), measured directly: %.3f s\n", base_name(recording).c_str(),
           direct);
    printf("  the same with --face-measures (face.csv from the 68 landmarks): %.3f s, %.2f times the markers'\n", faces,
           faces / direct);
    printf("  the same as 100 mienscope-import runs and one measure of their marker files: %.3f s\n", median(times));
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: measure_bench PATH-TO-mienscope-measure PATH-TO-mienscope-import\n");
        return 2;
    }
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd))
        return 1;
    const char *samples[] = {"sm1", "sm2", "smaa", "smll", "smnl", "smnn", "smpcd", "smpcu"};
    std::string folder = make_temp_folder();
    std::vector<std::string> args = {argv[1]};
    for (int i = 0; i < file_count; i++) {
        std::string text = read_file(std::string(cwd) + "/face-data/" + samples[i % 8] + ".dat");
        args.push_back(folder + "/subject" + std::to_string(i) + ".dat");
        write_file(args.back(), text);
    }
    double table = median_of_runs(args, folder + "/table.csv", nullptr);
    std::string table_text = read_file(folder + "/table.csv");
    std::vector<std::string> smoothed = args;
    smoothed.insert(smoothed.begin() + 1, {"--smooth", "6", "--duration", "3"});
    double smooth = median_of_runs(smoothed, folder + "/smoothed.csv", nullptr);
    std::vector<std::string> with_out = args;
    with_out.insert(with_out.begin() + 1, {"--force", "--out", folder + "/study"});
    double files = median_of_runs(with_out, folder + "/none", "/nonexistent");
    std::string curves = read_file(folder + "/study/curves.csv");
    printf("mienscope-measure on %d marker files, medians of %d runs as a whole process:\n", file_count, runs);
    printf("  marker table to standard output: %.3f s (%ld rows)\n", table,
           (long)std::count(table_text.begin(), table_text.end(), '\n') - 1);
    printf("  the same with --smooth 6 --duration 3: %.3f s\n", smooth);
    printf("  --out with every table and plots.gp, gnuplot off PATH: %.3f s (curves.csv %ld rows, %.0f MB)\n", files,
           (long)std::count(curves.begin(), curves.end(), '\n') - 1, curves.size() / 1e6);
    recordings_direct_and_imported(argv[1], argv[2], testdata_path("openface/smile_demo.csv"));
    return table < 0 || smooth < 0 || files < 0 ? 1 : 0;
}
