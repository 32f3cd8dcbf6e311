/* libFuzzer target: arbitrary bytes as a line file and a marker file.
 *
 * Input layout: two bytes, little-endian, give the length of the line
 * file's text; the rest of the input (after it) is the marker file. The
 * record that new_face returns must keep its invariants whatever the files
 * held: 0..100 segments with both ends on a marker in use, and every
 * coordinate of the 180 x 24 in use finite. */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "face_files.h"
#include "head.h"

static char line_path[256];
static char marker_path[256];

static void make_paths(void)
{
    const char *tmp = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    snprintf(line_path, sizeof line_path, "%s/mienscope-fuzz-%d-line", tmp, (int)getpid());
    snprintf(marker_path, sizeof marker_path, "%s/mienscope-fuzz-%d-markers", tmp, (int)getpid());
}

static void write_bytes(const char *path, const uint8_t *data, size_t size)
{
    FILE *fp = fopen(path, "wb");
    if (!fp)
        abort();
    if (size > 0 && fwrite(data, 1, size, fp) != size)
        abort();
    fclose(fp);
}

static void check_invariants(const FACE *face)
{
    if (face->nvertices != FACE_MARKERS || face->nframes != FACE_FRAMES || face->nlines < 0 || face->nlines > FACE_SEGMENTS)
        abort();
    for (int i = 0; i < face->nlines; i++)
        for (int e = 0; e < 2; e++)
            if (face->linemap[i][e] < 0 || face->linemap[i][e] >= face->nvertices)
                abort();
    for (int f = 0; f < face->nframes; f++)
        for (int m = 0; m < face->nvertices; m++)
            for (int a = 0; a < 3; a++)
                if (!isfinite(face->ff[f][m][a]))
                    abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!line_path[0])
        make_paths();
    size_t line_size = size >= 2 ? (size_t)(data[0] | data[1] << 8) : 0;
    size_t rest = size >= 2 ? size - 2 : 0;
    if (line_size > rest)
        line_size = rest;
    write_bytes(line_path, data + 2 * (size >= 2), line_size);
    write_bytes(marker_path, data + 2 * (size >= 2) + line_size, rest - line_size);
    FACE *face = new_face(line_path, marker_path);
    check_invariants(face);
    free(face);
    return 0;
}
