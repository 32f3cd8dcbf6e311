/* Face records: construction, normalisation and the two drawing routines.
 *
 * Normalisation puts the first frame's marker centroid at the origin and
 * divides every frame by the first frame's largest absolute coordinate, so
 * recordings in any unit and at any place in the capture volume show at the
 * same size. All stored values are single precision; each expression is
 * evaluated in double and rounded once, when it is stored. */
#include "head.h"
#include "face_files.h"

#include <GL/glu.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

static const float initial_lower_bound = 10000.0f;
static const float initial_upper_bound = -10000.0f;

static const double marker_radius = 0.03;
static const int marker_slices = 16;
static const int marker_stacks = 16;

/* Created on first use and kept: one quadric serves every marker. */
static GLUquadric *marker_quadric;

/* A zeroed record; running out of memory ends the process, naming the file. */
static FACE *allocate_face(const char *marker_file)
{
    FACE *face = (FACE *)calloc(1, sizeof(FACE));
    if (!face) {
        fprintf(stderr, "%s: no memory for a face record of %zu bytes; stopping\n", marker_file, sizeof(FACE));
        exit(1);
    }
    return face;
}

FACE *new_face(const char *f1, const char *f2)
{
    FACE *face = allocate_face(f2);
    create_face(f1, f2, face);
    return face;
}

/* A first frame that is flat up to a tiny residue gives a tiny scale, and
 * later frames divided by it can overflow; such coordinates become 0. */
static void clear_overflowed_coordinates(FACE *face, const char *marker_file)
{
    long overflowed = 0;
    for (int f = 0; f < face->nframes; f++)
        for (int m = 0; m < face->nvertices; m++)
            for (int a = 0; a < 3; a++)
                if (!isfinite(face->ff[f][m][a])) {
                    face->ff[f][m][a] = 0.0f;
                    overflowed++;
                }
    if (overflowed > 0)
        fprintf(stderr, "%s: %ld %s when scaled to the first frame; %s set to 0\n", marker_file, overflowed,
                overflowed == 1 ? "coordinate overflowed" : "coordinates overflowed", overflowed == 1 ? "it is" : "they are");
}

static float largest_bound(const FACE *face)
{
    float scalemax = 0.0f;
    for (int r = 0; r < 2; r++)
        for (int a = 0; a < 3; a++)
            if (fabsf(face->range[r][a]) > scalemax)
                scalemax = fabsf(face->range[r][a]);
    return scalemax;
}

void load_face_markers(const char *marker_file, FACE *face)
{
    read_data_matrix(marker_file, face);
    face_normalise(face);
    clear_overflowed_coordinates(face, marker_file);
}

void create_face(const char *f1, const char *f2, FACE *face)
{
    face->nvertices = FACE_MARKERS;
    face->nframes = FACE_FRAMES;
    read_line_info(f1, face);
    load_face_markers(f2, face);
}

void face_from_positions(FACE *face, const double *xyz, const char *name)
{
    face->nvertices = FACE_MARKERS;
    face->nframes = FACE_FRAMES;
    for (int f = 0; f < FACE_FRAMES; f++)
        for (int m = 0; m < FACE_MARKERS; m++)
            for (int a = 0; a < 3; a++)
                face->ff[f][m][a] = (float)xyz[((size_t)f * FACE_MARKERS + (size_t)m) * 3 + (size_t)a];
    face_normalise(face);
    clear_overflowed_coordinates(face, name);
}

FACE *new_face_without_segments(const char *marker_file)
{
    FACE *face = allocate_face(marker_file);
    face->nvertices = FACE_MARKERS;
    face->nframes = FACE_FRAMES;
    load_face_markers(marker_file, face);
    return face;
}

void face_normalise(FACE *face)
{
    face_stats(face);
    face_rescale(face, 0.0f);
    /* Again on the centred frame: the means are now the rounding residue of
     * the centring, which the final rescale subtracts once more. */
    face_stats(face);
    face_dimensions(face);
    face_rescale(face, largest_bound(face));
}

void face_stats(FACE *face)
{
    for (int a = 0; a < 3; a++) {
        face->mean[a] = 0.0f;
        face->sd[a] = 0.0f;
    }
    for (int m = 0; m < face->nvertices; m++)
        for (int a = 0; a < 3; a++)
            face->mean[a] = face->mean[a] + face->ff[0][m][a];
    for (int a = 0; a < 3; a++)
        face->mean[a] = (float)((double)face->mean[a] / face->nvertices);
    for (int m = 0; m < face->nvertices; m++)
        for (int a = 0; a < 3; a++) {
            float d = face->ff[0][m][a] - face->mean[a];
            face->sd[a] = (float)((double)face->sd[a] + (double)d * d);
        }
    for (int a = 0; a < 3; a++)
        face->sd[a] = (float)sqrt((double)face->sd[a] / (face->nvertices - 1));
}

void face_rescale(FACE *face, float scale)
{
    for (int f = 0; f < face->nframes; f++)
        for (int m = 0; m < face->nvertices; m++)
            for (int a = 0; a < 3; a++) {
                double centred = (double)face->ff[f][m][a] - face->mean[a];
                if (scale < 0.0f)
                    face->ff[f][m][a] = (float)(centred / face->sd[a]);
                else if (scale == 0.0f)
                    face->ff[f][m][a] = (float)centred;
                else
                    face->ff[f][m][a] = (float)(centred / scale);
            }
}

void face_dimensions(FACE *face)
{
    for (int a = 0; a < 3; a++) {
        face->range[0][a] = initial_lower_bound;
        face->range[1][a] = initial_upper_bound;
    }
    for (int m = 0; m < face->nvertices; m++)
        for (int a = 0; a < 3; a++) {
            float v = face->ff[0][m][a];
            if (v < face->range[0][a])
                face->range[0][a] = v;
            if (v > face->range[1][a])
                face->range[1][a] = v;
        }
}

void display_markers(const FACE *face, int iframe, const float *color)
{
    if (!marker_quadric)
        marker_quadric = gluNewQuadric();
    glDisable(GL_LIGHTING);
    glColor3fv(color);
    for (int m = 0; m < face->nvertices; m++) {
        const float *p = face->ff[iframe][m];
        glPushMatrix();
        glTranslatef(p[0], p[1], p[2]);
        gluSphere(marker_quadric, marker_radius, marker_slices, marker_stacks);
        glPopMatrix();
    }
    glEnable(GL_LIGHTING);
}

void display_lines(const FACE *face, int k)
{
    glDisable(GL_LIGHTING);
    glLineWidth(2.0f);
    glColor3f(0.0f, 0.0f, 1.0f);
    for (int i = 0; i < face->nlines; i++) {
        glBegin(GL_LINES);
        glVertex3fv(face->ff[k][face->linemap[i][0]]);
        glVertex3fv(face->ff[k][face->linemap[i][1]]);
        glEnd();
    }
    glLineWidth(1.0f);
    glEnable(GL_LIGHTING);
}
