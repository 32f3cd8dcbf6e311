/* Pictures to trust a tracking by: the video itself, upright, with the 68
 * points drawn on every frame where the face was found and none on the
 * others, as an MP4 at the frames' own times, or single frames as PNGs. */
#ifndef MIENSCOPE_OVERLAY_H
#define MIENSCOPE_OVERLAY_H

#include <string>
#include <vector>

#include "tracking.h"

/* A frame asked for: the one nearest `seconds` (from the first frame), written to path. */
struct StillRequest {
    double seconds = 0.0;
    std::string path;
};

/* Decodes the video again and writes the overlay (unless overlay is "") and the stills, each to its path
 * as given; false with one line. An odd width or height gets one black column or row more, as H.264
 * wants even sizes. */
bool draw_tracking(const std::string &video, const TrackedVideo &tracked, const std::string &overlay,
                   const std::vector<StillRequest> &stills, std::string *error);

#endif
