/* Reading, first layer of the importer: a recording as its file holds it.
 *
 * A file's bytes go to detect.h's read_recording, which tells the format
 * by content and hands them to one reader (c3d.h, trc.h, openface.h). The
 * reader fills a Recording: its points, their positions in every frame in
 * the file's own units and axes, which samples are missing, the frames'
 * times, and the file's units and screen axes as values. markerset.h then
 * chooses the 24 markers (and any rigid points) among its points, and the
 * conversion (../conversion/convert.h) takes the positions to the viewer's.
 *
 * This header holds the record and the helpers every reader shares. */
#ifndef MIENSCOPE_RECORDING_H
#define MIENSCOPE_RECORDING_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

enum RecordingFormat { FORMAT_C3D, FORMAT_TRC, FORMAT_OPENFACE };

/* One of the recording's axes, signed: axis 0 = x, 1 = y, 2 = z; sign +1 or -1. */
struct AxisDirection {
    int axis;
    int sign;
};

/* Which of the recording's axes point to the viewer's right and up. */
struct ScreenAxes {
    AxisDirection right;
    AxisDirection up;
};

/* One point of a recording: a marker, or in C3D also a model output. */
struct Point {
    std::string label;       /* trailing blanks and NULs removed; "point N" (0-based) when the file gives none */
    std::string description; /* C3D only; may be empty */
    bool is_marker = true;   /* false for C3D points named in POINT:ANGLES, FORCES, MOMENTS, POWERS or SCALARS */
};

struct Recording {
    RecordingFormat format = FORMAT_C3D;
    std::string encoding;            /* C3D only: "Intel, float" and the like; "" for the text formats */
    std::vector<Point> points;
    size_t frames = 0;               /* frames held */
    long declared_frames = -1;       /* frames the file declares; -1 when it declares none */
    double rate = 0.0;               /* frames per second; the mean rate where frames are unevenly spaced */
    bool even_times = true;          /* frame i is at i / rate; otherwise at times[i] */
    std::vector<double> times;       /* seconds from the first frame, one per frame */
    std::string units;               /* as the file writes them; "" when it doesn't */
    double mm_per_unit = 1.0;        /* 1, 10 or 1000 */
    ScreenAxes screen = {{0, 1}, {2, 1}}; /* the file's own, else right +x, up +z */
    std::vector<float> xyz;          /* [frame][point][axis], file units */
    std::vector<uint8_t> valid;      /* [frame][point]: 0 where the sample is missing */
    std::vector<std::string> warnings; /* one line each, without the file name */
};

/* What a reader needs beyond the bytes; only OpenFace CSV uses them. */
struct ReadOptions {
    long face_id = 0;            /* rows of other faces are ignored */
    double min_confidence = 0.8; /* rows below it are missing samples */
};

const char *format_name(RecordingFormat format);    /* "C3D", "TRC", "OpenFace CSV" */
std::string format_description(const Recording &rec); /* the name and the encoding, as --list shows them */
double recording_end(const Recording &rec);          /* seconds from the first frame to the last */
void set_even_times(Recording *rec);                 /* times[i] = i / rate for every frame */
bool parse_axis(const std::string &text, AxisDirection *direction); /* "+x", "-Y", "z", blanks aside */
std::string axis_name(AxisDirection direction);      /* "+x", "-z", ... */
bool units_to_mm(const std::string &units, double *mm_per_unit); /* "mm", "cm", "m", any case and blanks */
/* More samples than this for a file of `size` bytes can't be a real recording. */
bool plausible_sample_count(size_t frames, size_t points, size_t size);

#endif
