/* Drawing and encoding at once: the frames are drawn on the calling thread
 * (which holds the OpenGL context) and handed to a second thread that
 * encodes them, so that the next frame is drawn while the last is
 * converted and compressed. At most a few pictures wait between the two,
 * so memory stays bounded whatever the length of the video. */
#ifndef MIENSCOPE_OVERLAP_H
#define MIENSCOPE_OVERLAP_H

#include <functional>
#include <string>

#include "offscreen.h"

/* draw(k, picture) for k = 0 .. frames - 1 here, add(picture, error) for each in order on the encoding
 * thread; false with add's error once one fails (the frames after it are neither drawn nor added). */
bool draw_and_encode(int frames, const std::function<void(int, Picture *)> &draw,
                     const std::function<bool(const Picture &, std::string *)> &add, std::string *error);

#endif
