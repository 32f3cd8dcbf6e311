/* The viewer started with files: recordings converted in memory show as
 * their imported marker files do, playback keeps the recording's pace,
 * the new keys, and errors that come before any window. */
#include <X11/keysym.h>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <math.h>
#include <time.h>
#include <unistd.h>

#include "window_support.h"

using testing::HasSubstr;

static const std::string source = SOURCE_DIR;

/* The viewer started in folder with this command line; false if no window came. */
static bool open_viewer(const Xserver &server, Viewer *viewer, const std::string &folder,
                        const std::vector<std::string> &args)
{
    viewer->stderr_path = folder + "/stderr.txt";
    viewer->pid = launch_viewer(server, folder, viewer->stderr_path, args);
    return wait_for_window(server, *viewer, window_deadline);
}

/* A picture that stays the same over ten captures in a row. */
static bool wait_for_settled(const Viewer &viewer, Image *settled)
{
    Image previous;
    int same = 0;
    return wait_for_image(
        viewer,
        [&](const Image &i) {
            same = count_colour(i, green) > 0 && i.rgb == previous.rgb ? same + 1 : 0;
            previous = i;
            return same >= 10;
        },
        window_deadline, settled);
}

/* The shown frame of a scene shape, or -1. */
static int shown_frame(const Image &image, const Camera &camera, int shape)
{
    for (int f = 0; f < SCENE_FRAMES; f++)
        if (face_drawn(image, camera, shape, f, green))
            return f;
    return -1;
}

/* The frame whose markers' mean projected row is nearest the mean row of
 * the green pixels: frames of the crafted scene rise by under a pixel
 * each, which a whole face's centroid tells apart. -1 without green. */
static int green_frame(const Image &image, const Camera &camera, int shape)
{
    double rows = 0.0;
    long count = 0;
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++)
            if (colour_at(image, x, y, green)) {
                rows += y + 0.5;
                count++;
            }
    if (count == 0)
        return -1;
    int best = -1;
    double best_distance = 1e9;
    for (int f = 0; f < SCENE_FRAMES; f++) {
        double expected = 0.0, column, row;
        for (int m = 0; m < SCENE_MARKERS; m++) {
            project(camera, scene_position(shape, f, m), &column, &row);
            expected += row / SCENE_MARKERS;
        }
        if (fabs(expected - rows / count) < best_distance) {
            best_distance = fabs(expected - rows / count);
            best = f;
        }
    }
    return best;
}

static std::string import_binary()
{
    return std::string(MIENSCOPE_BINARY).substr(0, std::string(MIENSCOPE_BINARY).rfind('/')) + "/mienscope-import";
}

/* The same recording opened directly and imported into face-data/ as exhibit 1's first face. */
static void expect_same_picture(const Xserver &server, const std::vector<std::string> &open_args,
                                const std::vector<std::string> &import_args, const std::string &what)
{
    std::string folder = make_temp_folder();
    std::vector<std::string> args = import_args;
    args.insert(args.end(), {"--line-file", folder + "/face-data/line.dat"});
    mkdir((folder + "/face-data").c_str(), 0755);
    args.push_back(folder + "/face-data/sm1.dat");
    ProgramRun run = run_program(import_binary(), args);
    ASSERT_EQ(run.status, 0) << run.err;
    write_file(folder + "/face-data/sm2.dat", read_file(folder + "/face-data/sm1.dat"));

    Viewer exhibit, opened;
    Image imported, direct;
    ASSERT_TRUE(open_viewer(server, &exhibit, folder, {}));
    ASSERT_TRUE(wait_for_settled(exhibit, &imported)) << what;
    close_viewer(exhibit);
    std::string elsewhere = make_temp_folder();
    ASSERT_TRUE(open_viewer(server, &opened, elsewhere, open_args));
    ASSERT_TRUE(wait_for_settled(opened, &direct)) << what;
    close_viewer(opened);
    EXPECT_LE(coloured_difference(imported, direct), 0.01) << what;
    EXPECT_GT(count_colour(direct, blue), 1000) << what << ": the set's segments are drawn";
}

