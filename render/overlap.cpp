#include "overlap.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

/* Pictures that wait to be encoded: two suffice for drawing to stay ahead. */
static const size_t waiting_at_most = 2;

/* What the two threads share. */
struct Handover {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Picture> drawn;  /* drawn, not yet encoded, in order */
    std::vector<Picture> spare; /* encoded, their memory to draw into again */
    bool finished = false;      /* no more will be drawn */
    bool failed = false;        /* an encode failed: stop drawing */
    std::string error;
};

static void encode_all(Handover *h, const std::function<bool(const Picture &, std::string *)> &add)
{
    for (;;) {
        std::unique_lock<std::mutex> held(h->lock);
        h->changed.wait(held, [h] { return !h->drawn.empty() || h->finished; });
        if (h->drawn.empty())
            return;
        Picture picture = std::move(h->drawn.front());
        h->drawn.pop_front();
        held.unlock();
        std::string error;
        bool ok = add(picture, &error);
        held.lock();
        h->spare.push_back(std::move(picture));
        if (!ok) {
            h->failed = true;
            h->error = error;
            h->drawn.clear();
        }
        h->changed.notify_all();
        if (!ok)
            return;
    }
}

bool draw_and_encode(int frames, const std::function<void(int, Picture *)> &draw,
                     const std::function<bool(const Picture &, std::string *)> &add, std::string *error)
{
    Handover h;
    std::thread encoder(encode_all, &h, std::cref(add));
    for (int k = 0; k < frames; k++) {
        Picture picture;
        {
            std::unique_lock<std::mutex> held(h.lock);
            h.changed.wait(held, [&h] { return h.drawn.size() < waiting_at_most || h.failed; });
            if (h.failed)
                break;
            if (!h.spare.empty()) {
                picture = std::move(h.spare.back());
                h.spare.pop_back();
            }
        }
        draw(k, &picture);
        std::lock_guard<std::mutex> held(h.lock);
        h.drawn.push_back(std::move(picture));
        h.changed.notify_all();
    }
    {
        std::lock_guard<std::mutex> held(h.lock);
        h.finished = true;
        h.changed.notify_all();
    }
    encoder.join();
    if (h.failed)
        *error = h.error;
    return !h.failed;
}
