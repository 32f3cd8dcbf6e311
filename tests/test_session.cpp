/* One whole session, from start to the window's close button: every key,
 * a resize, and a clean exit. Also run under valgrind (see CMakeLists). */
#include <X11/keysym.h>
#include <sys/wait.h>

#include "window_support.h"

static bool shows(const Viewer &viewer, const Camera &camera, const char *first, const char *second, int frame)
{
    return wait_for_image(
        viewer,
        [&](const Image &i) {
            return face_drawn(i, camera, shape_of(first), frame, green) &&
                   (second ? face_drawn(i, camera, shape_of(second), frame, red) : count_colour(i, red) == 0);
        },
        window_deadline, nullptr);
}

TEST_F(WindowTest, WholeSessionEndsCleanlyAtTheCloseButton)
{
    ASSERT_TRUE(start_viewer());
    Camera camera;
    ASSERT_TRUE(shows(viewer, camera, "sm1.dat", nullptr, 0));
    const struct {
        unsigned long key;
        const char *first;
    } exhibits[] = {{XK_F2, "smaa.dat"}, {XK_F3, "smnn.dat"}, {XK_F4, "smnn.dat"}, {XK_F5, "smpcu.dat"}, {XK_F1, "sm1.dat"}};
    for (const auto &e : exhibits) {
        send_key(viewer, e.key);
        ASSERT_TRUE(shows(viewer, camera, e.first, nullptr, 0)) << e.first;
    }
    send_key(viewer, XK_Up);
    send_key(viewer, XK_Right);
    camera.rotate_x = -2.0;
    camera.rotate_y = 2.0;
    ASSERT_TRUE(shows(viewer, camera, "sm1.dat", nullptr, 0));
    send_key(viewer, XK_Down);
    send_key(viewer, XK_Left);
    send_key(viewer, XK_less);
    camera = Camera();
    camera.zoom = 5.5;
    ASSERT_TRUE(shows(viewer, camera, "sm1.dat", nullptr, 0));
    send_key(viewer, XK_greater);
    send_key(viewer, XK_a);
    camera.zoom = 5.0;
    ASSERT_TRUE(shows(viewer, camera, "sm1.dat", nullptr, SCENE_FRAMES - 1));
    send_key(viewer, XK_b);
    ASSERT_TRUE(wait_for_image(
        viewer, [&](const Image &i) { return face_drawn(i, camera, shape_of("sm2.dat"), SCENE_FRAMES - 1, red); },
        window_deadline, nullptr));
    send_key(viewer, XK_c);
    ASSERT_TRUE(shows(viewer, camera, "sm1.dat", "sm2.dat", SCENE_FRAMES - 1));
    resize_window(viewer, 800, 600);
    camera.width = 800;
    camera.height = 600;
    ASSERT_TRUE(shows(viewer, camera, "sm1.dat", "sm2.dat", 0));

    close_window(viewer);
    int status = 0;
    ASSERT_TRUE(wait_for_exit(viewer.pid, window_deadline, &status));
    viewer.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "raw wait status " << status;
    std::string err = read_file(viewer.stderr_path);
    RecordProperty("viewer_stderr_tail", err.size() > 400 ? err.substr(err.size() - 400) : err);
    EXPECT_EQ(err.find("Invalid read"), std::string::npos) << err;
    EXPECT_EQ(err.find("Invalid write"), std::string::npos) << err;
}
