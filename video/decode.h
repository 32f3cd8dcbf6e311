/* Reading a video's frames with FFmpeg's libraries, upright: a phone
 * stores a portrait video as landscape frames and a display rotation,
 * which is applied as FFmpeg's own command line applies it (multiples of
 * 90 degrees and the flips the display matrix asks for). Frames come in
 * presentation order, timed from the first. */
#ifndef MIENSCOPE_DECODE_H
#define MIENSCOPE_DECODE_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "picture.h"

struct VideoReader;

/* One frame, upright. */
struct VideoFrame {
    double seconds = 0.0;      /* the best-effort presentation time less the first frame's */
    int width = 0, height = 0; /* as displayed */
    std::vector<uint8_t> gray; /* width x height luma (BT.601), rows from the top */
    Picture picture;           /* RGB, when open_video was asked for it */
};

/* The file's best video stream opened; false with FFmpeg's reason (one line). */
bool open_video(const std::string &path, bool with_rgb, VideoReader **out, std::string *reason);
/* The next frame: 1 a frame, 0 the end, -1 a read error (reason set). Frames that fail to decode are
 * skipped and counted. */
int next_video_frame(VideoReader *r, VideoFrame *frame, std::string *reason);
size_t video_frames_failed(const VideoReader *r); /* frames skipped as undecodable so far */
double video_rate(const VideoReader *r);           /* the stream's average frames a second; 30 when unknown */
void close_video(VideoReader *r);

#endif
