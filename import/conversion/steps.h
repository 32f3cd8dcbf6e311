/* The conversion's steps, shared by the files that make up the one call
 * in convert.h; no caller outside this folder uses them. */
#ifndef MIENSCOPE_CONVERSION_STEPS_H
#define MIENSCOPE_CONVERSION_STEPS_H

#include <stddef.h>

#include <string>
#include <vector>

#include "convert.h"

/* The part of the recording shown, in seconds from its first frame, and
 * the input frames that resampling it reads. */
struct Span {
    double from, to;
    size_t first, last;
};

/* Positions of the selected points in millimetres and the recording's
 * axes, [frame][track][axis]: tracks 0 .. markers-1 are the selection's
 * markers in marker order, the rest its rigid points. */
struct Tracks {
    size_t frames = 0;
    size_t points = 0;
    size_t markers = 0;
    std::vector<double> xyz;
    std::vector<unsigned char> valid; /* [frame][track] */
};

/* Moves each frame of the span so that its rigid tracks best match those of frame 0; error names the set. */
bool align_to_first_frame(const Span &span, Tracks *tracks, const std::string &set_name, std::string *error);

#endif
