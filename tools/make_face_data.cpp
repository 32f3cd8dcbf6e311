/* Writes the sample data: face-data/line.dat and eight smile recordings,
 * and the example capture examples/smile.c3d.
 *
 *   make_face_data [face-data-folder [examples-folder]]
 *                                     (default: face-data and examples)
 *   make_face_data --group N FOLDER   N people's smiles, subject01.dat ...,
 *                                     for trying mienscope-average
 *   make_face_data --group N --weak-side left|right --weak F FOLDER
 *                                     N other people, patient01.dat ..., whose
 *                                     smile moves the subject's left or right
 *                                     side by F (0 < F <= 1) of the other, as
 *                                     facial palsy does; the same people for
 *                                     every F, so a larger F is their recovery
 *   ... --session S                   the same people recorded again (S a whole
 *                                     number from 1; each S another recording):
 *                                     their smiles' size within a few per cent,
 *                                     their onsets within a few frames, and noise
 *                                     of its own, as a second recording of one
 *                                     person differs from the first
 *   ... --table STUDY.csv --as GROUP[:CONDITION]
 *                                     also a row per file in the study table
 *                                     STUDY.csv (made with its header when it
 *                                     is new): file, group, subject, condition
 *
 * Each recording is 180 frames of 24 markers in millimetres, placed in a
 * capture volume far from its origin: a resting face, a smile that rises,
 * holds and releases, a slow head drift and a little measurement noise. The
 * output depends only on this file and the C3D writer: the noise comes from a fixed-seed
 * generator and the arithmetic uses no library maths, so the files come out
 * byte for byte the same on every run. */
#include "head.h"
#include "c3d_writer.h"
#include "face_files.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

enum { MARKERS = FACE_MARKERS, FRAMES = FACE_FRAMES };

/* Resting face in millimetres: x to the viewer's right, y up, z towards the
 * viewer, origin between the eyes' inner corners. */
static const double rest_layout[MARKERS][3] = {
    {-52, 42, 8},   /*  0 brow, left end */
    {-35, 50, 18},  /*  1 brow, left middle */
    {-15, 46, 24},  /*  2 brow, left inner end */
    {15, 46, 24},   /*  3 brow, right inner end */
    {35, 50, 18},   /*  4 brow, right middle */
    {52, 42, 8},    /*  5 brow, right end */
    {-45, 28, 10},  /*  6 eye, left outer corner */
    {-18, 27, 16},  /*  7 eye, left inner corner */
    {18, 27, 16},   /*  8 eye, right inner corner */
    {45, 28, 10},   /*  9 eye, right outer corner */
    {0, 30, 28},    /* 10 bridge of the nose */
    {0, -5, 50},    /* 11 tip of the nose */
    {-14, -14, 32}, /* 12 left nostril */
    {14, -14, 32},  /* 13 right nostril */
    {-48, -8, 14},  /* 14 left cheek */
    {48, -8, 14},   /* 15 right cheek */
    {-26, -40, 18}, /* 16 left mouth corner */
    {-11, -34, 26}, /* 17 upper lip, left */
    {0, -33, 29},   /* 18 upper lip, centre */
    {11, -34, 26},  /* 19 upper lip, right */
    {26, -40, 18},  /* 20 right mouth corner */
    {0, -48, 26},   /* 21 lower lip, centre */
    {0, -75, 20},   /* 22 chin */
    {0, 75, 18},    /* 23 forehead */
};

/* Displacement of each marker at the apex of an average smile, millimetres:
 * the corners go out, up and back, the cheeks rise, the lips part a little
 * and the outer eye corners narrow. */
static const double smile_shape[MARKERS][3] = {
    {0, -1, 0},   {0, -0.5, 0}, {0, 0, 0},  {0, 0, 0},    {0, -0.5, 0}, {0, -1, 0},
    {1, 1.5, 0},  {0, 0.5, 0},  {0, 0.5, 0}, {-1, 1.5, 0}, {0, 0, 0},    {0, 0.5, 0},
    {-2, 1.5, 0}, {2, 1.5, 0},  {-3, 5, 2}, {3, 5, 2},     {-9, 7, -4},  {-4, 3, -1},
    {0, 2.5, 0},  {4, 3, -1},   {9, 7, -4}, {0, -3, 1},    {0, -2, 0.5}, {0, 0, 0},
};

