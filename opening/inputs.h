/* What the programs that measure and compare take from a command line:
 * files and folders of files (and, for mienscope-compare, a study table)
 * turned into positions in millimetres, how long each movement lasts,
 * and the markers' labels, segments and pairs. A file is opened by
 * open_input (opening.h), as every program opens one. */
#ifndef MIENSCOPE_INPUTS_H
#define MIENSCOPE_INPUTS_H

#include <math.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "face_files.h"
#include "opening.h"

/* The options that shape how files are read. */
struct InputOptions {
    RecordingOptions recording; /* --markers, --from, --to, --right, --up, --face, --min-confidence */
    double duration = NAN;      /* --duration: seconds a marker file's 180 frames last */
};

/* The markers' names, and the segments and pairs among them. */
struct MarkerNames {
    std::string set;                          /* the set's name; "" for none */
    std::vector<std::string> labels;          /* FACE_MARKERS: the set's labels, or "0" to "23" */
    std::vector<std::array<int, 2>> segments; /* marker indices */
    std::vector<std::array<int, 2>> pairs;    /* marker indices, the subject's left first */
};

/* The guard of a run's outputs (output_guard's) with every file and the --markers set it reads. */
OutputGuard inputs_guard(bool force, const std::string &writes, const std::vector<std::string> &files,
                         const InputOptions &options);
/* Folders replaced by their files whose names end in .c3d, .trc, .csv, .dat or a video's extension (.mp4,
 * .mov, .m4v, .mkv, .webm, .avi; any case), hidden ones skipped, in byte order of the names; false naming a
 * folder that holds none. */
bool expand_folders(const std::vector<std::string> &operands, std::vector<std::string> *files, std::string *error);
/* Every file in order, and the names: --markers's set, else the set the files bring (OpenFace's built-in
 * one), else "0" to "23". Without --markers every file must bring the same set, or none: files measured
 * alike. Returns the exit status of the first that fails, its message in error after where(its index) when
 * where is given. */
int read_inputs(const std::vector<std::string> &files, const InputOptions &options, std::vector<Input> *inputs,
                MarkerNames *names, std::string *error,
                const std::function<std::string(size_t)> &where = std::function<std::string(size_t)>());

#endif
