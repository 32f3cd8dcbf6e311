#include "scene.h"

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "xharness.h"

/* A 6 x 4 grid: columns at x = -5, -3, ..., 5, rows at y = (-3, -1, 1, 3)
 * times the shape's spread, z = +1/4 or -1/4 in a checkerboard, plus a capture
 * offset. Every value is a short binary fraction, so centring is exact, the
 * first frame's largest absolute coordinate is x = 5, and the viewer must
 * show each coordinate divided by 5. Later frames rise by frame / 64, and
 * the last frame by a further 1/2, so that it can't be taken for frame 178. */
static const double capture_offset[3] = {300.0, 1200.0, -700.0};

const int scene_segments[SCENE_SEGMENTS][2] = {
    {6, 7}, {7, 8}, {8, 9}, {9, 10}, {10, 11}, {12, 13}, {13, 14}, {14, 15}, {15, 16}, {16, 17},
};

/* One file a shape. The spreads differ enough that each file is told from
 * the others, and the rows of the two faces of every exhibit (and of F2's
 * kept second face) lie at least 0.375 apart, more than a sphere's width. */
static const char *const scene_files[SCENE_SHAPES] = {
    "sm1.dat", "sm2.dat", "smaa.dat", "smpcd.dat", "smpcu.dat", "smnn.dat", "smnl.dat", "smll.dat",
};
static const double spreads[SCENE_SHAPES] = {0.1875, 1.0, 1.5, 0.3125, 1.3125, 1.125, 0.5, 0.625};

static double spread(int shape)
{
    return spreads[shape];
}

static Point3 grid_point(int shape, int frame, int marker)
{
    int column = marker % 6;
    int row = marker / 6;
    double rise = frame / 64.0 + (frame == SCENE_FRAMES - 1 ? 0.5 : 0.0);
    return Point3{-5.0 + 2.0 * column, (-3.0 + 2.0 * row) * spread(shape) + rise,
                  (column + row) % 2 ? 0.25 : -0.25};
}

Point3 scene_position(int shape, int frame, int marker)
{
    Point3 p = grid_point(shape, frame, marker);
    return Point3{p.x / 5.0, p.y / 5.0, p.z / 5.0};
}

std::string scene_markers(int shape)
{
    std::string text;
    char line[128];
    for (int f = 0; f < SCENE_FRAMES; f++)
        for (int m = 0; m < SCENE_MARKERS; m++) {
            Point3 p = grid_point(shape, f, m);
            /* the file holds (-z, y, x) */
            snprintf(line, sizeof line, "%.6f %.6f %.6f\n", -(p.z + capture_offset[2]), p.y + capture_offset[1],
                     p.x + capture_offset[0]);
            text += line;
        }
    return text;
}

std::string scene_lines()
{
    std::string text = std::to_string(SCENE_SEGMENTS) + "\n";
    for (const auto &s : scene_segments)
        text += std::to_string(s[0]) + " " + std::to_string(s[1]) + "\n";
    return text;
}

/* Where p lies before the projection: turned about y, then about x, then
 * moved zoom units away from the eye. depth is the distance along the view
 * axis. */
static void to_eye(const Camera &camera, Point3 p, double *x, double *y, double *depth)
{
    const double pi = 3.14159265358979323846;
    double ay = camera.rotate_y * pi / 180.0, ax = camera.rotate_x * pi / 180.0;
    double z1 = -p.x * sin(ay) + p.z * cos(ay);
    *x = p.x * cos(ay) + p.z * sin(ay);
    *y = p.y * cos(ax) - z1 * sin(ax);
    *depth = camera.zoom - (p.y * sin(ax) + z1 * cos(ax));
}

/* Perspective of 40 degrees vertically, near 1, far 200. */
static double focal_length()
{
    return 1.0 / tan(20.0 * 3.14159265358979323846 / 180.0);
}

bool project(const Camera &camera, Point3 p, double *column, double *row)
{
    double x, y, depth;
    to_eye(camera, p, &x, &y, &depth);
    if (depth < 1.0 || depth > 200.0)
        return false;
    double aspect = (double)camera.width / camera.height;
    double ndc_x = focal_length() / aspect * x / depth;
    double ndc_y = focal_length() * y / depth;
    *column = (ndc_x + 1.0) / 2.0 * camera.width;
    *row = (1.0 - ndc_y) / 2.0 * camera.height;
    return true;
}

/* A sphere of radius r at distance d subtends a cone of half-angle
 * asin(r / d); its outline on the image is a disc of radius
 * focal * r / sqrt(d^2 - r^2) in device units, half the height in pixels. */
double marker_radius_pixels(const Camera &camera, Point3 p)
{
    const double radius = 0.03;
    double x, y, depth;
    to_eye(camera, p, &x, &y, &depth);
    return focal_length() * radius / sqrt(depth * depth - radius * radius) * camera.height / 2.0;
}

int shape_of(const char *file)
{
    for (int k = 0; k < SCENE_SHAPES; k++)
        if (strcmp(file, scene_files[k]) == 0)
            return k;
    return -1;
}

void make_scene_folder(const std::string &folder)
{
    std::string data = folder + "/face-data";
    mkdir(data.c_str(), 0755);
    write_file(data + "/line.dat", scene_lines());
    for (int k = 0; k < SCENE_SHAPES; k++)
        write_file(data + "/" + scene_files[k], scene_markers(k));
}
