/* mienscope-measure: how far, when and how evenly a face moves, from
 * recordings and marker files, as CSV tables and plots.
 *
 * Exit status: 0 done; 1 a file, a folder, the marker set or the output
 * folder can't be used, or gnuplot failed (one line names it; nothing is
 * written); 2 a usage error (the message and the usage). */
#include <stdio.h>

#include "measure_program.h"

int main(int argc, char **argv)
{
    MeasureRequest request;
    std::string error;
    if (!parse_measure_command(argc, argv, &request, &error))
        return measure_usage_error(error);
    if (request.help)
        printf("%s\n%s%s%s", measure_usage, measure_help, measure_options_help, measure_help_end);
    if (request.version)
        printf("mienscope-measure %s\n", MIENSCOPE_VERSION);
    return request.help || request.version ? EXIT_DONE : run_measure(request);
}