/* How an individual smile varies about the average: mouth corners and
 * cheeks lifted further (positive weight) or pulled down and out. */
static const double variation_shape[MARKERS][3] = {
    {0, 0, 0}, {0, 0, 0},   {0, 0, 0}, {0, 0, 0}, {0, 0, 0},    {0, 0, 0},
    {0, 1, 0}, {0, 0, 0},   {0, 0, 0}, {0, 1, 0}, {0, 0, 0},    {0, 0, 0},
    {0, 0, 0}, {0, 0, 0},   {0, 3, 1}, {0, 3, 1}, {-1, 5, -1},  {0, 1.5, 0},
    {0, 1, 0}, {0, 1.5, 0}, {1, 5, -1}, {0, -1, 0}, {0, -0.5, 0}, {0, 0, 0},
};

/* The example recording's head markers, millimetres in the face's frame:
 * they sit on a headband and move with the head only. */
enum { HEAD_MARKERS = 4 };
static const double head_layout[HEAD_MARKERS][3] = {
    {-62, 68, -20},  /* front, on the subject's right (the viewer's left) */
    {62, 68, -20},   /* front, on the subject's left */
    {-58, 58, -150}, /* back, right */
    {58, 58, -150},  /* back, left */
};

static const int segments[][2] = {
    {0, 1},   {1, 2},   {3, 4},   {4, 5},                                 /* brows */
    {6, 7},   {8, 9},   {0, 6},   {5, 9},   {2, 7},   {3, 8},             /* eyes */
    {10, 11}, {11, 12}, {11, 13}, {12, 13}, {7, 10},  {10, 8}, {2, 10}, {3, 10}, /* nose */
    {6, 14},  {9, 15},  {14, 16}, {15, 20}, {12, 14}, {13, 15},           /* cheeks */
    {16, 17}, {17, 18}, {18, 19}, {19, 20}, {20, 21}, {21, 16},           /* lips */
    {12, 17}, {13, 19},                                                   /* nose to lip */
    {21, 22}, {16, 22}, {20, 22},                                         /* chin */
    {23, 1},  {23, 2},  {23, 3},  {23, 4},                                /* forehead */
};

typedef struct {
    const char *file;
    double width_scale;     /* subject's face width against the layout */
    double height_scale;    /* subject's face height against the layout */
    double amplitude_start; /* smile size at the start of the apex (1 = average) */
    double amplitude_end;   /* smile size at the end of the apex */
    double corner_spread;   /* sideways travel of the mouth corners (1 = average) */
    double right_bias;      /* extra amplitude of the side on the viewer's right (the subject's left) */
    double variation;       /* weight of variation_shape */
    int onset;              /* frame where the smile starts */
    int apex;               /* frame where it reaches its apex */
    int release;            /* frame where it starts to fade */
    int rest;               /* frame where it would be gone; past 179 the recording ends mid-release */
    double noise;           /* measurement noise, millimetres, peak */
    double offset[3];       /* capture volume position of the layout origin, millimetres */
    unsigned int seed;
    int weak_side;          /* 0: none; -1 the subject's right (the viewer's left, x < 0); +1 the subject's left */
    double weak_loss;       /* the share of the smile the weak side loses: 1 - F */
} Recording;

static const Recording recordings[] = {
    {"sm1.dat", 1.00, 1.00, 1.00, 1.00, 1.0, 0.00, 0.0, 20, 70, 115, 215, 0.15, {412.3, 1183.6, -734.2}, 11u, 0, 0.0},
    {"sm2.dat", 1.08, 0.94, 0.90, 0.95, 1.2, 0.15, 0.0, 35, 80, 125, 190, 0.15, {398.7, 1121.4, -702.9}, 23u, 0, 0.0},
    {"smaa.dat", 1.04, 0.97, 1.00, 1.00, 1.0, 0.00, 0.0, 25, 75, 120, 205, 0.05, {405.0, 1150.0, -720.0}, 37u, 0, 0.0},
    {"smnn.dat", 1.00, 1.00, 0.55, 0.55, 0.4, 0.00, 0.0, 25, 75, 120, 205, 0.15, {412.3, 1183.6, -734.2}, 41u, 0, 0.0},
    {"smll.dat", 1.00, 1.00, 1.45, 1.45, 1.7, 0.00, 0.0, 25, 75, 120, 205, 0.15, {412.3, 1183.6, -734.2}, 53u, 0, 0.0},
    {"smnl.dat", 1.00, 1.00, 0.55, 1.45, 0.4, 0.00, 0.0, 25, 60, 135, 210, 0.15, {412.3, 1183.6, -734.2}, 67u, 0, 0.0},
    {"smpcu.dat", 1.04, 0.97, 1.00, 1.00, 1.0, 0.00, 1.0, 25, 75, 120, 205, 0.05, {405.0, 1150.0, -720.0}, 71u, 0, 0.0},
    {"smpcd.dat", 1.04, 0.97, 1.00, 1.00, 1.0, 0.00, -1.0, 25, 75, 120, 205, 0.05, {405.0, 1150.0, -720.0}, 83u, 0, 0.0},
};

