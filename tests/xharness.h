/* Drives the real viewer binary on a private Xvfb display: start it in a
 * folder of crafted data, send it keys, resize it, read its pixels. Every
 * wait polls a condition against a deadline. */
#ifndef MIENSCOPE_XHARNESS_H
#define MIENSCOPE_XHARNESS_H

#include <X11/Xlib.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "testfiles.h"

struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb; /* row-major from the top-left, 3 bytes a pixel */
    const unsigned char *at(int x, int y) const { return &rgb[3 * ((size_t)y * width + x)]; }
};

struct Xserver {
    pid_t pid = -1;
    int display = -1;
};

struct Viewer {
    pid_t pid = -1;
    Display *dpy = nullptr;
    Window window = 0;
    std::string stderr_path;
};

Xserver start_xserver();                                   /* Xvfb on a free display, 1280 x 1100 x 24 */
void stop_xserver(Xserver &server);                        /* ends it and waits for it */
/* The binary, started in folder; MIENSCOPE_VIEWER_PREFIX, if set, is a
 * command (valgrind ...) that the binary's path is appended to. */
pid_t launch_viewer(const Xserver &server, const std::string &folder, const std::string &stderr_path,
                    const std::vector<std::string> &args = {}); /* args: the viewer's command line */
bool wait_for_window(const Xserver &server, Viewer &viewer, double seconds); /* finds its mapped top-level window */
bool wait_for_exit(pid_t pid, double seconds, int *status);   /* waitpid with a deadline */
void close_viewer(Viewer &viewer);                          /* kills it if running, closes the connection */
Image capture(const Viewer &viewer);                        /* the window's current pixels */
bool wait_for_image(const Viewer &viewer, const std::function<bool(const Image &)> &ready, double seconds,
                    Image *last);                           /* polls capture() until ready() or the deadline */
void send_key(const Viewer &viewer, unsigned long keysym);  /* press and release, with Shift if the keysym needs it */
void resize_window(const Viewer &viewer, int width, int height);
void close_window(const Viewer &viewer);                    /* as a window manager's close button does */
std::string window_title(const Viewer &viewer);             /* WM_NAME */
long resident_kib(pid_t pid);                               /* VmRSS from /proc, -1 if unknown */
bool write_png(const Image &image, const std::string &path); /* libpng, 8-bit RGB */
Image read_png_image(const std::string &path); /* an 8-bit RGB PNG; empty when it is not one */

#endif
