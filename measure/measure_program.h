/* mienscope-measure: its command line, and the road from recordings and
 * marker files to the tables and plots, with the messages and exit
 * statuses it documents. The options that shape a measure and the
 * measuring of opened inputs are shared with the programs that compare. */
#ifndef MIENSCOPE_MEASURE_PROGRAM_H
#define MIENSCOPE_MEASURE_PROGRAM_H

#include <getopt.h>

#include <string>
#include <vector>

#include "inputs.h"
#include "tables.h"


/* The options that shape a measure: how files are read and what is measured. */
struct MeasureOptions {
    InputOptions inputs;      /* --markers, --duration and the recording options */
    MeasureSettings settings; /* --rest, --threshold, --smooth */
};

/* What the command line asks for. */
struct MeasureRequest {
    bool help = false, version = false, force = false;
    bool face_measures = false;     /* --face-measures: every file brings the 68 landmarks; face.csv printed */
    std::string out;                /* --out DIR; "" for the table on standard output */
    MeasureOptions options;
    std::vector<std::string> files; /* as given; folders stand for their files */
};

extern const char measure_usage[];   /* the usage lines */
extern const char measure_help[];    /* what --help prints after them */
extern const char measure_options_help[]; /* the lines of --help that describe the shaping options */
extern const char measure_help_end[];     /* the rest of --help */
/* A program's own long options, then --rest, --threshold, --smooth, --duration and the recording options. */
std::vector<struct option> with_measure_options(const std::vector<struct option> &own);
/* A name an option takes (a group, a condition) into out; false with "OPTION needs WHAT, and "--out" is an
 * option" when it starts with "--", as when the name was left out. */
bool take_name(const char *option, const char *what, const char *value, std::string *out, std::string *error);
/* One shaping option's value into options; error: a usage message. */
bool take_measure_option(int code, const char *arg, MeasureOptions *options, std::string *error);
/* The command line; error: a usage message. */
bool parse_measure_command(int argc, char **argv, MeasureRequest *request, std::string *error);
int measure_usage_error(const std::string &message); /* the message and the usage; returns EXIT_USAGE */
int run_measure(const MeasureRequest &request); /* messages on standard error; returns the exit status */

#endif
