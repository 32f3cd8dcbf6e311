/* mienscope-measure: its command line, and the road from marker files to
 * the tables and plots, with the messages and exit statuses it documents. */
#ifndef MIENSCOPE_MEASURE_PROGRAM_H
#define MIENSCOPE_MEASURE_PROGRAM_H

#include <string>
#include <vector>

#include "study.h"

enum { MEASURE_DONE = 0, MEASURE_UNUSABLE = 1, MEASURE_USAGE = 2 };

/* What the command line asks for. */
struct MeasureRequest {
    bool help = false, version = false, force = false;
    std::string markers;            /* --markers SET; "" for none */
    std::string out;                /* --out DIR; "" for the table on standard output */
    MeasureSettings settings;       /* --rest, --threshold */
    double duration = NAN;          /* --duration SECONDS; NAN when not given */
    std::vector<std::string> files; /* as given */
};

extern const char measure_usage[]; /* the usage lines */
extern const char measure_help[];  /* what --help prints after them */
/* The command line; error: a usage message. */
bool parse_measure_command(int argc, char **argv, MeasureRequest *request, std::string *error);
int measure_usage_error(const std::string &message); /* the message and the usage; returns MEASURE_USAGE */
int run_measure(const MeasureRequest &request); /* messages on standard error; returns the exit status */

#endif
