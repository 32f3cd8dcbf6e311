/* mienscope-compare: a study's recordings measured at once, and compared
 * with a normal group, group with group, and before with after.
 *
 * Exit status: 0 done; 1 the study table, a recording, the marker set, a
 * group or the output folder can't be used, or gnuplot failed (one line
 * says which; nothing is written); 2 a usage error (the message and the
 * usage). */
#include <stdio.h>

#include "compare_program.h"

int main(int argc, char **argv)
{
    CompareRequest request;
    std::string error;
    if (!parse_compare_command(argc, argv, &request, &error))
        return compare_usage_error(error);
    if (request.help)
        print_compare_help();
    if (request.version)
        printf("mienscope-compare %s\n", MIENSCOPE_VERSION);
    return request.help || request.version ? EXIT_DONE : run_compare(request);
}
