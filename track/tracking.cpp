/* Two threads and the caller's, then one more a core: one decodes; one
 * finds the face, frame by frame in order, so that every choice depends
 * only on the frames before it and a video gives the same rows on every
 * run; the caller's loads the landmark model and then, with a thread for
 * every other core, places the landmarks of the frames whose face is
 * settled, several frames at a time.
 *
 * Once the face is found (in frame f0), the detector confirms it in
 * every other frame, f0 + 2, f0 + 4, ..., searching near where it was two
 * frames before. A frame between two confirmed ones takes the middle of
 * their boxes; where either of them failed, the frame between is
 * searched itself. So no frame next to a failed one is given the face
 * without the detector seeing it there, and the detector's work, the
 * larger part of the time, is halved. */
#include "tracking.h"

#include <math.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "decode.h"
#include "faces.h"

namespace {

/* A frame on its way: decoded, then given its face's box, then its landmarks. */
struct Job {
    size_t index = 0;
    VideoFrame frame;
    bool found = false;
    FaceBox box;
};

/* A queue between two threads, holding at most `room` jobs. */
struct Queue {
    std::deque<Job> jobs;
    size_t room = 4;
    bool closed = false; /* no job will come */
};

struct Pipeline {
    std::mutex lock;
    std::condition_variable changed;
    Queue decoded, settled;
    bool failed = false;      /* stop: the model could not be loaded */
    TrackedVideo *out = nullptr;
    FaceFinder *finder = nullptr; /* the follower's; opened and closed by track_video */
};

/* Puts the job at the end of the queue when there is room; false when the run stopped. */
bool put(Pipeline *p, Queue *q, Job job)
{
    std::unique_lock<std::mutex> hold(p->lock);
    p->changed.wait(hold, [&] { return q->jobs.size() < q->room || p->failed; });
    if (p->failed)
        return false;
    q->jobs.push_back(std::move(job));
    p->changed.notify_all();
    return true;
}

/* The queue's first job; false when it is closed and empty, or the run stopped. */
bool take(Pipeline *p, Queue *q, Job *job)
{
    std::unique_lock<std::mutex> hold(p->lock);
    p->changed.wait(hold, [&] { return !q->jobs.empty() || q->closed || p->failed; });
    if (q->jobs.empty() || p->failed)
        return false;
    *job = std::move(q->jobs.front());
    q->jobs.pop_front();
    p->changed.notify_all();
    return true;
}

void close_queue(Pipeline *p, Queue *q)
{
    std::lock_guard<std::mutex> hold(p->lock);
    q->closed = true;
    p->changed.notify_all();
}

/* Room in each queue for as many frames as 32 MB of grey pixels hold (from 4 to 256): the decoder and
 * the detector go on while the model is read (some 0.15 s, a hundred frames of 640 x 360) rather than
 * wait for the landmarks to take their first frames. */
void size_queues(Pipeline *p, const VideoFrame &frame)
{
    size_t room = ((size_t)32 << 20) / std::max<size_t>(1, (size_t)frame.width * frame.height);
    std::lock_guard<std::mutex> hold(p->lock);
    p->decoded.room = p->settled.room = std::min<size_t>(256, std::max<size_t>(4, room));
}

void decode_frames(VideoReader *reader, Pipeline *p)
{
    std::string reason;
    Job job;
    int got;
    while ((got = next_video_frame(reader, &job.frame, &reason)) > 0) {
        if (job.index == 0)
            size_queues(p, job.frame);
        if (!put(p, &p->decoded, std::move(job)))
            break;
        job.index++;
    }
    std::lock_guard<std::mutex> hold(p->lock);
    p->out->stopped = got < 0 ? reason : "";
    p->out->undecodable = video_frames_failed(reader);
    p->decoded.closed = true;
    p->changed.notify_all();
}

long centre_distance_squared(const FaceBox &a, const FaceBox &b)
{
    long dx = (a.left + a.right) - (b.left + b.right), dy = (a.top + a.bottom) - (b.top + b.bottom);
    return dx * dx + dy * dy;
}

long area(const FaceBox &b)
{
    return (b.right - b.left + 1) * (b.bottom - b.top + 1);
}

/* Whether a box found is the face where it was: its centre within a sixteenth of the face's width on
 * each axis (less than a HOG cell of the detector's 80-pixel window, a tenth), its size within a tenth
 * (less than a step of its pyramid, 6/5). The detector places a box only to the nearest cell and scale,
 * and where in the frame its search window starts moves both: keeping the box it had makes a still
 * face's landmarks still, while a face that moves or grows by more takes the new box. */
bool same_place(const FaceBox &found, const FaceBox &was)
{
    double width = was.right - was.left + 1, found_width = found.right - found.left + 1;
    double dx = 0.5 * ((found.left + found.right) - (was.left + was.right));
    double dy = 0.5 * ((found.top + found.bottom) - (was.top + was.bottom));
    return fabs(dx) <= width / 16 && fabs(dy) <= width / 16 && found_width <= width * 1.1 && found_width * 1.1 >= width;
}

/* What the detector has seen so far, frame by frame in order. */
struct Follower {
    FaceFinder *finder = nullptr;
    bool seen = false;    /* the face was found in some frame already */
    FaceBox last_place;   /* where it was last found */
    size_t first = 0;     /* the frame it was first found in; the confirmed frames are first + 2k */
};

/* The face nearest `place` in a window about it; false when there is none. */
bool nearest_near(Follower *f, const GrayView &view, const FaceBox &place, FaceBox *nearest)
{
    bool any = false;
    for (const FaceBox &face : faces_near(f->finder, view, place)) {
        if (!any || centre_distance_squared(face, place) < centre_distance_squared(*nearest, place))
            *nearest = face;
        any = true;
    }
    return any;
}

/* A face found in the whole frame, found again as it will be followed: searched near itself in the same
 * frame until the box found is in the same place as the one searched about (a few rounds at most). The
 * whole frame is searched at another scale and from another corner than a window about a face, and
 * each window gives a box a little off its own centre; without this a still face's box, and so its
 * landmarks, would move over the frames after it was first found. */
FaceBox as_followed(Follower *f, const GrayView &view, const FaceBox &found)
{
    FaceBox box = found, next;
    for (int round = 0; round < 4 && nearest_near(f, view, box, &next) && !same_place(next, box); round++)
        box = next;
    return box;
}

/* The face in the job's frame, searched near `near` when given, else in the whole frame: before any was
 * seen the largest, then the one nearest the last place (the first of equals). */
void search(Follower *f, Job *job, const FaceBox *near)
{
    GrayView view = {job->frame.gray.data(), job->frame.width, job->frame.height};
    std::vector<FaceBox> faces = near ? faces_near(f->finder, view, *near) : faces_in_frame(f->finder, view);
    job->found = false;
    for (const FaceBox &face : faces) {
        bool better = !job->found || (f->seen ? centre_distance_squared(face, f->last_place) <
                                                    centre_distance_squared(job->box, f->last_place)
                                              : area(face) > area(job->box));
        if (better)
            job->box = face;
        job->found = true;
    }
    if (job->found && !near)
        job->box = as_followed(f, view, job->box);
    if (job->found && f->seen && same_place(job->box, f->last_place))
        job->box = f->last_place;
    if (job->found && !f->seen) {
        f->seen = true;
        f->first = job->index;
    }
    if (job->found)
        f->last_place = job->box;
}

/* A frame between two confirmed ones: the middle of their boxes when both have the face, else searched
 * near whichever has it. */
void settle_between(Follower *f, const Job &before, Job *between, const Job *after)
{
    bool both = before.found && after && after->found;
    if (both) {
        between->found = true;
        between->box = {(before.box.left + after->box.left) / 2, (before.box.top + after->box.top) / 2,
                        (before.box.right + after->box.right) / 2, (before.box.bottom + after->box.bottom) / 2};
        return;
    }
    const FaceBox *near = before.found ? &before.box : after && after->found ? &after->box : nullptr;
    FaceBox keep = f->last_place;
    if (near)
        f->last_place = *near;
    search(f, between, near);
    f->last_place = after && after->found ? after->box : keep;
}

bool settled(Pipeline *p, Job *job)
{
    return put(p, &p->settled, std::move(*job));
}

/* Every frame given its box, in order; a frame between two confirmed ones waits for the second. */
void follow(Pipeline *p)
{
    Follower f;
    f.finder = p->finder;
    Job job, between, confirmed; /* confirmed: the last confirmed frame */
    bool waiting = false, going = true;
    while (going && take(p, &p->decoded, &job)) {
        if (!f.seen || (job.index - f.first) % 2 == 0) {
            bool near = f.seen && confirmed.found && confirmed.index + 2 == job.index;
            search(&f, &job, near ? &confirmed.box : nullptr);
            if (waiting) {
                settle_between(&f, confirmed, &between, &job);
                going = settled(p, &between);
                waiting = false;
            }
            confirmed.index = job.index;
            confirmed.found = job.found;
            confirmed.box = job.box;
            going = going && settled(p, &job);
        } else {
            between = std::move(job);
            waiting = true;
        }
    }
    if (going && waiting) {
        settle_between(&f, confirmed, &between, nullptr);
        settled(p, &between);
    }
    close_queue(p, &p->settled);
}

/* The landmarks of every settled frame, as the frames come. */
void place_all(Pipeline *p, const LandmarkModel &model)
{
    Job job;
    while (take(p, &p->settled, &job)) {
        TrackedFrame tracked;
        tracked.seconds = job.frame.seconds;
        tracked.width = job.frame.width;
        tracked.height = job.frame.height;
        tracked.found = job.found;
        if (job.found) {
            GrayView view = {job.frame.gray.data(), job.frame.width, job.frame.height};
            place_landmarks(model, view, job.box, &tracked.xy);
            tracked.found = std::all_of(tracked.xy.begin(), tracked.xy.end(), [](double v) { return isfinite(v); });
            if (!tracked.found) /* a model whose sums overflow: no place to give */
                tracked.xy.clear();
        }
        std::lock_guard<std::mutex> hold(p->lock);
        if (p->out->frames.size() <= job.index)
            p->out->frames.resize(job.index + 1);
        p->out->frames[job.index] = std::move(tracked);
    }
}

/* The landmarks placed on as many threads as the machine has cores, this one among them: frames are
 * independent once settled, and each goes to its own row. */
void place_on_every_core(Pipeline *p, const LandmarkModel &model)
{
    std::vector<std::thread> placers;
    for (unsigned i = 1; i < std::max(1u, std::thread::hardware_concurrency()); i++)
        placers.emplace_back(place_all, p, std::cref(model));
    place_all(p, model);
    for (std::thread &placer : placers)
        placer.join();
}

void stop(Pipeline *p)
{
    std::lock_guard<std::mutex> hold(p->lock);
    p->failed = true;
    p->changed.notify_all();
}

} // namespace

bool track_video(const std::string &video, const ModelLoader &load, LandmarkModel *model, TrackedVideo *out,
                 std::string *error)
{
    VideoReader *reader = nullptr;
    std::string reason;
    *out = TrackedVideo();
    if (!open_video(video, false, &reader, &reason)) {
        *error = video + ": can't be read as a video: " + reason;
        return false;
    }
    Pipeline p;
    p.out = out;
    p.finder = open_face_finder(error);
    if (!p.finder) {
        close_video(reader);
        return false;
    }
    std::thread decoder(decode_frames, reader, &p);
    std::thread follower(follow, &p);
    bool loaded = load(model, error);
    if (loaded)
        place_on_every_core(&p, *model);
    else
        stop(&p);
    follower.join();
    decoder.join();
    close_video(reader);
    close_face_finder(p.finder);
    if (!loaded)
        return false;
    if (out->frames.empty()) {
        *error = video + ": can't be read as a video: " +
                 (out->stopped.empty() ? "none of its frames could be decoded" : out->stopped);
        return false;
    }
    return true;
}

size_t frames_found(const TrackedVideo &video)
{
    size_t n = 0;
    for (const TrackedFrame &frame : video.frames)
        n += frame.found;
    return n;
}
