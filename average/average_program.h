/* mienscope-average: its command line, and the road from a group's
 * recordings and marker files to the average, the mode files, their tables and plot, and the
 * exhibits folder, with the messages and exit statuses it documents. */
#ifndef MIENSCOPE_AVERAGE_PROGRAM_H
#define MIENSCOPE_AVERAGE_PROGRAM_H

#include <string>
#include <vector>

#include "group.h"
#include "inputs.h"


/* What the command line asks for. */
struct AverageRequest {
    bool help = false, version = false, force = false;
    bool exhibits = false;          /* also DIR/face-data/, a folder the viewer opens */
    InputOptions inputs;            /* --markers and the recording options */
    std::string out;                /* --out DIR */
    long modes = 0;                 /* --modes K; 0 for the default, the smaller of 3 and files - 1 */
    double sd = 2.0;                /* --sd C: how far the mode files go, in standard deviations */
    std::vector<std::string> files; /* as given; folders stand for their files */
};

extern const char average_usage[]; /* the usage lines */
extern const char average_help[];  /* what --help prints after them */
/* The command line; error: a usage message. */
bool parse_average_command(int argc, char **argv, AverageRequest *request, std::string *error);
int average_usage_error(const std::string &message); /* the message and the usage; returns EXIT_USAGE */
/* The exhibits' files: which file of the group, or which movement, each of face-data's names holds. */
std::vector<std::pair<std::string, FacePositions>> exhibit_files(const Group &group, size_t modes, double sds);
int run_average(const AverageRequest &request); /* messages on standard error; returns the exit status */

#endif
