/* The faces a picture shows, loaded from the files a command line names,
 * for the viewer and for mienscope-render alike. A recording (C3D, TRC,
 * OpenFace CSV, told by content) is converted in memory exactly as
 * mienscope-import converts it, with the same options and messages; any
 * other text file is a marker file, read as the viewer reads the
 * exhibits'. Every face then goes through the viewer's own normalisation. */
#ifndef MIENSCOPE_FILE_FACES_H
#define MIENSCOPE_FILE_FACES_H

#include <math.h>

#include <string>
#include <vector>

#include "head.h"
#include "opening.h"

/* How files become faces: the options the viewer and mienscope-render share. */
struct FaceFileOptions {
    RecordingOptions recording; /* --markers, --from, --to, --right, --up, --face, --min-confidence */
    std::string line_file;      /* --line-file; "" for the set's segments, else face-data/line.dat where it exists */
    double duration = NAN;      /* --duration: seconds a marker file's 180 frames last */
};

extern const char exhibit_line_file[];                /* face-data/line.dat */
extern const char *const exhibit_marker_files[5][2]; /* the exhibits' files, green then red; F2's red is sm2.dat */
/* A file as a new face (free() it); seconds: how long its frames last, NAN when unknown. Returns the exit
 * status, the message printed; a marker file that can't be read as it is opened ends the process with
 * the viewer's message. A usage message (EXIT_USAGE) is left in usage, not printed. */
int load_file_face(const std::string &path, const FaceFileOptions &options, FACE **face, double *seconds,
                   std::string *usage);
/* The videos among the files tracked at once (a tracker a core), for load_file_face to take in turn. */
void track_file_videos_ahead(const std::vector<std::string> &paths, const FaceFileOptions &options);
std::string files_caption(const std::vector<std::string> &files); /* base names joined by ", " */

#endif
