/* An OpenGL compatibility-profile context with no display: EGL on Mesa's
 * surfaceless platform, drawing into a framebuffer object of colour and
 * depth renderbuffers, so that the viewer's fixed-function drawing runs
 * on a server with no X. */
#ifndef MIENSCOPE_OFFSCREEN_H
#define MIENSCOPE_OFFSCREEN_H

#include <stdint.h>

#include <string>
#include <vector>

#include "caption.h"
#include "frame.h"
#include "picture.h"

struct Offscreen;

/* Before open_offscreen, for videos: Mesa's software rasteriser (llvmpipe) draws with threads of its own,
 * one a processor by default, which on a small machine take the processors that encoding the frames needs:
 * it is asked to leave two, unless LP_NUM_THREADS says otherwise. */
void leave_cores_to_encoding(void);
/* A current context drawing into width x height; false with what failed (one line). */
bool open_offscreen(int width, int height, Offscreen **out, std::string *error);
void read_picture(const Offscreen *o, Picture *picture); /* what has been drawn, after glFinish */
/* One frame as the viewer's display handler draws it (caption, with font when not null, then the faces),
 * read back; the GL state and projection set up beforehand (draw_gl_state, draw_projection). */
void draw_picture(const FrameView *view, CaptionFont *font, const std::string &caption, const Offscreen *o,
                  Picture *picture);
void close_offscreen(Offscreen *o);

#endif
