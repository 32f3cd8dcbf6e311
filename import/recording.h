/* A recording as its file holds it, and the readers that fill one from a
 * file's bytes in memory. Positions stay in the file's own units and axes;
 * the conversion (convert.h) takes them to the viewer's. */
#ifndef MIENSCOPE_RECORDING_H
#define MIENSCOPE_RECORDING_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

/* One point of a recording: a marker, or in C3D also a model output. */
struct Point {
    std::string label;       /* trailing blanks and NULs removed; "point N" (0-based) when the file gives none */
    std::string description; /* C3D only; may be empty */
    bool is_marker = true;   /* false for C3D points named in POINT:ANGLES, FORCES, MOMENTS, POWERS or SCALARS */
};

struct Recording {
    std::string format;              /* "C3D, Intel, float", "TRC", ...: what --list shows */
    std::vector<Point> points;
    size_t frames = 0;               /* frames held */
    long declared_frames = -1;       /* frames the file declares; -1 when it declares none */
    double rate = 0.0;               /* frames per second; the mean rate where frames are unevenly spaced */
    bool even_times = true;          /* frame i is at i / rate; otherwise at times[i] */
    std::vector<double> times;       /* seconds from the first frame, one per frame */
    std::string units;               /* as the file writes them; "" when it doesn't */
    double mm_per_unit = 1.0;        /* 1, 10 or 1000 */
    std::string right = "+x";        /* the file's axis that points to the viewer's right by default */
    std::string up = "+z";           /* the file's axis that points up by default */
    std::vector<float> xyz;          /* [frame][point][axis], file units */
    std::vector<uint8_t> valid;      /* [frame][point]: 0 where the sample is missing */
    std::vector<std::string> warnings; /* one line each, without the file name */
};

/* What a reader needs beyond the bytes; only OpenFace CSV uses them. */
struct ReadOptions {
    long face_id = 0;            /* rows of other faces are ignored */
    double min_confidence = 0.8; /* rows below it are missing samples */
};

extern const char openface_format[];                /* the format of every OpenFace CSV recording */
bool is_c3d(const uint8_t *data, size_t size);      /* second byte 0x50 and a known processor byte */
bool is_trc(const uint8_t *data, size_t size);      /* first line starts with PathFileType */
bool is_openface(const uint8_t *data, size_t size); /* first line names the columns OpenFace writes */
bool read_c3d(const uint8_t *data, size_t size, Recording *rec, std::string *error);
bool read_trc(const uint8_t *data, size_t size, Recording *rec, std::string *error);
bool read_openface(const uint8_t *data, size_t size, const ReadOptions &options, Recording *rec, std::string *error);
/* Any of the three, told by content; false with error set when none fits or the file can't be used. */
bool read_recording(const uint8_t *data, size_t size, const ReadOptions &options, Recording *rec, std::string *error);
void set_even_times(Recording *rec);                /* times[i] = i / rate for every frame */
bool parse_axis(const std::string &text, int *axis, int *sign); /* "+x", "-Y", "z", blanks aside: axis 0..2, sign +-1 */
bool units_to_mm(const std::string &units, double *mm_per_unit); /* "mm", "cm", "m", any case and blanks */
/* More samples than this for a file of `size` bytes can't be a real recording. */
bool plausible_sample_count(size_t frames, size_t points, size_t size);

#endif