static unsigned int next_random(unsigned int *state)
{
    unsigned int x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return x;
}

/* Roughly bell-shaped noise in -peak..peak: the mean of four uniforms. */
static double noise_sample(unsigned int *state, double peak)
{
    double sum = 0.0;
    for (int i = 0; i < 4; i++)
        sum += next_random(state) / 4294967295.0;
    return (sum / 2.0 - 1.0) * peak;
}

static double smoothstep(double u)
{
    if (u <= 0.0)
        return 0.0;
    if (u >= 1.0)
        return 1.0;
    return u * u * (3.0 - 2.0 * u);
}

/* How far into the smile frame f is: 0 at rest, 1 at the apex. */
static double smile_level(const Recording *r, int f)
{
    if (f < r->apex)
        return smoothstep((double)(f - r->onset) / (r->apex - r->onset));
    if (f < r->release)
        return 1.0;
    return 1.0 - smoothstep((double)(f - r->release) / (r->rest - r->release));
}

/* Smile size in frame f: grows from amplitude_start to amplitude_end over
 * the apex, so a smile can start narrow and end broad. */
static double smile_amplitude(const Recording *r, int f)
{
    double u = smoothstep((double)(f - r->apex) / (r->release - r->apex));
    return r->amplitude_start + (r->amplitude_end - r->amplitude_start) * u;
}

/* Marker m of the subject's face in frame f, millimetres, before the
 * capture offset and noise. Markers past the face's 24 are the example
 * recording's head markers, which only drift. */
static void face_position(const Recording *r, int f, int m, double mm[3])
{
    double level = smile_level(r, f);
    double drift[3] = {1.2 * f / (FRAMES - 1), 0.6 * level, -0.8 * f / (FRAMES - 1)};
    if (m >= MARKERS) {
        for (int a = 0; a < 3; a++)
            mm[a] = head_layout[m - MARKERS][a] + drift[a];
        return;
    }
    double size = smile_amplitude(r, f) * (rest_layout[m][0] > 0.0 ? 1.0 + r->right_bias : 1.0);
    double side = rest_layout[m][0];
    double kept = (r->weak_side < 0 && side < 0.0) || (r->weak_side > 0 && side > 0.0) ? 1.0 - r->weak_loss : 1.0;
    double spread[3] = {r->corner_spread, 1.0, 1.0};
    double scale[3] = {r->width_scale, r->height_scale, 1.0};
    for (int a = 0; a < 3; a++) {
        double move = kept * level * (size * spread[a] * smile_shape[m][a] + r->variation * variation_shape[m][a]);
        mm[a] = rest_layout[m][a] * scale[a] + move + drift[a];
    }
}

static void make_marker(const Recording *r, int f, int m, unsigned int *state, float out[3])
{
    double mm[3];
    face_position(r, f, m, mm);
    for (int a = 0; a < 3; a++)
        out[a] = (float)(r->offset[a] + mm[a] + noise_sample(state, r->noise));
}

static void make_recording(const Recording *r, FACE *face)
{
    unsigned int state = r->seed;
    face->nframes = FRAMES;
    face->nvertices = MARKERS;
    for (int f = 0; f < FRAMES; f++)
        for (int m = 0; m < MARKERS; m++)
            make_marker(r, f, m, &state, face->ff[f][m]);
}

/* The example capture: a smile as a lab system records it. Labels carry
 * the subject's name as a prefix and name sides from the subject's view,
 * so R is on the viewer's left. The lab's axes are Z up, with the subject
 * facing -Y: lab (X, Y, Z) = face (x, -z, y). */
