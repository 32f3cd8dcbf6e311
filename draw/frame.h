/* The viewer's picture, drawn with fixed-function OpenGL and GLU into
 * whatever context is current: the window's, or an offscreen one. No
 * toolkit is used here, so the viewer and mienscope-render draw the same
 * pixels. Coordinates are the normalised ones of face records; the camera
 * looks down -z from zoom units away, after turning the faces about y and
 * then about x. */
#ifndef MIENSCOPE_FRAME_H
#define MIENSCOPE_FRAME_H

#include "head.h"

/* What one frame shows. */
typedef struct {
    const FACE *first;  /* drawn green */
    const FACE *second; /* drawn red */
    int shown[2];       /* non-zero: first / second is drawn */
    int frame;          /* frame index of both */
    float rotate_x;     /* degrees about x, applied after rotate_y */
    float rotate_y;     /* degrees about y */
    float zoom;         /* distance from the eye to the faces' origin */
} FrameView;

extern const int default_view_width;      /* 640: the viewer's window */
extern const int default_view_height;     /* 1024 */

void draw_gl_state(void);                     /* depth cleared to 1.0, test LEQUAL, on; nothing else set */
void draw_projection(int width, int height);  /* viewport and 40-degree perspective, near 1, far 200; 0 sizes as 1 */
void draw_clear(void);                        /* colour and depth buffers cleared; model-view identity */
void caption_begin(void);                     /* raster position (0, 0.95) of the whole view, white, unlit, no depth test */
void caption_begin_at(float x);               /* the same at (x, 0.95) */
void caption_end(void);                       /* lighting and depth test back on, model-view selected */
void draw_faces(const FrameView *view);       /* camera, then markers, with segments on the first face shown */

#endif
