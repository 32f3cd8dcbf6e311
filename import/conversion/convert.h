/* Conversion, second layer of the importer: from a recording and a
 * selection of its points (../reading/) to the viewer's 180 frames of 24
 * markers, in millimetres and the viewer's axes.
 *
 * One call, convert_recording, runs every step in order (steps.h):
 *   1. span      the part shown, in seconds, and the input frames it reads
 *   2. gather    the selected points' tracks in millimetres: the markers,
 *                then the rigid points
 *   3. fill      missing samples filled in time; a report per point
 *   4. align     with rigid points, every frame of the span turned and moved
 *                so that they match the recording's first frame
 *   5. resample  FACE_FRAMES frames at even times over the span
 *   6. axes      the recording's right and up become the viewer's x and y
 * Its result is what a marker file holds (../../formats/face_files.h). */
#ifndef MIENSCOPE_CONVERT_H
#define MIENSCOPE_CONVERT_H

#include <math.h>
#include <stddef.h>

#include <optional>
#include <string>
#include <vector>

#include "face_files.h"
#include "markerset.h"
#include "recording.h"

/* What the user may choose about a conversion. */
struct ConvertOptions {
    double from = NAN, to = NAN;            /* seconds from the first frame; NAN: the recording's start, end */
    std::optional<AxisDirection> right, up; /* empty: the recording's own screen axes */
};

/* Missing samples of one selected point inside the span. */
struct GapReport {
    size_t point;   /* index into the recording's points */
    size_t filled;  /* missing frames in the span, now filled */
    size_t frames;  /* frames in the span */
    size_t longest; /* longest run of missing frames in the span */
};

struct Converted {
    FacePositions positions;     /* FACE_FRAMES x FACE_MARKERS x 3, millimetres, viewer's axes */
    std::vector<GapReport> gaps; /* selected points with missing samples in the span, in selection order */
    double seconds = 0.0;        /* how long the span lasts: --to less --from */
    double from = 0.0;           /* when the span starts, from the recording's first frame: --from */
};

/* Who is at fault when a conversion fails, for the message and exit status. */
enum ConvertResult {
    CONVERTED,
    CONVERT_BAD_OPTIONS,   /* --from, --to, --right or --up don't fit the recording: a usage message */
    CONVERT_BAD_RECORDING, /* the recording can't give the movement: the message lacks only "RECORDING: " */
    CONVERT_BAD_SET        /* the set's rigid points can't hold the head: the message names the set */
};

/* selection.rigid may be empty; set_name names the set in messages. */
ConvertResult convert_recording(const Recording &rec, const Selection &selection, const std::string &set_name,
                                const ConvertOptions &options, Converted *out, std::string *error);
/* False, with a usage message, when right and up lie on one axis. */
bool check_screen_axes(AxisDirection right, AxisDirection up, std::string *error);
std::string gap_message(const Recording &rec, const GapReport &gap); /* one line for standard error, without the file */
/* The same for every gap, said once for the points whose gaps are alike ("points "A", "B" and 22 more: ..."). */
std::vector<std::string> gap_messages(const Recording &rec, const std::vector<GapReport> &gaps);

#endif
