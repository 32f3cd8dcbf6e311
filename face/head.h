#ifndef MIENSCOPE_HEAD_H
#define MIENSCOPE_HEAD_H

/* One recorded facial movement: 24 markers over 180 frames, the segments that
 * outline the face, and statistics of the first frame. One fixed-size block;
 * the capacities below are larger than what a recording uses. */
typedef struct {
    int nvertices;             /* markers in use in each frame (24) */
    int nlines;                /* segments in use, 0..100 */
    int nframes;               /* frames in use (180) */
    int linemap[100][2];       /* segment i joins marker linemap[i][0] to linemap[i][1] */
    float ff[300][100][3];     /* ff[frame][marker][axis], axis 0 = x (right), 1 = y (up), 2 = z (towards viewer) */
    float range[2][3];         /* first frame's minimum [0] and maximum [1] per axis, centred and unscaled */
    float mean[3];             /* first frame's mean per axis */
    float sd[3];               /* first frame's sample standard deviation per axis (n - 1 denominator) */
} FACE;

void read_line_info(const char *FileName, FACE *face);          /* segment count and pairs from a line file */
void read_data_matrix(const char *FileName, FACE *face);        /* nframes x nvertices marker triples (-z, y, x) */
FACE *new_face(const char *f1, const char *f2);                 /* zeroed record filled by create_face; free() it */
void create_face(const char *f1, const char *f2, FACE *face);   /* read line file f1 and marker file f2, then face_normalise */
FACE *new_face_without_segments(const char *marker_file);       /* as new_face, with no line file: no segments */
void load_face_markers(const char *marker_file, FACE *face);    /* counts set: read the markers and normalise */
/* 180 x 24 positions (x, y, z a marker, frame by frame) as a record, normalised; name for warnings. */
void face_from_positions(FACE *face, const double *xyz, const char *name);
void face_normalise(FACE *face);                                /* centre on frame 0's centroid, divide by its largest bound */
void face_stats(FACE *face);                                    /* mean and sd of frame 0 */
void face_rescale(FACE *face, float scale);                     /* all frames: <0 standardise, 0 centre, >0 centre and divide */
void face_dimensions(FACE *face);                               /* range of frame 0 */
void display_markers(const FACE *face, int iframe, const float *color); /* one unlit sphere per marker */
void display_lines(const FACE *face, int k);                    /* the segments at frame k, blue, 2 pixels wide */

#endif
