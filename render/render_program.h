/* mienscope-render: its command line, and the road from exhibits,
 * recordings and marker files to a still or a video of the viewer's
 * picture, drawn offscreen. */
#ifndef MIENSCOPE_RENDER_PROGRAM_H
#define MIENSCOPE_RENDER_PROGRAM_H

#include <string>
#include <vector>

#include "face_files.h"
#include "file_faces.h"

enum OutputKind { OUTPUT_PNG, OUTPUT_MP4, OUTPUT_GIF, OUTPUT_HTML };

/* What the command line asks for. */
struct RenderRequest {
    bool help = false, version = false, force = false;
    int exhibit = 0;                /* 1 to 5; 0 when files are given */
    std::vector<std::string> files; /* FIRST [SECOND] */
    FaceFileOptions file_options;   /* the recording options, --line-file and --duration */
    std::string faces;              /* "first", "second" or "both"; "" for both when there are two, else first */
    float turn_x = 0.0f, turn_y = 0.0f; /* degrees, as the viewer's rotateX and rotateY */
    float distance = 5.0f;          /* the viewer's zoomZ */
    int width = 640, height = 1024;
    int frame = 0;                  /* --frame: a still's, or where a page starts */
    int first_frame = 0, last_frame = FACE_FRAMES - 1; /* --frames: a video's, or those a page holds */
    bool frame_given = false, frames_given = false;
    double fps = 0.0;               /* --fps; 0 for the recordings' own pace, else 30 */
    std::string caption;            /* --caption */
    bool caption_given = false, no_caption = false;
    std::string output;
    OutputKind kind = OUTPUT_PNG;
};

extern const char render_usage[]; /* the usage lines */
extern const char render_help[];  /* what --help prints after them */
/* The command line, checked; error: a usage message. */
bool parse_render_command(int argc, char **argv, RenderRequest *request, std::string *error);
int render_usage_error(const std::string &message); /* the message and the usage; returns EXIT_USAGE */
int run_render(const RenderRequest &request); /* messages on standard error; returns the exit status */

#endif
