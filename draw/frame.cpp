#include "frame.h"

#include <GL/gl.h>
#include <GL/glu.h>

static const float first_face_colour[3] = {0.0f, 1.0f, 0.0f};  /* green */
static const float second_face_colour[3] = {1.0f, 0.0f, 0.0f}; /* red */
const int default_view_width = 640;
const int default_view_height = 1024;

static const double field_of_view = 40.0; /* degrees, vertical */
static const double near_plane = 1.0;
static const double far_plane = 200.0;

void draw_gl_state(void)
{
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
}

void draw_projection(int width, int height)
{
    if (height == 0)
        height = 1;
    if (width == 0)
        width = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(field_of_view, (double)width / height, near_plane, far_plane);
    glMatrixMode(GL_MODELVIEW);
}

void draw_clear(void)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

/* With the model-view identity (draw_clear) and the projection's too, the
 * raster position is in normalised device coordinates: the caption starts
 * at the horizontal centre, just below the top edge. The colour is set
 * first, since the raster position takes the current colour. */
void caption_begin(void)
{
    caption_begin_at(0.0f);
}

void caption_begin_at(float x)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 1.0f);
    glRasterPos2f(x, 0.95f);
}

void caption_end(void)
{
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

/* T * Rx * Ry on the current model-view matrix: a vertex turns about y,
 * then about x, then moves zoom units away. Only the first face's segments
 * are drawn when both faces are. */
void draw_faces(const FrameView *view)
{
    glTranslatef(0.0f, 0.0f, -view->zoom);
    glRotatef(view->rotate_x, 1.0f, 0.0f, 0.0f);
    glRotatef(view->rotate_y, 0.0f, 1.0f, 0.0f);
    glEnable(GL_LIGHTING);
    if (view->shown[0]) {
        display_markers(view->first, view->frame, first_face_colour);
        display_lines(view->first, view->frame);
    }
    if (view->shown[1]) {
        display_markers(view->second, view->frame, second_face_colour);
        if (!view->shown[0])
            display_lines(view->second, view->frame);
    }
}
