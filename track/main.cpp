/* mienscope-track: a video's face as an OpenFace table. */
#include <stdio.h>

#include "ahead.h"
#include "track_program.h"

int main(int argc, char **argv)
{
    TrackRequest request;
    std::string error;
    if (!parse_track_command(argc, argv, &request, &error))
        return track_usage_error(error);
    if (request.help) {
        printf("%s\n%s", track_usage, track_help);
        return EXIT_DONE;
    }
    if (request.version) {
        printf("mienscope-track %s\n", MIENSCOPE_VERSION);
        return EXIT_DONE;
    }
    return request.tables_into.empty() ? run_track(request, MIENSCOPE_VERSION)
                                       : run_tables_into(request, MIENSCOPE_VERSION);
}
