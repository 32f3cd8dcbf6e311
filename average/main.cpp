/* mienscope-average: a group's average movement and its principal modes
 * of variation, from marker files, as marker files the viewer shows.
 *
 * Exit status: 0 done; 1 a marker file, the marker set or the output
 * folder can't be used, or the files do not vary (one line says which;
 * nothing is written); 2 a usage error (the message and the usage). */
#include <stdio.h>

#include "average_program.h"

int main(int argc, char **argv)
{
    AverageRequest request;
    std::string error;
    if (!parse_average_command(argc, argv, &request, &error))
        return average_usage_error(error);
    if (request.help)
        printf("%s\n%s", average_usage, average_help);
    if (request.version)
        printf("mienscope-average %s\n", MIENSCOPE_VERSION);
    return request.help || request.version ? EXIT_DONE : run_average(request);
}
