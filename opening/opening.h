/* Opening any input, as every program opens it: what an input is (a
 * recording, a marker file, a video read as the table mienscope-track
 * makes of it), the options that shape the reading, the exit statuses
 * every program shares and the rule for which files are never replaced.
 * Errors come back as text naming the file, for the caller to print as it
 * is or after a prefix of its own; warnings go to standard error. */
#ifndef MIENSCOPE_OPENING_H
#define MIENSCOPE_OPENING_H

#include <getopt.h>
#include <math.h>

#include <string>
#include <vector>

#include "convert.h"
#include "file_io.h"
#include "markerset.h"
#include "recording.h"

/* Every program's exit statuses: done, a file can't be used, a usage error. */
enum { EXIT_DONE = 0, EXIT_UNUSABLE = 1, EXIT_USAGE = 2 };

/* How a video is tracked: mienscope-track's options, passed on to it. */
struct TrackingOptions {
    double eye_mm = NAN;   /* --eye-distance; NAN for the tracker's own default */
    std::string model;     /* --model FILE; "" for the tracker's own */
    bool no_cache = false; /* --no-cache */
};

/* How a recording is read and converted: the options every program that opens recordings shares. */
struct RecordingOptions {
    std::string markers;      /* --markers SET; "" for none */
    ReadOptions read;         /* --face, --min-confidence */
    ConvertOptions convert;   /* --from, --to, --right, --up */
    TrackingOptions tracking; /* --eye-distance, --model, --no-cache, for videos */
};

/* A recording file read, with its points chosen. */
struct OpenedRecording {
    std::string path;
    Recording rec;
    MarkerSet set;       /* empty (no markers) when neither --markers nor the format gives one */
    Selection selection;
};

/* Any file a program takes as a face: a recording, told by content, or else a marker file. */
enum InputKind { INPUT_RECORDING, INPUT_MARKER_FILE };
/* Whether open_input reads a marker file strictly or leaves it to the viewer's own reader. */
enum MarkerFileReading { READ_MARKER_FILES, LEAVE_MARKER_FILES };

/* One file, opened. */
struct Input {
    std::string name;                    /* as given, or FOLDER/NAME for a file of a folder */
    InputKind kind = INPUT_MARKER_FILE;
    RecordingFormat format = FORMAT_C3D; /* a recording's */
    size_t frames = FACE_FRAMES;         /* the frames the file holds */
    FacePositions positions;             /* FACE_FRAMES x FACE_MARKERS x 3, mm, the viewer's axes; empty for a
                                            marker file left to the caller */
    double seconds = NAN;                /* a recording's span (--to less --from), or --duration for a marker
                                            file read by read_inputs; NAN when unknown */
    double from = 0.0;                   /* a recording's: when its 180 frames start, from its first frame */
    bool video = false;                  /* a video, read as the OpenFace table mienscope-track made of it */
    FacePositions landmarks;             /* FACE_FRAMES x FACE_LANDMARKS x 3, converted as the markers are; empty
                                            for what brings no 68 landmarks (C3D, TRC, marker files) */
    MarkerSet set;                       /* what a recording was converted with: --markers's, the format's, or none */
};

int unusable(const std::string &message); /* the message on one line on standard error; returns EXIT_UNUSABLE */
/* A program's own long options followed by the recording options (--markers, --from, --to, --right,
 * --up, --face, --min-confidence, --eye-distance, --model, --no-cache) and the zero entry that ends a
 * getopt_long table. */
std::vector<struct option> with_recording_options(const std::vector<struct option> &own);
/* Parses one recording option's value into options; error: a usage message. */
bool take_recording_option(int code, const char *arg, RecordingOptions *options, std::string *error);
bool check_recording_options(const RecordingOptions &options, std::string *error); /* what needs no recording */
bool parse_eye_distance(const char *text, double *mm, std::string *error); /* --eye-distance's value, above 0 */
/* The set of --markers; "" gives an empty set. Errors name the set and the line. */
bool load_marker_set(const std::string &path, MarkerSet *set, std::string *error);
/* Reads the file (a video: the table mienscope-track makes of it); its warnings on standard error; returns
 * the exit status, error holding the message. */
int read_recording_file(const std::string &path, const RecordingOptions &options, Recording *rec, std::string *error);
/* Reads the file and chooses its points; warnings on standard error; returns the exit status. */
int open_recording(const std::string &path, const RecordingOptions &options, OpenedRecording *opened, std::string *error);
/* Converts what open_recording gave; gap reports on standard error; returns the exit status. For
 * EXIT_USAGE (--from, --to, --right or --up don't fit the recording) error is a usage message. */
int convert_opened(const OpenedRecording &opened, const RecordingOptions &options, Converted *converted,
                   std::string *error);
/* A recording read, its points chosen by given (the parsed --markers set, or empty) and converted; else,
 * for a text file, a marker file, read strictly or left to the caller. Returns the exit status with the
 * message in error, which names the file (EXIT_USAGE: a usage message). */
int open_input(const std::string &path, const RecordingOptions &options, const MarkerSet &given,
               MarkerFileReading reading, Input *input, std::string *error);
/* A file no program replaces, with or without --force: a recording or a video that Mienscope did not make
 * (the tracker's own tables and Mienscope's own videos may be made again). */
bool is_never_replaced(const std::string &path);
/* The rules for a run's outputs: force as given, is_never_replaced's files kept (the message saying the run
 * writes `writes`, as "a marker file"); the run adds its inputs with guard_input. */
OutputGuard output_guard(bool force, const std::string &writes);

#endif
