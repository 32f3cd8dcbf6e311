/* Videos opened by running mienscope-track as a process of its own (found
 * beside the running program, else on PATH): a decoder that fails on a
 * damaged or hostile file ends that process, never the program that asked. */
#ifndef MIENSCOPE_TRACKER_H
#define MIENSCOPE_TRACKER_H

#include <stdint.h>

#include <string>
#include <vector>

#include "opening.h"

/* The video's face as mienscope-track's OpenFace table; its warnings on standard error; returns the exit
 * status, the message in error. */
int track_video_file(const std::string &path, const TrackingOptions &options, std::vector<uint8_t> *table,
                     std::string *error);
/* The tables of the videos among the files (two or more), tracked ahead by one mienscope-track that loads
 * its libraries and model once and tracks up to a video a core at once; track_video_file then takes each
 * (its warnings passed on then), in any order, and tracks by itself any video the run did not say. */
void track_videos_ahead(const std::vector<std::string> &paths, const TrackingOptions &options);
/* A video's frames asked of videos_stills: those nearest the times (seconds from its first frame), whole,
 * with the tracked points drawn, come back as PNG files' bytes, with the exit status and its message. */
struct StillsRequest {
    std::string path;
    std::vector<double> seconds;
    std::vector<std::vector<uint8_t>> pngs;
    int status = EXIT_DONE;
    std::string error;
};

/* Every request's frames, from mienscope-track likewise, up to a video a core at once; the runs' warnings
 * on standard error in the requests' order. */
void videos_stills(const TrackingOptions &options, std::vector<StillsRequest> *requests);

#endif
