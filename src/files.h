/* The viewer started with recordings: its command line, and each file
 * made a face. A recording (C3D, TRC, OpenFace CSV, told by content) is
 * converted in memory exactly as mienscope-import converts it, with the
 * same options and messages; any other file is a marker file, read as the
 * viewer reads the exhibits'. Every face then goes through the viewer's
 * own normalisation. */
#ifndef MIENSCOPE_FILES_H
#define MIENSCOPE_FILES_H

#include <math.h>

#include <string>
#include <vector>

#include "head.h"
#include "program.h"

/* What the command line gives when it names files. */
struct ViewerRequest {
    bool help = false, version = false;
    std::vector<std::string> files;   /* FIRST [SECOND] */
    std::string line_file;            /* --line-file; "" for the set's segments, else face-data/line.dat */
    RecordingOptions options;         /* --markers, --from, --to, --right, --up, --face, --min-confidence */
    double speed = 1.0;               /* playback speed, 0.05 to 20 */
    double duration = NAN;            /* --duration: seconds a marker file's 180 frames last */
    std::vector<char *> toolkit_args; /* the program's name and what the toolkit's initialisation takes */
};

extern const char viewer_usage[]; /* the usage lines */
extern const char viewer_help[];  /* what --help prints after them */
extern const double slowest_speed, fastest_speed;
bool is_file_command(int argc, char **argv); /* anything beyond the toolkit's own options */
/* The command line, checked; error: a usage message. */
bool parse_viewer_command(int argc, char **argv, ViewerRequest *request, std::string *error);
int viewer_usage_error(const std::string &message); /* "mienscope: MESSAGE" and the usage; returns EXIT_USAGE */
/* FIRST (0) or SECOND (1) as a new face; seconds: how long its frames last, NAN when unknown. Returns the
 * exit status; a marker file that can't be opened ends the process with the viewer's message. */
int load_file_face(const ViewerRequest &request, size_t which, FACE **face, double *seconds);
std::string files_caption(const ViewerRequest &request); /* the files' base names */

#endif
