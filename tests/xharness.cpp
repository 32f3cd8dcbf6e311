#include "xharness.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>


/* The viewer's windows: the exhibits' "Mienscope by Tarnwell - ..." and, with files, "Mienscope - FILES". */
static const char viewer_title_start[] = "Mienscope ";

static void pause_briefly()
{
    struct timespec ts = {0, 10 * 1000 * 1000};
    nanosleep(&ts, nullptr);
}

static std::string display_name(const Xserver &server)
{
    return ":" + std::to_string(server.display);
}

/* Xvfb picks a free display itself and writes its number to the pipe. */
Xserver start_xserver()
{
    Xserver server;
    int fds[2];
    if (pipe(fds) != 0)
        return server;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        dup2(null_fd, 2);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1100x24", "-nolisten", "tcp",
               (char *)nullptr);
        _exit(127);
    }
    close(fds[1]);
    server.pid = pid;
    std::string number;
    double deadline = now_seconds() + 20.0;
    while (now_seconds() < deadline && number.find('\n') == std::string::npos) {
        struct pollfd pfd = {fds[0], POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0)
            continue;
        char c[16];
        ssize_t got = read(fds[0], c, sizeof c);
        if (got <= 0)
            break;
        number.append(c, (size_t)got);
    }
    close(fds[0]);
    if (number.find('\n') != std::string::npos)
        server.display = atoi(number.c_str());
    return server;
}

void stop_xserver(Xserver &server)
{
    if (server.pid > 0) {
        kill(server.pid, SIGTERM);
        waitpid(server.pid, nullptr, 0);
    }
    server.pid = -1;
}

pid_t launch_viewer(const Xserver &server, const std::string &folder, const std::string &stderr_path,
                    const std::vector<std::string> &args)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        setenv("DISPLAY", display_name(server).c_str(), 1);
        int err_fd = open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        dup2(err_fd, 2);
        const char *prefix = getenv("MIENSCOPE_VIEWER_PREFIX");
        std::string command = std::string(prefix ? prefix : "") + " '" MIENSCOPE_BINARY "'";
        std::vector<char *> argv = {(char *)"mienscope"};
        for (const std::string &a : args) {
            command += " '" + a + "'";
            argv.push_back((char *)a.c_str());
        }
        argv.push_back(nullptr);
        if (prefix && *prefix)
            execl("/bin/sh", "sh", "-c", command.c_str(), (char *)nullptr);
        else
            execv(MIENSCOPE_BINARY, argv.data());
        _exit(127);
    }
    return pid;
}

static bool is_viewer_window(Display *dpy, Window w)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dpy, w, &attributes) || attributes.map_state != IsViewable)
        return false;
    char *name = nullptr;
    bool match = XFetchName(dpy, w, &name) && name && strncmp(name, viewer_title_start, strlen(viewer_title_start)) == 0;
    if (name)
        XFree(name);
    return match;
}

static Window find_viewer_window(Display *dpy)
{
    Window root_return, parent, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(dpy, DefaultRootWindow(dpy), &root_return, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !found; i++)
            if (is_viewer_window(dpy, children[i]))
                found = children[i];
        XFree(children);
    }
    return found;
}

bool wait_for_window(const Xserver &server, Viewer &viewer, double seconds)
{
    double deadline = now_seconds() + seconds;
    while (!viewer.dpy && now_seconds() < deadline) {
        viewer.dpy = XOpenDisplay(display_name(server).c_str());
        if (!viewer.dpy)
            pause_briefly();
    }
    while (viewer.dpy && !viewer.window && now_seconds() < deadline) {
        viewer.window = find_viewer_window(viewer.dpy);
        if (!viewer.window)
            pause_briefly();
    }
    return viewer.window != 0;
}

bool wait_for_exit(pid_t pid, double seconds, int *status)
{
    double deadline = now_seconds() + seconds;
    do {
        if (waitpid(pid, status, WNOHANG) == pid)
            return true;
        pause_briefly();
    } while (now_seconds() < deadline);
    return false;
}

void close_viewer(Viewer &viewer)
{
    if (viewer.pid > 0 && waitpid(viewer.pid, nullptr, WNOHANG) == 0) {
        kill(viewer.pid, SIGKILL);
        waitpid(viewer.pid, nullptr, 0);
    }
    viewer.pid = -1;
    if (viewer.dpy)
        XCloseDisplay(viewer.dpy);
    viewer.dpy = nullptr;
    viewer.window = 0;
}

static int mask_shift(unsigned long mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        shift++;
    }
    return shift;
}

