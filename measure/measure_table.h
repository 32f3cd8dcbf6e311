/* The one table of measures: every measure a file's tables, the
 * comparisons and the report know, with its column, unit, seconds form,
 * which way lies "outside" a normal range, and the function that takes it
 * from a measured file. A new measure is one entry here and one function. */
#ifndef MIENSCOPE_MEASURE_TABLE_H
#define MIENSCOPE_MEASURE_TABLE_H

#include <stddef.h>

#include <string>
#include <vector>

#include "measured_file.h"

/* What a measure is of: one marker, a mirror pair of markers, one row of face.csv (a face measure and
 * side, by its place in face_rows()), or a face measure's two sides (by the place of its R row). */
enum MeasureKind { MARKER_MEASURE, PAIR_MEASURE, FACE_MEASURE, FACE_SIDE_MEASURE };
/* How a measure in frames is said in seconds: frames times a frame's seconds, or per frame over them. */
enum SecondsForm { NO_SECONDS, FRAMES_AS_SECONDS, PER_FRAME_AS_PER_SECOND };
/* Which z scores against a normal range lie outside it: either way, or only above (an asymmetry: less is better). */
enum OutsideWay { OUTSIDE_EITHER_WAY, OUTSIDE_ABOVE };

struct MeasureDefinition {
    MeasureKind kind;
    const char *column;         /* its column in markers.csv or pairs.csv, and its name in compare's tables */
    const char *unit;           /* "mm", "frames", "mm per frame", "%", "" for a ratio or a cosine */
    const char *heading;        /* its column's heading on a page: "Peak (mm)" */
    int decimals;               /* on a page (the CSV files keep 4; frames are whole) */
    int page;                   /* its place in the report's table of its kind, from 1; 0: not shown there */
    SecondsForm seconds;        /* whether it is said again in seconds where a file's time is known */
    const char *seconds_column; /* that column ("onset_s"), or "" */
    const char *seconds_heading; /* and its heading on a page ("Onset (s)"), or "" */
    int compared;               /* its place among the measures the comparisons compare, from 1; 0: not compared */
    OutsideWay outside;
    double (*value)(const MeasuredFile &file, size_t index); /* index: the marker, the pair's place, the face
                                                               row's; NAN: empty */
    bool (*applies)(size_t index); /* whether a marker, pair or face row has it; nullptr: every one */
};

extern const MeasureDefinition measure_definitions[]; /* markers' in markers.csv's order, then pairs' in pairs.csv's */
extern const size_t measure_definitions_size;          /* its entries */
const char *kind_name(MeasureKind kind);         /* "marker", "pair", "face" or "face-side", as tables write it */
bool is_kind_name(const std::string &name);      /* a kind the tables write */
bool is_whole(const MeasureDefinition &measure); /* counted in frames: written as a whole number */
extern const int seconds_decimals;               /* a seconds form's decimals on a page */
/* Its value in seconds (a frame measure times a frame's seconds, a per-frame one over them); NAN: empty. */
double seconds_value(const MeasureDefinition &measure, const MeasuredFile &file, size_t index);
std::vector<const MeasureDefinition *> measures_of(MeasureKind kind); /* in the table's order */
std::vector<const MeasureDefinition *> compared_of(MeasureKind kind); /* the compared ones, in their places */
std::vector<const MeasureDefinition *> paged_of(MeasureKind kind);    /* those on the report's page, in their places */
const MeasureDefinition *find_measure(MeasureKind kind, const std::string &column); /* nullptr: none */

#endif