enum { EXAMPLE_FRAMES = 300, EXAMPLE_POINTS = MARKERS + HEAD_MARKERS };
static const double example_rate = 100.0;
static const char *const example_labels[EXAMPLE_POINTS] = {
    "RBrowOut", "RBrowMid", "RBrowIn", "LBrowIn", "LBrowMid", "LBrowOut", "REyeOut", "REyeIn", "LEyeIn", "LEyeOut",
    "NoseBridge", "NoseTip", "RNostril", "LNostril", "RCheek", "LCheek", "RMouth", "ULipR", "ULip", "ULipL",
    "LMouth", "LLip", "Chin", "Forehead", "RFHD", "LFHD", "RBHD", "LBHD",
};
static const Recording example = {
    "smile.c3d", 1.02, 0.98, 1.10, 1.15, 1.1, 0.05, 0.3, 40, 110, 190, 270, 0.15, {1520.0, 2310.0, 1105.0}, 97u, 0, 0.0,
};

/* Samples the cameras lost: a mouth corner hidden by a hand for 12
 * frames, a back head marker for 8, and the chin for the first 3. */
static int example_sample_lost(int f, int m)
{
    return (m == 20 && f >= 150 && f < 162) || (m == 26 && f >= 200 && f < 208) || (m == 22 && f < 3);
}

/* The head nods down by about 4 degrees as the smile rises and comes back
 * up as it fades, and turns about 6 degrees to the subject's left over the
 * recording, about a point in the neck. The rotation is that of the
 * quaternion (1, nod, turn, 0), computed without library maths. */
static void move_head(int f, double mm[3])
{
    static const double pivot[3] = {0.0, -110.0, -90.0};
    double x = 0.035 * (smoothstep((f - 30) / 60.0) - smoothstep((f - 150) / 80.0));
    double y = 0.05 * smoothstep((f - 60) / 180.0);
    double n = 1.0 + x * x + y * y;
    double r[3][3] = {
        {(1 + x * x - y * y) / n, 2 * x * y / n, 2 * y / n},
        {2 * x * y / n, (1 - x * x + y * y) / n, -2 * x / n},
        {-2 * y / n, 2 * x / n, (1 - x * x - y * y) / n},
    };
    double p[3] = {mm[0] - pivot[0], mm[1] - pivot[1], mm[2] - pivot[2]};
    for (int a = 0; a < 3; a++)
        mm[a] = r[a][0] * p[0] + r[a][1] * p[1] + r[a][2] * p[2] + pivot[a];
}

static C3dContent make_example(void)
{
    C3dContent c;
    unsigned int state = example.seed;
    c.rate = (float)example_rate;
    c.frames = EXAMPLE_FRAMES;
    for (const char *label : example_labels)
        c.labels.push_back(std::string("P01:") + label);
    for (int f = 0; f < EXAMPLE_FRAMES; f++)
        for (int m = 0; m < EXAMPLE_POINTS; m++) {
            double mm[3];
            face_position(&example, f, m, mm);
            move_head(f, mm);
            double lab[3] = {mm[0], -mm[2], mm[1]};
            for (int a = 0; a < 3; a++)
                c.xyz.push_back((float)(example.offset[a] + lab[a] + noise_sample(&state, example.noise)));
            c.valid.push_back(!example_sample_lost(f, m));
        }
    return c;
}

static int write_example(const char *folder)
{
    std::vector<uint8_t> bytes = write_c3d(make_example());
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", folder, example.file);
    FILE *fp = fopen(path, "wb");
    if (!fp || fwrite(bytes.data(), 1, bytes.size(), fp) != bytes.size()) {
        fprintf(stderr, "%s: can't be written: %s; nothing more is written\n", path, strerror(errno));
        if (fp)
            fclose(fp);
        return 0;
    }
    return fclose(fp) == 0;
}

static FILE *open_output(const char *folder, const char *name)
{
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", folder, name);
    FILE *fp = fopen(path, "w");
    if (!fp)
        fprintf(stderr, "%s: can't be written: %s; nothing more is written\n", path, strerror(errno));
    return fp;
}

