/* The frame, or a window of it, is sampled into a picture of the size the
 * detector should see: whole frames no larger than SEARCH_SIDE, a window
 * about a known face with that face 96 pixels wide (the middle of three
 * scales, 80, 96 and 115 pixels, that the following detector tries). The
 * boxes found are mapped back to the frame's pixels. */
#include "faces.h"

#include <math.h>

#include <algorithm>
#include <sstream>

#include <dlib/image_processing/frontal_face_detector.h>

extern const unsigned char frontal_face_detector_bytes[];
extern const size_t frontal_face_detector_size;

typedef dlib::scan_fhog_pyramid<dlib::pyramid_down<6>> FaceScanner;

struct FaceFinder {
    dlib::frontal_face_detector whole; /* every scale down to the 80-pixel window */
    dlib::frontal_face_detector near;  /* three scales, for a face of known size */
    dlib::array2d<unsigned char> sampled;
};

/* The face a known one is scaled to before following it; the pyramid's next levels see it at 80 and 115. */
static const double followed_width = 96.0;
/* The detector's window: the smallest face it finds, in the pixels it is given. */
static const long detector_window = 80;
static const int followed_levels = 3;

FaceFinder *open_face_finder(std::string *error)
{
    FaceFinder *f = new FaceFinder;
    std::istringstream bytes(std::string((const char *)frontal_face_detector_bytes, frontal_face_detector_size));
    try {
        dlib::deserialize(f->whole, bytes);
    } catch (const std::exception &e) { /* dlib's serialization_error: a build whose detector is damaged */
        *error = std::string("mienscope-track: the built-in face detector can't be read: ") + e.what();
        delete f;
        return nullptr;
    }
    FaceScanner scanner;
    scanner.copy_configuration(f->whole.get_scanner());
    scanner.set_max_pyramid_levels(followed_levels);
    std::vector<dlib::frontal_face_detector::feature_vector_type> filters;
    for (unsigned long i = 0; i < f->whole.num_detectors(); i++)
        filters.push_back(f->whole.get_w(i));
    f->near = dlib::frontal_face_detector(scanner, f->whole.get_overlap_tester(), filters);
    return f;
}

void close_face_finder(FaceFinder *f)
{
    delete f;
}

/* A window of the frame from (left, top), `step` frame pixels to a sample, into f->sampled: the mean of
 * the frame's pixels under each sample when it covers more than one, else the nearest. */
static void sample_window(const GrayView &frame, long left, long top, double step, long columns, long rows,
                          dlib::array2d<unsigned char> *out)
{
    out->set_size(rows, columns);
    for (long r = 0; r < rows; r++) {
        long y0 = top + (long)floor(r * step), y1 = std::max(y0 + 1, top + (long)floor((r + 1) * step));
        y1 = std::min(y1, (long)frame.height);
        for (long c = 0; c < columns; c++) {
            long x0 = left + (long)floor(c * step), x1 = std::max(x0 + 1, left + (long)floor((c + 1) * step));
            x1 = std::min(x1, (long)frame.width);
            unsigned sum = 0, count = 0;
            for (long y = y0; y < y1; y++)
                for (long x = x0; x < x1; x++, count++)
                    sum += frame.pixels[(size_t)y * frame.width + x];
            (*out)[r][c] = (unsigned char)(count ? (sum + count / 2) / count : 0);
        }
    }
}

/* The detector's boxes in the window, as boxes of the frame. */
static std::vector<FaceBox> detect(dlib::frontal_face_detector &detector, FaceFinder *f, const GrayView &frame,
                                   long left, long top, long right, long bottom, double step)
{
    long columns = (long)((right - left) / step), rows = (long)((bottom - top) / step);
    std::vector<FaceBox> found;
    if (columns < detector_window || rows < detector_window)
        return found;
    sample_window(frame, left, top, step, columns, rows, &f->sampled);
    for (const dlib::rectangle &r : detector(f->sampled)) {
        FaceBox box;
        box.left = left + lround(r.left() * step);
        box.top = top + lround(r.top() * step);
        box.right = left + lround((r.right() + 1) * step) - 1;
        box.bottom = top + lround((r.bottom() + 1) * step) - 1;
        found.push_back(box);
    }
    return found;
}

/* Frame pixels a sample when the frame's longer side is searched at `side` pixels, or at its own size. */
static double search_step(const GrayView &frame, int side)
{
    return std::max(1.0, (double)std::max(frame.width, frame.height) / side);
}

std::vector<FaceBox> faces_in_frame(FaceFinder *f, const GrayView &frame)
{
    double step = search_step(frame, SEARCH_SIDE);
    std::vector<FaceBox> found = detect(f->whole, f, frame, 0, 0, frame.width, frame.height, step);
    double finer = search_step(frame, FINER_SEARCH_SIDE);
    if (found.empty() && finer < step)
        found = detect(f->whole, f, frame, 0, 0, frame.width, frame.height, finer);
    return found;
}

long smallest_face(int width, int height)
{
    GrayView frame = {nullptr, width, height};
    return (long)ceil(detector_window * search_step(frame, FINER_SEARCH_SIDE) - 1e-9);
}

std::vector<FaceBox> faces_near(FaceFinder *f, const GrayView &frame, const FaceBox &last)
{
    long width = last.right - last.left + 1, height = last.bottom - last.top + 1;
    long left = std::max(0L, last.left - width / 2), top = std::max(0L, last.top - height / 2);
    long right = std::min((long)frame.width, last.right + 1 + width / 2);
    long bottom = std::min((long)frame.height, last.bottom + 1 + height / 2);
    double step = std::max(1.0, width / followed_width);
    return detect(f->near, f, frame, left, top, right, bottom, step);
}
