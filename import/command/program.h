/* mienscope-import's command line: what it asks for, and the road from a
 * recording file to the marker file with the messages and exit statuses
 * the importer documents. options.cpp reads the command line, program.cpp
 * writes the files, listing.cpp prints --list; the recording itself is
 * opened as every program opens one (../../opening/opening.h). */
#ifndef MIENSCOPE_PROGRAM_H
#define MIENSCOPE_PROGRAM_H

#include <string>

#include "opening.h"

/* What mienscope-import's command line asks for. */
struct ImportRequest {
    bool help = false, version = false;
    bool list = false;         /* --list: describe the recording, write nothing */
    bool force = false;        /* replace files that exist */
    std::string recording, output;
    std::string line_file;     /* --line-file PATH; "" for none */
    RecordingOptions options;
};

extern const char import_usage[]; /* the usage lines, for usage errors and --help */
extern const char import_help[];  /* what --help prints after the usage */
int usage_error(const std::string &message); /* "mienscope-import: MESSAGE" and the usage; returns EXIT_USAGE */
/* The command line, checked as far as it can be without the recording; error: a usage message. */
bool parse_import_command(int argc, char **argv, ImportRequest *request, std::string *error);
int import_recording(const ImportRequest &request); /* the whole program after its command line */
std::string recording_listing(const Recording &rec);  /* what --list prints */

#endif
