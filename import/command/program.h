/* The command line, third layer of the importer: what a command line asks
 * for, and the road from a recording file to the marker file with the
 * messages and exit statuses mienscope-import documents. options.cpp reads
 * the command line, opening.cpp reads and converts a recording file (for
 * every program that opens one), program.cpp writes the files, listing.cpp
 * prints --list. */
#ifndef MIENSCOPE_PROGRAM_H
#define MIENSCOPE_PROGRAM_H

#include <getopt.h>

#include <string>
#include <vector>

#include "convert.h"
#include "markerset.h"
#include "recording.h"

enum { EXIT_DONE = 0, EXIT_UNUSABLE = 1, EXIT_USAGE = 2 };

/* How a recording is read and converted: the options every program that opens recordings shares. */
struct RecordingOptions {
    std::string markers;    /* --markers SET; "" for none */
    ReadOptions read;       /* --face, --min-confidence */
    ConvertOptions convert; /* --from, --to, --right, --up */
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
/* Reads the file; its warnings on standard error; returns the exit status. */
int read_recording_file(const std::string &path, const ReadOptions &options, Recording *rec);
/* Reads the file and chooses its points; warnings on standard error; returns the exit status. */
int open_recording(const std::string &path, const RecordingOptions &options, OpenedRecording *opened);
/* Converts what open_recording gave; gap reports on standard error; returns the exit status. For
 * EXIT_USAGE (--from, --to, --right or --up don't fit the recording) usage holds the message, not printed. */
int convert_opened(const OpenedRecording &opened, const RecordingOptions &options, Converted *converted,
                   std::string *usage);
int import_recording(const ImportRequest &request); /* the whole program after its command line */
std::string recording_listing(const Recording &rec);  /* what --list prints */

#endif
