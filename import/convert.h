/* From a recording and a selection of its points to the viewer's marker
 * file: gaps filled, head motion taken out, 180 frames resampled over the
 * chosen span, axes turned to the viewer's and units to millimetres. */
#ifndef MIENSCOPE_CONVERT_H
#define MIENSCOPE_CONVERT_H

#include <stddef.h>

#include <string>
#include <vector>

#include "markerset.h"
#include "recording.h"

enum { OUTPUT_FRAMES = 180 };

/* Which of the recording's axes become the viewer's x (right) and y (up);
 * the viewer's z, towards the viewer, is right cross up. */
struct Axes {
    int right_axis, right_sign;
    int up_axis, up_sign;
};

/* The part of the recording shown, in seconds from its first frame. */
struct Span {
    double from, to;
};

/* Missing samples of one selected point inside the span. */
struct GapReport {
    size_t point;   /* index into the recording's points */
    size_t filled;  /* missing frames in the span, now filled */
    size_t frames;  /* frames in the span */
    size_t longest; /* longest run of missing frames in the span */
};

/* Positions of the selected points (the 24 markers, then the rigid points),
 * millimetres in the recording's axes: [frame][point][axis]. */
struct Tracks {
    size_t frames = 0;
    size_t points = 0;
    std::vector<double> xyz;
    std::vector<unsigned char> valid; /* [frame][point] */
};

bool parse_axes(const std::string &right, const std::string &up, Axes *axes, std::string *error); /* error: a usage message */
double recording_end(const Recording &rec);          /* seconds from the first frame to the last */
/* --from and --to, each optional (NAN), within 0 .. recording_end; error: a usage message. */
bool check_span(const Recording &rec, double from, double to, Span *span, std::string *error);
void span_frames(const Recording &rec, const Span &span, size_t *first, size_t *last); /* the input frames resampling reads */
Tracks gather_tracks(const Recording &rec, const Selection &selection); /* the 24 markers, then the rigid points */
/* Fills every missing sample in time, holding the first and last; error names a point with none. */
bool fill_gaps(const Recording &rec, const Selection &selection, const Span &span, Tracks *tracks,
               std::vector<GapReport> *gaps, std::string *error);
/* Moves each frame so that its rigid points best match those of frame 0; error names the set. */
bool align_to_first_frame(const Recording &rec, const Span &span, size_t first_rigid, Tracks *tracks,
                          const std::string &set_name, std::string *error);
/* 180 frames of the first 24 tracks, linearly interpolated at even times over the span. */
std::vector<double> resample(const Recording &rec, const Tracks &tracks, const Span &span);
/* The marker file: (-z, y, x) in the viewer's axes, "%.4f", one marker a line. */
bool marker_file_text(const std::vector<double> &frames, const Axes &axes, std::string *text, std::string *error);
std::string gap_message(const Recording &rec, const GapReport &gap); /* one line for standard error */
std::string recording_listing(const Recording &rec);                 /* what --list prints */

#endif
