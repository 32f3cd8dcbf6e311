/* mienscope-import: turns one C3D, TRC or OpenFace CSV recording into a
 * marker file (and a line file) that the viewer shows as it stands.
 *
 * Exit status: 0 done; 1 the recording, the marker set or an output file
 * can't be used (one line FILE: what is wrong); 2 a usage error (the
 * message and a usage line). After any error no file has been created or
 * changed. */
#include <stdio.h>

#include "program.h"

int main(int argc, char **argv)
{
    ImportRequest request;
    std::string error;
    if (!parse_import_command(argc, argv, &request, &error))
        return usage_error(error);
    if (request.help)
        printf("%s%s", import_usage, import_help);
    if (request.version)
        printf("mienscope-import %s\n", MIENSCOPE_VERSION);
    return request.help || request.version ? EXIT_DONE : import_recording(request);
}
