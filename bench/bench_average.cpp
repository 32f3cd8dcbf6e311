/* mienscope-average as a whole process on 500 marker files: the sample
 * recording sm1 varied along two known modes (the mouth corners' rise and
 * the lower lip's drop, with amplitudes that differ from file to file),
 * each turned and moved by its own rigid motion. Written without gnuplot
 * on PATH. Median time of five runs, and the largest resident memory.
 *
 *   average_bench PATH-TO-mienscope-average      (from the repository root) */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "face_files.h"
#include "testfiles.h"

static const int file_count = 500;
static const int runs = 5;

/* File i: the base with mode amplitudes from i, turned about z by i
 * thousandths of a radian, moved by i tenths of a millimetre. */
static FacePositions varied(const FacePositions &base, int i)
{
    double a = sin(i * 0.7) * 3.0, b = cos(i * 1.3) * 1.5, angle = i * 0.001;
    FacePositions p = base;
    for (int f = 0; f < FACE_FRAMES; f++) {
        double level = f / (FACE_FRAMES - 1.0);
        for (int m = 0; m < FACE_MARKERS; m++) {
            double *q = &p[((size_t)f * FACE_MARKERS + m) * 3];
            q[1] += (m == 16 || m == 20 ? a : 0.0) * level + (m == 21 ? -b : 0.0) * level;
            double x = q[0], y = q[1];
            q[0] = cos(angle) * x - sin(angle) * y + 0.1 * i;
            q[1] = sin(angle) * x + cos(angle) * y - 0.1 * i;
        }
    }
    return p;
}

/* Seconds, and the child's peak resident memory in KiB; -1 seconds if it failed. */
static double timed_run(const std::vector<std::string> &args, long *peak_kib)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back((char *)a.c_str());
    argv.push_back(nullptr);
    double start = now_seconds();
    pid_t pid = fork();
    if (pid == 0) {
        setenv("PATH", "/nonexistent", 1);
        freopen("/dev/null", "w", stderr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    wait4(pid, &status, 0, &usage);
    double seconds = now_seconds() - start;
    *peak_kib = std::max(*peak_kib, usage.ru_maxrss);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1.0;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: average_bench PATH-TO-mienscope-average\n");
        return 2;
    }
    FacePositions base;
    std::string error;
    if (!read_marker_file("face-data/sm1.dat", &base, &error)) {
        fprintf(stderr, "%s; run it from the repository root\n", error.c_str());
        return 1;
    }
    std::string folder = make_temp_folder();
    std::vector<std::string> args = {argv[1], "--force", "--exhibits", "--out", folder + "/group"};
    for (int i = 0; i < file_count; i++) {
        args.push_back(folder + "/subject" + std::to_string(i) + ".dat");
        write_file(args.back(), marker_file_text(varied(base, i)));
    }
    std::vector<double> times;
    long peak_kib = 0;
    for (int r = 0; r < runs; r++)
        times.push_back(timed_run(args, &peak_kib));
    std::sort(times.begin(), times.end());
    printf("mienscope-average on %d marker files, --exhibits, gnuplot off PATH, as a whole process:\n", file_count);
    printf("  median of %d runs: %.3f s; peak resident memory %.1f MiB\n", runs, times[runs / 2], peak_kib / 1024.0);
    std::string modes = read_file(folder + "/group/modes.csv");
    size_t start = modes.find('\n') + 1, end = modes.find('\n', modes.find('\n', start) + 1);
    printf("  modes 1 and 2 (sd_mm, variance_share, cumulative_share):\n%s\n", modes.substr(start, end - start).c_str());
    return times[0] < 0 ? 1 : 0;
}
