/* The command line, third layer of the importer: what a command line asks
 * for, and the road from a recording file to the marker file with the
 * messages and exit statuses mienscope-import documents. options.cpp reads
 * the command line, opening.cpp reads and converts a recording file (for
 * every program that opens one), program.cpp writes the files, listing.cpp
 * prints --list. */
#ifndef MIENSCOPE_PROGRAM_H
#define MIENSCOPE_PROGRAM_H

#include <getopt.h>
#include <math.h>

#include <string>
#include <vector>

#include "convert.h"
#include "file_io.h"
#include "markerset.h"
#include "recording.h"

enum { EXIT_DONE = 0, EXIT_UNUSABLE = 1, EXIT_USAGE = 2 };

/* How a video is tracked: mienscope-track's options, passed on to it. */
struct TrackingOptions {
    double eye_mm = NAN;   /* --eye-distance; NAN for the tracker's own default */
    std::string model;     /* --model FILE; "" for the tracker's own */
    bool no_cache = false; /* --no-cache */
};

/* How a recording is read and converted: the options every program that opens recordings shares. */
struct RecordingOptions {
    std::string markers;    /* --markers SET; "" for none */
    ReadOptions read;       /* --face, --min-confidence */
    ConvertOptions convert; /* --from, --to, --right, --up */
    TrackingOptions tracking; /* --eye-distance, --model, --no-cache, for videos */
};

/* What mienscope-import's command line asks for. */
struct ImportRequest {
    bool help = false, version = false;
    bool list = false;         /* --list: describe the recording, write nothing */
    bool force = false;        /* replace files that exist */
    std::string recording, output;
    std::string line_file;     /* --line-file PATH; "" for none */
    RecordingOptions options;
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

struct OpenedInput {
    std::string path;
    InputKind kind = INPUT_MARKER_FILE;
    RecordingFormat format = FORMAT_C3D; /* a recording's */
    size_t frames = FACE_FRAMES;         /* the frames the file holds */
    FacePositions positions;             /* mm, the viewer's axes; empty for a marker file left to the caller */
    double seconds = NAN;                /* a recording's span (--to less --from); NAN for a marker file */
    MarkerSet set;                       /* what a recording was converted with: --markers's, the format's, or none */
    bool video = false;                  /* a video, read as the OpenFace table mienscope-track made of it */
    double from = 0.0;                   /* a recording's: when its 180 frames start, from its first frame */
};

extern const char import_usage[]; /* the usage lines, for usage errors and --help */
extern const char import_help[];  /* what --help prints after the usage */
int usage_error(const std::string &message); /* "mienscope-import: MESSAGE" and the usage; returns EXIT_USAGE */
int unusable(const std::string &message);    /* the message on one line; returns EXIT_UNUSABLE */
/* A program's own long options followed by the recording options (--markers, --from, --to, --right,
 * --up, --face, --min-confidence) and the zero entry that ends a getopt_long table. */
std::vector<struct option> with_recording_options(const std::vector<struct option> &own);
/* Parses one recording option's value into options; error: a usage message. */
bool take_recording_option(int code, const char *arg, RecordingOptions *options, std::string *error);
bool check_recording_options(const RecordingOptions &options, std::string *error); /* what needs no recording */
/* The command line, checked as far as it can be without the recording; error: a usage message. */
bool parse_import_command(int argc, char **argv, ImportRequest *request, std::string *error);
/* The set of --markers; "" gives an empty set. Errors name the set and the line. */
bool load_marker_set(const std::string &path, MarkerSet *set, std::string *error);
/* Reads the file (a video: the table mienscope-track makes of it); its warnings on standard error; returns
 * the exit status, error holding the message. */
int read_recording_file(const std::string &path, const RecordingOptions &options, Recording *rec, std::string *error);
/* The video's face as mienscope-track's OpenFace table, mienscope-track run as a process of its own (found
 * beside this program, else on PATH); its warnings on standard error; returns the exit status, the message
 * in error. */
int track_video_file(const std::string &path, const TrackingOptions &options, std::vector<uint8_t> *table,
                     std::string *error);
/* The tables of the videos among the files, tracked ahead by up to as many mienscope-track processes at
 * once as there are cores; track_video_file then takes each (its warnings passed on then), in any order. */
void track_videos_ahead(const std::vector<std::string> &paths, const TrackingOptions &options);
/* The video's frames nearest these times (seconds from its first frame), whole, with the tracked points drawn,
 * as PNG files' bytes, from mienscope-track likewise; returns the exit status, the message in error. */
int video_stills(const std::string &path, const TrackingOptions &options, const std::vector<double> &seconds,
                 std::vector<std::vector<uint8_t>> *pngs, std::string *error);
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
               MarkerFileReading reading, OpenedInput *input, std::string *error);
/* The rules for a run's outputs: force as given, recordings and videos never replaced (the message
 * saying the run writes `writes`, as "a marker file"); the run adds its inputs with guard_input. */
OutputGuard output_guard(bool force, const std::string &writes);
int import_recording(const ImportRequest &request); /* the whole program after its command line */
std::string recording_listing(const Recording &rec);  /* what --list prints */

#endif
