/* The viewer started with recordings: its command line. Each file is made
 * a face by the scene library (../scene/scene.h), as mienscope-render
 * makes it. */
#ifndef MIENSCOPE_FILES_H
#define MIENSCOPE_FILES_H

#include <math.h>

#include <string>
#include <vector>

#include "file_faces.h"

/* What the command line gives when it names files. */
struct ViewerRequest {
    bool help = false, version = false;
    std::vector<std::string> files;   /* FIRST [SECOND] */
    FaceFileOptions faces;            /* the recording options, --line-file and --duration */
    double speed = 1.0;               /* playback speed, 0.05 to 20 */
    bool play = false;                /* --play: both faces play from the start */
    std::vector<char *> toolkit_args; /* the program's name and what the toolkit's initialisation takes */
};

extern const char viewer_usage[]; /* the usage lines */
extern const char viewer_help[];  /* what --help prints after them */
extern const double slowest_speed, fastest_speed;
bool is_file_command(int argc, char **argv); /* anything beyond the toolkit's own options */
/* The command line, checked; error: a usage message. */
bool parse_viewer_command(int argc, char **argv, ViewerRequest *request, std::string *error);
int viewer_usage_error(const std::string &message); /* "mienscope: MESSAGE" and the usage; returns EXIT_USAGE */
double frame_period(double duration);                /* seconds from one frame to the next; 6 s for 180 frames when NAN */
/* The caption with files: their base names, the frame, its time when the duration is known, the speed when not 1. */
std::string playing_caption(const std::vector<std::string> &files, int frame, double duration, double speed);
std::string window_title(const std::vector<std::string> &files); /* "Mienscope - FIRST, SECOND" */

#endif
