/* mienscope-report: a page per recording that a clinician can hand on,
 * and an index, from a study table or files.
 *
 * Exit status: 0 done; 1 the study table, a recording, the marker set, the
 * group or the output folder can't be used, no offscreen context can be
 * made, or gnuplot failed (one line says which; nothing is written); 2 a
 * usage error (the message and the usage). */
#include <stdio.h>
#include <time.h>

#include "report_program.h"

int main(int argc, char **argv)
{
    ReportRequest request;
    std::string error;
    if (!parse_report_command(argc, argv, &request, &error))
        return report_usage_error(error);
    if (request.help)
        print_report_help();
    if (request.version)
        printf("mienscope-report %s\n", MIENSCOPE_VERSION);
    if (request.help || request.version)
        return EXIT_DONE;
    char date[16];
    time_t now = time(nullptr);
    strftime(date, sizeof date, "%Y-%m-%d", localtime(&now));
    return run_report(request, {MIENSCOPE_VERSION, date});
}