TEST_F(WindowTest, RecordingsOpenAsTheirImportedMarkerFilesShow)
{
    ASSERT_GE(server.display, 0);
    std::string c3d = source + "/examples/smile.c3d", set = source + "/examples/face24.set";
    expect_same_picture(server, {"--markers", set, c3d}, {"--markers", set, c3d}, "a C3D with a set");
    std::string csv = source + "/../shared/testdata/openface/smile_demo.csv";
    if (access(csv.c_str(), R_OK) != 0)
        GTEST_SKIP() << "no " << csv << ": the shared test recordings are not beside this checkout";
    expect_same_picture(server, {csv, "--to", "5.9"}, {"--to", "5.9", csv}, "an OpenFace CSV");
    std::string video = source + "/../shared/testdata/video/single_face.mp4";
    expect_same_picture(server, {video}, {video}, "a video, tracked by mienscope-track");
}

TEST_F(WindowTest, PlaybackKeepsThePaceAndTheNewKeysWork)
{
    folder = make_temp_folder();
    make_scene_folder(folder);
    const int sm1 = shape_of("sm1.dat");
    Camera camera;
    /* 6 s at speed 2: frame 179 3 s after the key. */
    ASSERT_TRUE(open_viewer(server, &viewer, folder, {"--duration", "6", "--speed", "2", "face-data/sm1.dat"}));
    ASSERT_TRUE(wait_for_image(viewer, [&](const Image &i) { return face_drawn(i, camera, sm1, 0, green); },
                               window_deadline, nullptr));
    double start = now_seconds();
    send_key(viewer, XK_a);
    ASSERT_TRUE(wait_for_image(viewer, [&](const Image &i) { return face_drawn(i, camera, sm1, 179, green); },
                               window_deadline, nullptr));
    double took = now_seconds() - start;
    EXPECT_GE(took, 2.7);
    EXPECT_LE(took, 3.6);

    /* Speed 1 from frame 0 (Home); space pauses: the frame
     * holds for a second; '.' and ',' move exactly one frame. */
    send_key(viewer, XK_bracketleft);
    send_key(viewer, XK_Home);
    ASSERT_TRUE(wait_for_image(viewer, [&](const Image &i) { return face_drawn(i, camera, sm1, 0, green); },
                               window_deadline, nullptr));
    send_key(viewer, XK_a);
    Image image;
    ASSERT_TRUE(wait_for_image(viewer, [&](const Image &i) { return shown_frame(i, camera, sm1) >= 20; },
                               window_deadline, &image));
    send_key(viewer, XK_space);
    int held = -1;
    ASSERT_TRUE(wait_for_settled(viewer, &image));
    held = green_frame(image, camera, sm1);
    ASSERT_GE(held, 20);
    ASSERT_LT(held, 170);
    EXPECT_FALSE(wait_for_image(viewer, [&](const Image &i) { return green_frame(i, camera, sm1) != held; }, 1.0, nullptr))
        << "paused at frame " << held;
    send_key(viewer, XK_period);
    EXPECT_TRUE(wait_for_image(viewer, [&](const Image &i) { return green_frame(i, camera, sm1) == held + 1; },
                               window_deadline, &image));
    EXPECT_EQ(green_frame(image, camera, sm1), held + 1) << "one frame forward, no more";
    send_key(viewer, XK_comma);
    send_key(viewer, XK_comma);
    EXPECT_TRUE(wait_for_image(viewer, [&](const Image &i) { return green_frame(i, camera, sm1) == held - 1; },
                               window_deadline, &image));
    send_key(viewer, XK_End);
    EXPECT_TRUE(wait_for_image(viewer, [&](const Image &i) { return face_drawn(i, camera, sm1, 179, green); },
                               window_deadline, nullptr));

    /* Turning while it plays slowly, then closing the window mid-playback. */
    for (int i = 0; i < 4; i++)
        send_key(viewer, XK_bracketleft);
    send_key(viewer, XK_a);
    for (int i = 0; i < 10; i++)
        send_key(viewer, XK_Left);
    camera.rotate_y = -20.0;
    EXPECT_TRUE(wait_for_image(
        viewer, [&](const Image &i) { int f = shown_frame(i, camera, sm1); return f >= 0 && f < 100; }, window_deadline,
        nullptr));
    close_window(viewer);
    int status = -1;
    ASSERT_TRUE(wait_for_exit(viewer.pid, window_deadline, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    viewer.pid = -1;
}

/* The columns of the caption's white pixels in the top rows: first and last; -1, -1 without any. */
static std::pair<int, int> caption_columns(const Image &image)
{
    std::pair<int, int> span = {-1, -1};
    for (int y = 0; y < 40 && y < image.height; y++)
        for (int x = 0; x < image.width; x++)
            if (colour_at(image, x, y, white)) {
                span.first = span.first < 0 ? x : std::min(span.first, x);
                span.second = std::max(span.second, x);
            }
    return span;
}

TEST_F(WindowTest, TwoFilesTheirTitleAndPace)
{
    folder = make_temp_folder();
    make_scene_folder(folder);
    const int sm1 = shape_of("sm1.dat"), sm2 = shape_of("sm2.dat");
    Camera camera;
    /* Two marker files: green and red faces where exhibit 1 shows them, and a title that names them. */
    ASSERT_TRUE(open_viewer(server, &viewer, folder, {"--duration", "4", "face-data/sm1.dat", "face-data/sm2.dat"}));
    auto both_at = [&](int frame) {
        return [&, frame](const Image &i) { return face_drawn(i, camera, sm1, frame, green) && face_drawn(i, camera, sm2, frame, red); };
    };
    ASSERT_TRUE(wait_for_image(viewer, both_at(0), window_deadline, nullptr));
    EXPECT_EQ(window_title(viewer), "Mienscope - sm1.dat, sm2.dat");

    /* ']' doubles the speed: 4 s of frames in 2 s. */
    send_key(viewer, XK_bracketright);
    double start = now_seconds();
    send_key(viewer, XK_c);
    ASSERT_TRUE(wait_for_image(viewer, both_at(179), window_deadline, nullptr));
    double took = now_seconds() - start;
    EXPECT_GE(took, 1.8);
    EXPECT_LE(took, 2.4);

    /* At speed 2, a pause at a frame, and the playback goes on from there. */
    send_key(viewer, XK_Home);
    send_key(viewer, XK_a);
    Image image;
    ASSERT_TRUE(wait_for_image(
        viewer, [&](const Image &i) { int f = shown_frame(i, camera, sm1); return f >= 40 && f < 120; }, window_deadline,
        &image));
    send_key(viewer, XK_space);
    ASSERT_TRUE(wait_for_settled(viewer, &image));
    int held = green_frame(image, camera, sm1);
    ASSERT_GE(held, 40);
    ASSERT_LT(held, 150);
    send_key(viewer, XK_space);
    int resumed = -1;
    ASSERT_TRUE(wait_for_image(
        viewer, [&](const Image &i) { return (resumed = green_frame(i, camera, sm1)) != held; }, window_deadline, nullptr));
    EXPECT_GT(resumed, held);
    EXPECT_LE(resumed, held + 20) << "resumed from frame " << held;
    close_viewer(viewer);

    /* The exhibits keep their title. */
    ASSERT_TRUE(open_viewer(server, &viewer, folder, {}));
    EXPECT_EQ(window_title(viewer), "Mienscope by Tarnwell - Average Smile");
    close_viewer(viewer);
}

TEST_F(WindowTest, PlaySpeedLimitsAndALongCaption)
{
    folder = make_temp_folder();
    make_scene_folder(folder);
    const int sm1 = shape_of("sm1.dat");
    Camera camera;
    /* --play: the faces play with no key pressed. */
    ASSERT_TRUE(open_viewer(server, &viewer, folder, {"--play", "--duration", "2", "face-data/sm1.dat"}));
    ASSERT_TRUE(wait_for_image(viewer, [&](const Image &i) { return face_drawn(i, camera, sm1, 179, green); },
                               window_deadline, nullptr));
    close_viewer(viewer);

    /* The documented limits of --speed open a window. */
    for (const char *speed : {"0.05", "20"}) {
        ASSERT_TRUE(open_viewer(server, &viewer, folder, {"--speed", speed, "face-data/sm1.dat"})) << speed;
        EXPECT_TRUE(wait_for_image(viewer, [&](const Image &i) { return face_drawn(i, camera, sm1, 0, green); },
                                   window_deadline, nullptr)) << speed;
        close_viewer(viewer);
    }

    /* A caption too long to start at the middle ends inside the window. */
    std::string left = folder + "/sm1-left-side-weak.dat", right = folder + "/sm2-recovered.dat";
    write_file(left, read_file(folder + "/face-data/sm1.dat"));
    write_file(right, read_file(folder + "/face-data/sm2.dat"));
    ASSERT_TRUE(open_viewer(server, &viewer, folder, {"--speed", "0.5", left, right}));
    Image image;
    ASSERT_TRUE(wait_for_image(viewer, [&](const Image &i) { return caption_columns(i).second > 0; }, window_deadline,
                               &image));
    std::pair<int, int> span = caption_columns(image);
    EXPECT_LT(span.second, image.width - 2) << "the caption's last pixel";
    EXPECT_LT(span.first, image.width / 2 - 100) << "it starts left of the middle";
    EXPECT_GT(span.second - span.first, 400) << "all of it is there";
}

TEST(ViewerFiles, ErrorsComeBeforeAnyWindow)
{
    std::string folder = make_temp_folder();
    make_scene_folder(folder);
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"--speed", "30", "face-data/sm1.dat"}, 2, "mienscope: --speed \"30\" is not a number from 0.05 to 20\nUsage: "},
        {{"--duration", "0", "face-data/sm1.dat"}, 2, "mienscope: --duration \"0\""},
        {{"a.dat", "b.dat", "c.dat"}, 2, "mienscope: at most two files, FIRST and SECOND\nUsage: "},
        {{"--bogus", "face-data/sm1.dat"}, 2, "mienscope: \"--bogus\" is not an option or lacks its value\nUsage: "},
        {{"none.dat"}, 1, "none.dat: can't be read: No such file or directory\n"},
        {{"face-data/sm1.dat", "none.dat"}, 1, "none.dat: can't be read: No such file or directory\n"},
        {{"--line-file", "nosuch.dat", "face-data/sm1.dat"}, 1, "nosuch.dat: can't be read: No such file or directory\n"},
        {{source + "/examples/smile.c3d"}, 1, source + "/examples/smile.c3d: holds 28 markers, not 24; --markers SET chooses 24 of them\n"},
        {{"--markers", source + "/examples/face24.set", "--to", "4", source + "/examples/smile.c3d"}, 2,
         "mienscope: --from 0 and --to 4: the part shown must lie within 0 .. 2.99 s"},
    };
    for (const auto &c : cases) {
        ProgramRun run = run_program(MIENSCOPE_BINARY, c.args, "", folder, true);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_THAT(run.err, HasSubstr(c.message));
        EXPECT_THAT(run.err, testing::Not(HasSubstr("display"))) << "no window was tried";
    }
    ProgramRun help = run_program(MIENSCOPE_BINARY, {"--help"}, "", folder, true);
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("mienscope [OPTION]... FIRST [SECOND]"));

    /* Good files and no display, with files and without: the program's own line, status 1. */
    for (const std::vector<std::string> &args : {std::vector<std::string>{"face-data/sm1.dat"}, std::vector<std::string>{}}) {
        ProgramRun run = run_program(MIENSCOPE_BINARY, args, "", folder, true);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "mienscope: can't open a window: failed to open display '' (DISPLAY is not set: run it "
                           "from a graphical session)\n");
    }
}
