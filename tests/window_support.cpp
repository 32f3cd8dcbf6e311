#include "window_support.h"

#include <math.h>
#include <stdlib.h>

#include <algorithm>

/* A viewer under valgrind draws a frame in about a second, not a millisecond. */
const double window_deadline = getenv("MIENSCOPE_VIEWER_PREFIX") ? 900.0 : 20.0;
const Rgb green = {0, 255, 0}, red = {255, 0, 0}, blue = {0, 0, 255}, white = {255, 255, 255};

Xserver WindowTest::server;

void WindowTest::SetUpTestSuite()
{
    server = start_xserver();
}

void WindowTest::TearDownTestSuite()
{
    stop_xserver(server);
}

void WindowTest::TearDown()
{
    close_viewer(viewer);
}

bool WindowTest::start_viewer()
{
    if (server.display < 0)
        return false;
    folder = make_temp_folder();
    make_scene_folder(folder);
    viewer.stderr_path = folder + "/stderr.txt";
    viewer.pid = launch_viewer(server, folder, viewer.stderr_path);
    return wait_for_window(server, viewer, window_deadline);
}

bool WindowTest::start_viewer_on_exhibit_1()
{
    return start_viewer() &&
           wait_for_image(
               viewer, [](const Image &i) { return face_drawn(i, Camera(), shape_of("sm1.dat"), 0, green); },
               window_deadline, nullptr);
}

static bool same(const unsigned char *p, Rgb c)
{
    return p[0] == c.r && p[1] == c.g && p[2] == c.b;
}

bool colour_at(const Image &image, double column, double row, Rgb colour, int radius)
{
    int cx = (int)floor(column), cy = (int)floor(row);
    for (int y = cy - radius; y <= cy + radius; y++)
        for (int x = cx - radius; x <= cx + radius; x++)
            if (x >= 0 && y >= 0 && x < image.width && y < image.height && same(image.at(x, y), colour))
                return true;
    return false;
}

long count_colour(const Image &image, Rgb colour)
{
    long n = 0;
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++)
            n += same(image.at(x, y), colour);
    return n;
}

/* Radius of the disc of the colour around (column, row): the median, over
 * 16 directions, of the distance to where the colour ends. A median, since
 * a neighbouring marker can touch the disc on one side. */
static double disc_radius(const Image &image, double column, double row, Rgb colour, double reach)
{
    const double pi = 3.14159265358979323846;
    std::vector<double> lengths;
    for (int k = 0; k < 16; k++) {
        double dx = cos(k * pi / 8), dy = sin(k * pi / 8), length = 0.0;
        while (length < reach && colour_at(image, column + length * dx, row + length * dy, colour))
            length += 0.25;
        lengths.push_back(length);
    }
    std::sort(lengths.begin(), lengths.end());
    return (lengths[7] + lengths[8]) / 2;
}

/* Every marker's centre pixel shows its colour, not the blue of a segment
 * that ends there (the depth test hides the segment inside the sphere),
 * and its disc is as large as a sphere of radius 0.03 at that depth. */
bool face_drawn(const Image &image, const Camera &camera, int shape, int frame, Rgb colour)
{
    for (int m = 0; m < SCENE_MARKERS; m++) {
        Point3 p = scene_position(shape, frame, m);
        double column, row;
        if (!project(camera, p, &column, &row) || !colour_at(image, column, row, colour))
            return false;
        double expected = marker_radius_pixels(camera, p);
        double measured = disc_radius(image, column, row, colour, 2 * expected + 2);
        if (measured < 0.8 * expected || measured > 1.25 * expected)
            return false;
    }
    return true;
}

static bool midpoint_blue(const Image &image, const Camera &camera, int shape, int frame, int segment)
{
    Point3 a = scene_position(shape, frame, scene_segments[segment][0]);
    Point3 b = scene_position(shape, frame, scene_segments[segment][1]);
    Point3 mid = {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
    double column, row;
    return project(camera, mid, &column, &row) && colour_at(image, column, row, blue, 1);
}

bool segments_drawn(const Image &image, const Camera &camera, int shape, int frame)
{
    for (int i = 0; i < SCENE_SEGMENTS; i++)
        if (!midpoint_blue(image, camera, shape, frame, i))
            return false;
    return true;
}

bool no_segment_drawn(const Image &image, const Camera &camera, int shape, int frame)
{
    for (int i = 0; i < SCENE_SEGMENTS; i++)
        if (midpoint_blue(image, camera, shape, frame, i))
            return false;
    return true;
}

/* Which of green, red and blue a pixel is, 0 for none: near the pure
 * colour, so that a video's compression does not change the answer. */
static int colour_class(const unsigned char *p)
{
    if (p[1] > 160 && p[0] < 100 && p[2] < 100)
        return 1;
    if (p[0] > 160 && p[1] < 100 && p[2] < 100)
        return 2;
    if (p[2] > 160 && p[0] < 100 && p[1] < 100)
        return 3;
    return 0;
}

/* Pixels of each colour that one picture has and the other lacks, as a
 * share of all coloured pixels of both. */
double coloured_difference(const Image &a, const Image &b)
{
    if (a.width != b.width || a.height != b.height)
        return 1.0;
    long differing = 0, coloured = 0;
    for (int y = 0; y < a.height; y++)
        for (int x = 0; x < a.width; x++) {
            int ca = colour_class(a.at(x, y)), cb = colour_class(b.at(x, y));
            coloured += (ca != 0) + (cb != 0);
            differing += ca != cb ? (ca != 0) + (cb != 0) : 0;
        }
    return coloured ? (double)differing / coloured : 1.0;
}
