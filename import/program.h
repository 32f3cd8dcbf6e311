/* What mienscope-import does once its command line is read: the whole road
 * from a recording file to the marker file, with the messages and exit
 * statuses the program documents. The program, the tests and the bench
 * share it. */
#ifndef MIENSCOPE_PROGRAM_H
#define MIENSCOPE_PROGRAM_H

#include <math.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "recording.h"

enum { EXIT_DONE = 0, EXIT_UNUSABLE = 1, EXIT_USAGE = 2 };

/* What the command line asks for. */
struct ImportRequest {
    bool list = false;         /* --list: describe the recording, write nothing */
    bool force = false;        /* replace files that exist */
    std::string recording, output;
    std::string markers;       /* --markers SET; "" for none */
    std::string line_file;     /* --line-file PATH; "" for none */
    std::string right, up;     /* "" for the recording's own screen axes */
    double from = NAN, to = NAN; /* seconds; NAN where not given */
    ReadOptions read;
};

extern const char import_usage[];  /* the usage lines, for usage errors and --help */
int usage_error(const std::string &message);   /* prints it and the usage; returns EXIT_USAGE */
int import_recording(const ImportRequest &request); /* messages on standard error; returns the exit status */
bool read_whole_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error); /* up to 512 MiB */

#endif