/* One marker a line, as the file's (-z, y, x). */
static int write_markers(const char *folder, const char *name, const FACE *face)
{
    FILE *fp = open_output(folder, name);
    if (!fp)
        return 0;
    for (int f = 0; f < face->nframes; f++)
        for (int m = 0; m < face->nvertices; m++) {
            const float *p = face->ff[f][m];
            fprintf(fp, "%.2f %.2f %.2f\n", -p[2], p[1], p[0]);
        }
    return fclose(fp) == 0;
}

static int write_lines(const char *folder)
{
    FILE *fp = open_output(folder, "line.dat");
    if (!fp)
        return 0;
    int count = (int)(sizeof segments / sizeof segments[0]);
    fprintf(fp, "%d\n", count);
    for (int i = 0; i < count; i++)
        fprintf(fp, "%d %d\n", segments[i][0], segments[i][1]);
    return fclose(fp) == 0;
}

/* Person k of a group: the average smile's parameters varied by a fixed
 * pseudo-random draw, so that the people differ in face size, smile size
 * and width, lopsidedness and timing, and stand at different places. */
/* Person k of a group: the average smile's parameters varied by a fixed
 * pseudo-random draw, so that the people differ in face size, smile size
 * and width, lopsidedness and timing, and stand at different places. */
static Recording group_member(int k, const char *name, char *file, size_t file_size)
{
    unsigned int state = 1000u + (unsigned int)k * 7919u;
    auto draw = [&state](double spread) { return noise_sample(&state, spread); };
    snprintf(file, file_size, "%s%02d.dat", name, k % 1000 + 1);
    Recording r = recordings[2]; /* the average smile */
    r.file = file;
    r.width_scale += draw(0.08);
    r.height_scale += draw(0.08);
    r.amplitude_start += draw(0.45);
    r.amplitude_end = r.amplitude_start + draw(0.2);
    r.corner_spread += draw(0.5);
    /* Lopsidedness spread evenly rather than bell-shaped, so that no
     * healthy person of a group stands out from the others by it. */
    r.right_bias = (next_random(&state) / 4294967295.0 * 2.0 - 1.0) * 0.08;
    r.variation = draw(1.0);
    r.onset += (int)draw(12.0);
    r.apex = r.onset + 45 + (int)draw(10.0);
    r.release = r.apex + 45 + (int)draw(10.0);
    r.rest = r.release + 80 + (int)draw(20.0);
    r.noise = 0.1;
    for (int a = 0; a < 3; a++)
        r.offset[a] += draw(150.0);
    r.seed = 500u + (unsigned int)k;
    return r;
}

/* Person k again in session S: what differs between two recordings of one
 * face made minutes apart, drawn from a seed of S and k. */
static void record_again(Recording *r, int session, int k)
{
    unsigned int state = 90001u + (unsigned int)session * 7919u + (unsigned int)k * 104729u;
    next_random(&state);
    double size = 1.0 + noise_sample(&state, 0.04);
    r->amplitude_start *= size;
    r->amplitude_end *= size;
    int shift = (int)noise_sample(&state, 4.0);
    r->onset += shift;
    r->apex += shift;
    r->release += shift;
    r->rest += shift;
    for (int a = 0; a < 3; a++)
        r->offset[a] += noise_sample(&state, 3.0);
    r->seed += 7777u * (unsigned int)session;
}

/* What --group asks for. */
typedef struct {
    int people;
    int session;               /* --session S; 0 for the first recording */
    int weak_side;             /* 0 none, -1 the subject's right, +1 the subject's left */
    double weak;               /* F: the weak side moves F of the other */
    bool weak_given;           /* --weak, which needs --weak-side */
    const char *table;         /* --table STUDY.csv, or NULL */
    std::string group, condition; /* --as GROUP[:CONDITION] */
    const char *folder;
} GroupRequest;

static int usage(void)
{
    fprintf(stderr, "usage: make_face_data [FACE-DATA-FOLDER [EXAMPLES-FOLDER]]\n"
                    "   or: make_face_data --group N [--weak-side left|right --weak F] [--session S]\n"
                    "                      [--table STUDY.csv --as GROUP[:CONDITION]] FOLDER\n");
    return 2;
}

