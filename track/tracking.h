/* One face followed through a video: its 68 landmarks in every frame
 * where the detector finds it near its last place, the other frames
 * failed. The face is the largest in the first frame where one is found,
 * then the one nearest its last place; its box is kept while the detector
 * finds it in the same place, so that a still face gives still points. */
#ifndef MIENSCOPE_TRACKING_H
#define MIENSCOPE_TRACKING_H

#include <stddef.h>

#include <functional>
#include <string>
#include <vector>

#include "landmarks.h"

struct TrackedFrame {
    double seconds = 0.0;      /* from the first frame */
    int width = 0, height = 0; /* the upright frame's pixels */
    bool found = false;
    std::vector<double> xy;    /* 2 x FACE_LANDMARKS: x, y of each point in pixels; empty when not found */
};

struct TrackedVideo {
    std::vector<TrackedFrame> frames; /* every frame decoded, in presentation order */
    size_t undecodable = 0;           /* frames skipped because they could not be decoded */
    std::string stopped;              /* why reading stopped before the file's end, or "" */
};

/* Loads the landmark model: false with a message that names the file. */
typedef std::function<bool(LandmarkModel *model, std::string *error)> ModelLoader;

/* Decodes and tracks the video, the model loaded into *model meanwhile on a thread of its own. False with
 * one line: "VIDEO: can't be read as a video: REASON", or the loader's message. */
bool track_video(const std::string &video, const ModelLoader &load_model, LandmarkModel *model, TrackedVideo *out,
                 std::string *error);
size_t frames_found(const TrackedVideo &video); /* how many frames have the face */

#endif