Image capture(const Viewer &viewer)
{
    Image image;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(viewer.dpy, viewer.window, &attributes))
        return image;
    XImage *x = XGetImage(viewer.dpy, viewer.window, 0, 0, (unsigned)attributes.width, (unsigned)attributes.height,
                          AllPlanes, ZPixmap);
    if (!x)
        return image;
    image.width = attributes.width;
    image.height = attributes.height;
    image.rgb.resize((size_t)image.width * image.height * 3);
    int shifts[3] = {mask_shift(x->red_mask), mask_shift(x->green_mask), mask_shift(x->blue_mask)};
    for (int y = 0; y < image.height; y++)
        for (int col = 0; col < image.width; col++) {
            unsigned long pixel = XGetPixel(x, col, y);
            unsigned char *out = &image.rgb[3 * ((size_t)y * image.width + col)];
            out[0] = (unsigned char)((pixel & x->red_mask) >> shifts[0]);
            out[1] = (unsigned char)((pixel & x->green_mask) >> shifts[1]);
            out[2] = (unsigned char)((pixel & x->blue_mask) >> shifts[2]);
        }
    XDestroyImage(x);
    return image;
}

/* With MIENSCOPE_FAILED_IMAGES set to a folder, the last picture of every
 * wait that timed out is kept there as failed-N.png. */
static void save_failed_image(const Image &image)
{
    static int count = 0;
    const char *folder = getenv("MIENSCOPE_FAILED_IMAGES");
    if (folder && image.width > 0)
        write_png(image, std::string(folder) + "/failed-" + std::to_string(++count) + ".png");
}

bool wait_for_image(const Viewer &viewer, const std::function<bool(const Image &)> &ready, double seconds,
                    Image *last)
{
    double deadline = now_seconds() + seconds;
    for (;;) {
        Image image = capture(viewer);
        bool done = image.width > 0 && ready(image);
        if (last)
            *last = image;
        if (done)
            return true;
        if (now_seconds() >= deadline) {
            save_failed_image(image);
            return false;
        }
        pause_briefly();
    }
}

static void send_key_event(const Viewer &viewer, int type, unsigned int keycode, unsigned int state)
{
    XKeyEvent event;
    memset(&event, 0, sizeof event);
    event.type = type;
    event.display = viewer.dpy;
    event.window = viewer.window;
    event.root = DefaultRootWindow(viewer.dpy);
    event.subwindow = None;
    event.time = CurrentTime;
    event.x = event.y = 1;
    event.x_root = event.y_root = 1;
    event.state = state;
    event.keycode = keycode;
    event.same_screen = True;
    XSendEvent(viewer.dpy, viewer.window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, (XEvent *)&event);
}

void send_key(const Viewer &viewer, unsigned long keysym)
{
    KeyCode keycode = XKeysymToKeycode(viewer.dpy, keysym);
    unsigned int state = XkbKeycodeToKeysym(viewer.dpy, keycode, 0, 0) == keysym ? 0 : ShiftMask;
    send_key_event(viewer, KeyPress, keycode, state);
    send_key_event(viewer, KeyRelease, keycode, state);
    XFlush(viewer.dpy);
}

/* What a window manager sends when the user closes the window. */
std::string window_title(const Viewer &viewer)
{
    char *name = nullptr;
    std::string title;
    if (XFetchName(viewer.dpy, viewer.window, &name) && name)
        title = name;
    if (name)
        XFree(name);
    return title;
}

void close_window(const Viewer &viewer)
{
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = viewer.window;
    event.xclient.message_type = XInternAtom(viewer.dpy, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(viewer.dpy, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(viewer.dpy, viewer.window, False, NoEventMask, &event);
    XFlush(viewer.dpy);
}

void resize_window(const Viewer &viewer, int width, int height)
{
    XResizeWindow(viewer.dpy, viewer.window, (unsigned)width, (unsigned)height);
    XFlush(viewer.dpy);
}

long resident_kib(pid_t pid)
{
    std::string status = read_file("/proc/" + std::to_string(pid) + "/status");
    size_t at = status.find("VmRSS:");
    return at == std::string::npos ? -1 : atol(status.c_str() + at + 6);
}

bool write_png(const Image &image, const std::string &path)
{
    FILE *fp = fopen(path.c_str(), "wb");
    if (!fp)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info && setjmp(png_jmpbuf(png)) == 0;
    if (ok) {
        png_init_io(png, fp);
        png_set_IHDR(png, info, (png_uint_32)image.width, (png_uint_32)image.height, 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < image.height; y++)
            png_write_row(png, &image.rgb[3 * (size_t)y * image.width]);
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    return fclose(fp) == 0 && ok;
}

Image read_png_image(const std::string &path)
{
    Image image;
    FILE *fp = fopen(path.c_str(), "rb");
    png_structp png = fp ? png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr) : nullptr;
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, fp);
        png_read_info(png, info);
        if (png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB && png_get_bit_depth(png, info) == 8) {
            image.width = (int)png_get_image_width(png, info);
            image.height = (int)png_get_image_height(png, info);
            image.rgb.resize((size_t)image.width * image.height * 3);
            for (int y = 0; y < image.height; y++)
                png_read_row(png, &image.rgb[(size_t)y * image.width * 3], nullptr);
        }
    }
    if (png)
        png_destroy_read_struct(&png, &info, nullptr);
    if (fp)
        fclose(fp);
    return image;
}
