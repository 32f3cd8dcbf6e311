/* The viewer's start-up to its first frame on screen, as a whole process
 * on a private Xvfb: with the exhibits, and with recordings given on its
 * command line (the example C3D with its set, and an OpenFace CSV from
 * the shared test recordings), in the same run. Medians of five starts.
 *
 *   files_bench PATH-TO-mienscope      (from the repository root) */
#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "xharness.h"

static const int runs = 5;

static bool has_green(const Image &image)
{
    for (size_t i = 0; i + 2 < image.rgb.size(); i += 3)
        if (image.rgb[i] == 0 && image.rgb[i + 1] == 255 && image.rgb[i + 2] == 0)
            return true;
    return false;
}

/* Seconds from the start to a picture with the green face; -1 if none came. */
static double start_up(const Xserver &server, const std::vector<std::string> &args)
{
    Viewer viewer;
    viewer.stderr_path = "/dev/null";
    double start = now_seconds();
    viewer.pid = launch_viewer(server, ".", viewer.stderr_path, args);
    bool shown = wait_for_window(server, viewer, 30.0) && wait_for_image(viewer, has_green, 30.0, nullptr);
    double seconds = now_seconds() - start;
    close_viewer(viewer);
    return shown ? seconds : -1.0;
}

static double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[0] < 0 ? -1.0 : times[times.size() / 2];
}

int main()
{
    Xserver server = start_xserver();
    if (server.display < 0) {
        fprintf(stderr, "files_bench: Xvfb did not start; no figures\n");
        return 1;
    }
    const std::string csv = "../shared/testdata/openface/smile_demo.csv";
    bool with_csv = access(csv.c_str(), R_OK) == 0;
    start_up(server, {}); /* the server's first client is slow: not counted */
    std::vector<double> exhibit_times, c3d_times, openface_times = {with_csv ? 0.0 : -1.0};
    for (int i = 0; i < runs; i++) { /* in turns, so that a slow spell falls on each */
        exhibit_times.push_back(start_up(server, {}));
        c3d_times.push_back(start_up(server, {"--markers", "examples/face24.set", "examples/smile.c3d"}));
        if (with_csv)
            openface_times.push_back(start_up(server, {csv}));
    }
    if (with_csv)
        openface_times.erase(openface_times.begin());
    double exhibits = median(exhibit_times), c3d = median(c3d_times), openface = median(openface_times);
    stop_xserver(server);
    printf("The viewer's start-up to its first frame, medians of %d starts:\n", runs);
    printf("  exhibits: %.0f ms\n", exhibits * 1e3);
    printf("  examples/smile.c3d with face24.set: %.0f ms, %+.0f ms\n", c3d * 1e3, (c3d - exhibits) * 1e3);
    if (openface >= 0)
        printf("  smile_demo.csv (OpenFace, 490 rows): %.0f ms, %+.0f ms\n", openface * 1e3, (openface - exhibits) * 1e3);
    else
        printf("  no %s beside this checkout: the OpenFace figure is not taken\n", csv.c_str());
    return exhibits < 0 || c3d < 0 ? 1 : 0;
}
