/* The viewer's start-up picture, its reshape, and its end on missing data. */
#include <sys/stat.h>
#include <sys/wait.h>

#include "window_support.h"

static const int sm1_shape = shape_of("sm1.dat");

TEST_F(WindowTest, StartUpShowsCaptionFirstFaceAndItsSegments)
{
    ASSERT_TRUE(start_viewer());
    Camera camera;
    Image image;
    ASSERT_TRUE(wait_for_image(viewer, [&](const Image &i) { return face_drawn(i, camera, sm1_shape, 0, green); },
                               window_deadline, &image));
    EXPECT_EQ(image.width, 640);
    EXPECT_EQ(image.height, 1024);
    EXPECT_TRUE(segments_drawn(image, camera, sm1_shape, 0));
    EXPECT_EQ(count_colour(image, red), 0);

    /* The caption's raster position is (0, 0.95) in device coordinates:
     * column 320, baseline 25.6 rows below the top edge. */
    int left = image.width, top = image.height, bottom = -1;
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++)
            if (colour_at(image, x, y, white)) {
                left = std::min(left, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_GE(left, 320);
    EXPECT_LE(left, 324);
    EXPECT_GE(top, 8);
    EXPECT_LE(bottom, 30);
    EXPECT_EQ(read_file(viewer.stderr_path), "");
}

TEST_F(WindowTest, ResizedWindowKeepsTheProjectionRight)
{
    ASSERT_TRUE(start_viewer());
    Camera camera;
    ASSERT_TRUE(wait_for_image(viewer, [&](const Image &i) { return face_drawn(i, camera, sm1_shape, 0, green); },
                               window_deadline, nullptr));
    for (auto size : {std::make_pair(900, 500), std::make_pair(520, 640)}) {
        resize_window(viewer, size.first, size.second);
        camera.width = size.first;
        camera.height = size.second;
        Image image;
        EXPECT_TRUE(wait_for_image(
            viewer,
            [&](const Image &i) {
                return i.width == camera.width && i.height == camera.height &&
                       face_drawn(i, camera, sm1_shape, 0, green) && segments_drawn(i, camera, sm1_shape, 0);
            },
            window_deadline, &image))
            << "window " << size.first << " x " << size.second;
    }
}

/* Starts the viewer in a folder holding only the given files and expects it
 * to end with the status and message of the first file it can't open. */
static void expect_failure(const Xserver &server, const std::vector<std::string> &present, int status,
                           const std::string &message)
{
    std::string folder = make_temp_folder();
    make_scene_folder(folder);
    for (const char *name : {"line.dat", "sm1.dat", "sm2.dat"}) {
        bool keep = false;
        for (const std::string &p : present)
            keep = keep || p == name;
        if (!keep)
            unlink((folder + "/face-data/" + name).c_str());
    }
    std::string err = folder + "/stderr.txt";
    pid_t pid = launch_viewer(server, folder, err);
    int raw = 0;
    ASSERT_TRUE(wait_for_exit(pid, window_deadline, &raw)) << message;
    ASSERT_TRUE(WIFEXITED(raw)) << message;
    EXPECT_EQ(WEXITSTATUS(raw), status) << message;
    EXPECT_EQ(read_file(err), message);
}

TEST_F(WindowTest, MissingFilesEndTheProcessWithTheirMessage)
{
    ASSERT_GE(server.display, 0);
    expect_failure(server, {}, 255, "can't open input file: face-data/line.dat\n");
    expect_failure(server, {"sm1.dat", "sm2.dat"}, 255, "can't open input file: face-data/line.dat\n");
    expect_failure(server, {"line.dat"}, 1, "read_data_matrix failed to open: face-data/sm1.dat\n Is data path correct?");
    expect_failure(server, {"line.dat", "sm1.dat"}, 1,
                   "read_data_matrix failed to open: face-data/sm2.dat\n Is data path correct?");
}
