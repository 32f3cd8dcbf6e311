/* Renders each exhibit of the real sample data at frame 0 and, after 'c',
 * at frame 179, into PNG files:
 *
 *   screenshots OUTPUT-FOLDER DATA-ROOT
 *   screenshots OUTPUT-FOLDER DATA-ROOT VIEWER-ARGUMENT...
 *
 * DATA-ROOT is the folder that holds face-data/, and where the viewer
 * starts. With viewer arguments (files and options), the viewer opens
 * them, and two pictures are taken: files-start.png at start-up and
 * files-end.png after End. The viewer runs on a private Xvfb display. A picture is taken once it shows markers and has
 * stopped changing: the viewer gives no other sign that a playback is over. */
#include <X11/keysym.h>
#include <stdio.h>

#include <string>

#include "xharness.h"

static const double deadline_seconds = 30.0;

static bool has_green(const Image &image)
{
    for (size_t i = 0; i + 2 < image.rgb.size(); i += 3)
        if (image.rgb[i] == 0 && image.rgb[i + 1] == 255 && image.rgb[i + 2] == 0)
            return true;
    return false;
}

/* Waits for a picture unlike `before` that then stays the same over ten
 * captures in a row. */
static bool wait_for_settled(const Viewer &viewer, const Image &before, Image *settled)
{
    Image previous;
    int same = 0;
    return wait_for_image(
        viewer,
        [&](const Image &i) {
            bool changed = i.rgb != before.rgb && has_green(i);
            same = changed && i.rgb == previous.rgb ? same + 1 : 0;
            previous = i;
            return same >= 10;
        },
        deadline_seconds, settled);
}

static bool shoot(const Viewer &viewer, unsigned long key, const Image &before, Image *after, const std::string &path)
{
    send_key(viewer, key);
    if (!wait_for_settled(viewer, before, after) || !write_png(*after, path)) {
        fprintf(stderr, "%s: the viewer did not show a settled picture in %.0f s; stopped\n", path.c_str(),
                deadline_seconds);
        return false;
    }
    printf("%s\n", path.c_str());
    return true;
}

/* The viewer with files: its start-up picture, then after End. */
static bool shoot_files(const Viewer &viewer, const std::string &out)
{
    Image start, end;
    bool ok = wait_for_settled(viewer, Image(), &start) && write_png(start, out + "/files-start.png");
    if (ok)
        printf("%s/files-start.png\n", out.c_str());
    return ok && shoot(viewer, XK_End, start, &end, out + "/files-end.png");
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: screenshots OUTPUT-FOLDER DATA-ROOT [VIEWER-ARGUMENT...]\n");
        return 2;
    }
    std::string out = argv[1];
    Xserver server = start_xserver();
    Viewer viewer;
    viewer.stderr_path = "/dev/null";
    viewer.pid = launch_viewer(server, argv[2], viewer.stderr_path, std::vector<std::string>(argv + 3, argv + argc));
    bool ok = wait_for_window(server, viewer, deadline_seconds);
    if (argc > 3) {
        ok = ok && shoot_files(viewer, out);
        close_viewer(viewer);
        stop_xserver(server);
        return ok ? 0 : 1;
    }
    /* The start-up picture is exhibit 1 at frame 0. Every later exhibit key
     * follows a playback, so its frame 0 differs from the picture before it. */
    Image shown, first;
    ok = ok && wait_for_settled(viewer, Image(), &first) && write_png(first, out + "/exhibit1-frame0.png");
    const unsigned long exhibit_keys[] = {XK_F1, XK_F2, XK_F3, XK_F4, XK_F5};
    for (int n = 1; ok && n <= 5; n++) {
        std::string name = out + "/exhibit" + std::to_string(n);
        ok = n == 1 || shoot(viewer, exhibit_keys[n - 1], shown, &first, name + "-frame0.png");
        ok = ok && shoot(viewer, XK_c, first, &shown, name + "-frame179-both.png");
    }
    close_viewer(viewer);
    stop_xserver(server);
    return ok ? 0 : 1;
}
