/* Abuse from outside: keys queued during a playback, a window squeezed to
 * one pixel, and exhibit files rewritten while the viewer reads them. */
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <thread>

#include "window_support.h"

static bool alive(pid_t pid)
{
    return waitpid(pid, nullptr, WNOHANG) == 0;
}

static std::function<bool(const Image &)> both_faces(const Camera &camera, const char *first, const char *second,
                                                     int frame)
{
    return [=](const Image &i) {
        return face_drawn(i, camera, shape_of(first), frame, green) &&
               face_drawn(i, camera, shape_of(second), frame, red);
    };
}

TEST_F(WindowTest, KeysQueuedDuringPlaybackAreAllApplied)
{
    ASSERT_TRUE(start_viewer_on_exhibit_1());
    send_key(viewer, XK_c);
    for (int i = 0; i < 100; i++) {
        send_key(viewer, XK_Right);
        send_key(viewer, XK_d);
        send_key(viewer, XK_Left);
    }
    for (int i = 0; i < 50; i++)
        send_key(viewer, XK_less);
    for (int i = 0; i < 50; i++)
        send_key(viewer, XK_greater);
    send_key(viewer, XK_F3);
    for (int i = 0; i < 10; i++)
        send_key(viewer, XK_Up);
    Camera camera;
    camera.rotate_x = -20.0;
    EXPECT_TRUE(wait_for_image(viewer, both_faces(camera, "smnn.dat", "smll.dat", 0), window_deadline, nullptr));
    EXPECT_TRUE(alive(viewer.pid));
}

TEST_F(WindowTest, OnePixelWindowAndBack)
{
    ASSERT_TRUE(start_viewer_on_exhibit_1());
    Camera camera;
    resize_window(viewer, 1, 1);
    EXPECT_TRUE(wait_for_image(viewer, [](const Image &i) { return i.width == 1 && i.height == 1; }, window_deadline,
                               nullptr));
    send_key(viewer, XK_c);
    resize_window(viewer, 640, 1024);
    EXPECT_TRUE(wait_for_image(viewer, both_faces(camera, "sm1.dat", "sm2.dat", 0), window_deadline, nullptr));
    EXPECT_TRUE(alive(viewer.pid));
}

TEST_F(WindowTest, ExhibitFileRewrittenWhileItIsRead)
{
    ASSERT_TRUE(start_viewer_on_exhibit_1());
    Camera camera;
    std::string path = folder + "/face-data/smnn.dat";
    std::string full = scene_markers(shape_of("smnn.dat"));
    std::string half = full.substr(0, full.size() / 2);

    /* A file cut at its middle is a short file: a warning, not a crash. */
    write_file(path, half);
    send_key(viewer, XK_F3);
    EXPECT_TRUE(wait_for_image(
        viewer, [&](const Image &i) { return face_drawn(i, camera, shape_of("smnn.dat"), 0, green); },
        window_deadline, nullptr));
    EXPECT_NE(read_file(viewer.stderr_path).find("face-data/smnn.dat: file ends after 2160 of 4320 marker positions"),
              std::string::npos)
        << read_file(viewer.stderr_path);

    /* Exhibit keys while another thread truncates and rewrites the file;
     * F5, whose files stay put, shows when the viewer has handled them all. */
    std::atomic<bool> stop(false);
    std::thread writer([&] {
        for (int i = 0; !stop; i++)
            write_file(path, i % 2 ? half : full);
    });
    for (int i = 0; i < 60; i++)
        send_key(viewer, i % 2 ? XK_F3 : XK_F4);
    send_key(viewer, XK_F5);
    bool handled = wait_for_image(
        viewer, [&](const Image &i) { return face_drawn(i, camera, shape_of("smpcu.dat"), 0, green); },
        window_deadline, nullptr);
    stop = true;
    writer.join();
    EXPECT_TRUE(handled);

    write_file(path, full);
    send_key(viewer, XK_F3);
    send_key(viewer, XK_c);
    EXPECT_TRUE(wait_for_image(viewer, both_faces(camera, "smnn.dat", "smll.dat", SCENE_FRAMES - 1), window_deadline,
                               nullptr));
    EXPECT_TRUE(alive(viewer.pid));
}
