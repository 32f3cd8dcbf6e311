/* Crafted recordings whose normalised positions are known by construction,
 * and the camera model worked out independently of the viewer's code. */
#ifndef MIENSCOPE_SCENE_H
#define MIENSCOPE_SCENE_H

#include <string>

#include "face_files.h"

struct Point3 {
    double x, y, z;
};

struct Camera {
    double rotate_x = 0.0; /* degrees, applied after rotate_y */
    double rotate_y = 0.0; /* degrees */
    double zoom = 5.0;     /* eye to origin along the view axis */
    int width = 640;
    int height = 1024;
};

enum { SCENE_SHAPES = 8, SCENE_MARKERS = FACE_MARKERS, SCENE_FRAMES = FACE_FRAMES, SCENE_SEGMENTS = 10 };

extern const int scene_segments[SCENE_SEGMENTS][2];

std::string scene_markers(int shape);                      /* a marker file of the given shape */
std::string scene_lines();                                 /* the line file for scene_segments */
Point3 scene_position(int shape, int frame, int marker);   /* where the viewer should put that marker */
bool project(const Camera &camera, Point3 p, double *column, double *row); /* window pixel; false if clipped */
double marker_radius_pixels(const Camera &camera, Point3 p); /* radius of a marker's disc centred at p */
void make_scene_folder(const std::string &folder);         /* face-data/ with line.dat and all eight files */
int shape_of(const char *file);                            /* which shape make_scene_folder gave that file */

#endif
