#include "overlay.h"

#include <math.h>

#include <algorithm>

#include "decode.h"
#include "encode.h"

/* The points: green discs a little larger on larger frames, so they show at any size. */
static void draw_points(const TrackedFrame &tracked, Picture *picture)
{
    int radius = std::max(2, (int)lround(std::min(picture->width, picture->height) / 240.0));
    for (size_t i = 0; i + 1 < tracked.xy.size(); i += 2) {
        long cx = lround(tracked.xy[i]), cy = lround(tracked.xy[i + 1]);
        for (long y = cy - radius; y <= cy + radius; y++)
            for (long x = cx - radius; x <= cx + radius; x++) {
                bool inside = (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
                if (!inside || x < 0 || y < 0 || x >= picture->width || y >= picture->height)
                    continue;
                uint8_t *p = &picture->rgb[((size_t)y * picture->width + x) * 3];
                p[0] = 0;
                p[1] = 255;
                p[2] = 0;
            }
    }
}

/* For each still, the index of the frame nearest its time. */
static std::vector<size_t> still_frames(const TrackedVideo &tracked, const std::vector<StillRequest> &stills)
{
    std::vector<size_t> nearest;
    for (const StillRequest &still : stills) {
        size_t best = 0;
        for (size_t f = 1; f < tracked.frames.size(); f++)
            if (fabs(tracked.frames[f].seconds - still.seconds) < fabs(tracked.frames[best].seconds - still.seconds))
                best = f;
        nearest.push_back(best);
    }
    return nearest;
}

/* The frame decoded in the same order as when it was tracked; its points when the times agree. */
static bool add_frame(size_t f, VideoFrame &frame, const TrackedVideo &tracked, const std::string &overlay,
                      Mp4Writer **mp4, double rate, std::string *error)
{
    if (f < tracked.frames.size() && fabs(tracked.frames[f].seconds - frame.seconds) < 1e-5 && tracked.frames[f].found)
        draw_points(tracked.frames[f], &frame.picture);
    if (overlay.empty())
        return true;
    Picture even = padded_to_even(frame.picture);
    if (!*mp4 && !mp4_open_timed(overlay, even.width, even.height, rate, mp4, error))
        return false;
    return mp4_add_at(*mp4, even, frame.seconds, error);
}

bool draw_tracking(const std::string &video, const TrackedVideo &tracked, const std::string &overlay,
                   const std::vector<StillRequest> &stills, std::string *error)
{
    VideoReader *reader = nullptr;
    std::string reason;
    if (!open_video(video, true, &reader, &reason)) {
        *error = video + ": can't be read as a video: " + reason;
        return false;
    }
    std::vector<size_t> wanted = still_frames(tracked, stills);
    size_t written = 0;
    Mp4Writer *mp4 = nullptr;
    VideoFrame frame;
    bool ok = true;
    /* Without an overlay, decoding stops at the last still's frame. */
    for (size_t f = 0; ok && (!overlay.empty() || written < stills.size()) &&
                       next_video_frame(reader, &frame, &reason) > 0;
         f++) {
        ok = add_frame(f, frame, tracked, overlay, &mp4, video_rate(reader), error);
        for (size_t s = 0; s < stills.size() && ok; s++)
            if (wanted[s] == f) {
                ok = write_png_file(frame.picture, stills[s].path, error);
                written++;
            }
    }
    close_video(reader);
    if (mp4)
        ok = mp4_finish(mp4, ok ? error : nullptr) && ok;
    if (ok && (written < stills.size() || (!overlay.empty() && !mp4))) {
        *error = video + ": can't be read as a video: its frames did not decode again as they did when tracked";
        ok = false;
    }
    return ok;
}
