/* mienscope-report: its command line, and the road from a study table or
 * files to the pages, with the messages and exit statuses it documents. */
#ifndef MIENSCOPE_REPORT_PROGRAM_H
#define MIENSCOPE_REPORT_PROGRAM_H

#include <string>
#include <vector>

#include "measure_program.h"
#include "report.h"


/* What the command line asks for. */
struct ReportRequest {
    bool help = false, version = false, force = false;
    std::string out;                   /* --out DIR */
    std::string norm;                  /* --norm GROUP; "" for none */
    MeasureOptions options;            /* the options that shape a measure */
    std::vector<std::string> inputs;   /* STUDY.csv, or files and folders */
};

extern const char report_usage[]; /* the usage lines */
bool parse_report_command(int argc, char **argv, ReportRequest *request, std::string *error);
int report_usage_error(const std::string &message); /* the message and the usage; returns EXIT_USAGE */
void print_report_help(void);
int run_report(const ReportRequest &request, const ReportInfo &info); /* messages on standard error; the status */

#endif
