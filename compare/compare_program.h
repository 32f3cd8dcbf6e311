/* mienscope-compare: its command line, and the road from a study table to
 * the tables and plots of its comparisons, with the messages and exit
 * statuses it documents. */
#ifndef MIENSCOPE_COMPARE_PROGRAM_H
#define MIENSCOPE_COMPARE_PROGRAM_H

#include <string>
#include <vector>

#include "measure_program.h"


/* What the command line asks for. */
struct CompareRequest {
    bool help = false, version = false, force = false;
    std::string out;                  /* --out DIR */
    std::string study;                /* STUDY.csv */
    MeasureOptions options;           /* the options that shape a measure, as mienscope-measure takes them */
    std::string norm;                 /* --norm GROUP; "" for none */
    std::string group_a, group_b;     /* --groups A B; "" for none */
    std::string before, after;        /* --paired BEFORE AFTER; "" for none */
    std::string session_a, session_b; /* --reliability A B; "" for none */
    std::string mdc;                  /* --mdc FILE, a reliability.csv; "" for none */
    long permutations = 10000;        /* --permutations N */
    unsigned long seed = 1;           /* --seed S */
    long modes = 0;                   /* --modes K; 0 for the smaller of 3 and n_a + n_b - 3 */
};

extern const char compare_usage[]; /* the usage lines */
/* The command line, checked as far as it can be without the study; error: a usage message. */
bool parse_compare_command(int argc, char **argv, CompareRequest *request, std::string *error);
int compare_usage_error(const std::string &message); /* the message and the usage; returns EXIT_USAGE */
void print_compare_help(void);                        /* the usage and what --help says */
int run_compare(const CompareRequest &request);      /* messages on standard error; returns the exit status */

#endif