static bool take_group_option(const char *name, const char *value, GroupRequest *g)
{
    if (strcmp(name, "--group") == 0)
        return (g->people = atoi(value)) > 0 && g->people < 1000;
    if (strcmp(name, "--weak-side") == 0)
        return (g->weak_side = strcmp(value, "right") == 0 ? -1 : strcmp(value, "left") == 0 ? 1 : 0) != 0;
    if (strcmp(name, "--weak") == 0)
        return (g->weak_given = true) && (g->weak = atof(value)) > 0.0 && g->weak <= 1.0;
    if (strcmp(name, "--session") == 0)
        return (g->session = atoi(value)) > 0 && g->session < 1000000;
    if (strcmp(name, "--table") == 0)
        return (g->table = value) != NULL;
    if (strcmp(name, "--as") != 0)
        return false;
    std::string as = value;
    size_t colon = as.find(':');
    g->group = as.substr(0, colon);
    g->condition = colon == std::string::npos ? "" : as.substr(colon + 1);
    return !g->group.empty();
}

static bool parse_group(int argc, char **argv, GroupRequest *g)
{
    g->people = 0;
    g->session = 0;
    g->weak_side = 0;
    g->weak = 1.0;
    g->weak_given = false;
    g->table = NULL;
    g->folder = NULL;
    for (int i = 1; i < argc; i++) {
        if (strncmp(argv[i], "--", 2) != 0 && !g->folder)
            g->folder = argv[i];
        else if (i + 1 >= argc || !take_group_option(argv[i], argv[i + 1], g))
            return false;
        else
            i++;
    }
    return g->people > 0 && g->folder && (g->weak_side != 0) == g->weak_given && (g->table == NULL) == g->group.empty();
}

/* The rows of the written files, appended to the study table; its header first when it is new. */
static int write_table_rows(const GroupRequest &g, const std::vector<std::string> &files)
{
    std::filesystem::path table(g.table);
    bool is_new = !std::filesystem::exists(table);
    FILE *fp = fopen(g.table, "a");
    if (!fp) {
        fprintf(stderr, "%s: can't be written; the recordings are written, the rows are not\n", g.table);
        return 1;
    }
    if (is_new)
        fprintf(fp, "file,group,subject,condition\n");
    std::filesystem::path base = table.parent_path().empty() ? "." : table.parent_path();
    for (const std::string &file : files) {
        std::filesystem::path path = std::filesystem::path(g.folder) / file;
        std::string subject = file.substr(0, file.size() - 4);
        fprintf(fp, "%s,%s,%s,%s\n", std::filesystem::relative(path, base).c_str(), g.group.c_str(),
                subject.c_str(), g.condition.c_str());
    }
    return fclose(fp) == 0 ? 0 : 1;
}

/* People of a weak side are others than those of a plain group, the same
 * ones for every F. */
static int write_group(const GroupRequest &g)
{
    static FACE face;
    std::vector<std::string> files;
    std::error_code failed;
    std::filesystem::create_directories(g.folder, failed); /* as the programs make their --out */
    if (failed) {
        fprintf(stderr, "%s: can't be created: %s; nothing is written\n", g.folder, failed.message().c_str());
        return 1;
    }
    for (int i = 0; i < g.people; i++) {
        char file[32];
        Recording r = group_member(g.weak_side ? 1000 + i : i, g.weak_side ? "patient" : "subject", file, sizeof file);
        r.weak_side = g.weak_side;
        r.weak_loss = 1.0 - g.weak;
        r.seed += (unsigned int)(1000.0 * r.weak_loss); /* another recording of the person, with its own noise */
        if (g.session > 0)
            record_again(&r, g.session, g.weak_side ? 1000 + i : i);
        make_recording(&r, &face);
        if (!write_markers(g.folder, r.file, &face))
            return 1;
        files.push_back(file);
    }
    return g.table ? write_table_rows(g, files) : 0;
}

int main(int argc, char **argv)
{
    if (argc > 1 && strncmp(argv[1], "--", 2) == 0) {
        GroupRequest group;
        return parse_group(argc, argv, &group) ? write_group(group) : usage();
    }
    if (argc > 3)
        return usage();
    const char *folder = argc > 1 ? argv[1] : "face-data";
    const char *examples = argc > 2 ? argv[2] : "examples";
    static FACE face;
    if (!write_lines(folder))
        return 1;
    for (const Recording &r : recordings) {
        make_recording(&r, &face);
        if (!write_markers(folder, r.file, &face))
            return 1;
    }
    return write_example(examples) ? 0 : 1;
}
