/* mienscope-render: pictures and videos of the viewer's picture, drawn
 * offscreen with the viewer's own drawing, with no display.
 *
 * Exit status: 0 done; 1 a marker file can't be opened, no offscreen
 * context, OUTPUT exists or can't be written; 2 a usage error; 255 the
 * line file of an exhibit can't be opened (the viewer's status). */
#include <stdio.h>

#include "render_program.h"

int main(int argc, char **argv)
{
    RenderRequest request;
    std::string error;
    if (!parse_render_command(argc, argv, &request, &error))
        return render_usage_error(error);
    if (request.help)
        printf("%s\n%s", render_usage, render_help);
    if (request.version)
        printf("mienscope-render %s\n", MIENSCOPE_VERSION);
    return request.help || request.version ? EXIT_DONE : run_render(request);
}
