/* mienscope-render as a whole process, with no display: a still of
 * exhibit 1, exhibit 1's and exhibit 5's 180 frames as an MP4, all 640 x
 * 1024, and exhibit 1's web page; then exhibit 5's export written with
 * matplotlib (bench/matplotlib_export.py) in the same run, and how many
 * times faster the renderer is. Medians of five runs.
 *
 *   render_bench PATH-TO-mienscope-render      (from the repository root) */
#include <stdio.h>

#include <string>
#include <vector>

#include "testfiles.h"
#include "whole_process.h"

static const int runs = 5;

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: render_bench PATH-TO-mienscope-render\n");
        return 2;
    }
    std::string folder = make_temp_folder();
    double still = median_seconds(argv[1], {"--force", "--frame", "179", folder + "/still.png"});
    double video = median_seconds(argv[1], {"--force", folder + "/movement.mp4"});
    double page = median_seconds(argv[1], {"--force", folder + "/movement.html"});
    double exhibit5 = median_seconds(argv[1], {"--force", "--exhibit", "5", folder + "/exhibit5.mp4"});
    double matplotlib = median_seconds("/usr/bin/python3", {"bench/matplotlib_export.py", "face-data",
                                                            folder + "/matplotlib.mp4"});
    printf("mienscope-render, 640 x 1024, no display, medians of %d runs as a whole process:\n", runs);
    printf("  a still: %.3f s\n", still);
    printf("  180 frames to MP4: %.3f s, %.0f frames a second\n", video, 180 / video);
    printf("  the web page of exhibit 1: %.3f s, %ld bytes\n", page, (long)read_file(folder + "/movement.html").size());
    printf("  exhibit 5's 180 frames to MP4: %.3f s, %ld bytes\n", exhibit5,
           (long)read_file(folder + "/exhibit5.mp4").size());
    printf("  the same export through matplotlib's 3D axes and FFmpeg writer: %.3f s, %ld bytes; mienscope-render is "
           "%.1f times as fast\n", matplotlib, (long)read_file(folder + "/matplotlib.mp4").size(), matplotlib / exhibit5);
    return still < 0 || video < 0 || page < 0 || exhibit5 < 0 ? 1 : 0;
}
