/* A looping animated GIF (giflib) of pictures drawn offscreen, written to
 * the path it is given; the program writes to a temporary name and puts it
 * in place only when complete. */
#ifndef MIENSCOPE_GIF_H
#define MIENSCOPE_GIF_H

#include <string>

#include "picture.h"

struct GifWriter;

/* Each frame lasts delay hundredths of a second; the animation loops. */
bool gif_open(const std::string &path, int width, int height, int delay, GifWriter **out, std::string *error);
bool gif_add(GifWriter *w, const Picture &picture, std::string *error);
bool gif_finish(GifWriter *w, std::string *error); /* closes the file, frees w */

#endif
