/* Marker sets: which 24 points of a recording become the viewer's markers,
 * in which order, which of them the segments join, and which points hold
 * the head still.
 *
 *   # a comment, to the end of the line
 *   marker LABEL [as NAME]   exactly 24, in marker order 0 to 23; LABEL is the
 *                            recording's point, NAME what tables and plots call
 *                            the marker (LABEL when there is no "as")
 *   segment LABEL LABEL      0 to 100, joining two of those markers
 *   rigid LABEL              none, or 3 to 100 points that move with the head only
 *   pair LEFT RIGHT          two of the markers on the subject's left and right;
 *                            a marker is in one pair at most
 *
 * A label with blanks or '#' in it is written in double quotes. */
#ifndef MIENSCOPE_MARKERSET_H
#define MIENSCOPE_MARKERSET_H

#include <stddef.h>

#include <array>
#include <string>
#include <vector>

#include "face_files.h"
#include "recording.h"

enum { SET_MIN_RIGID = 3, SET_MAX_RIGID = 100 };

struct SetLabel {
    std::string label;
    int line;         /* 1-based, for messages */
    std::string name; /* a marker's "as NAME"; "" for its label */
};

struct MarkerSet {
    std::string name;                         /* the set file's path, or what the built-in set is called */
    std::vector<SetLabel> markers;            /* the 24, in marker order */
    std::vector<std::array<int, 2>> segments; /* indices into markers */
    std::vector<SetLabel> rigid;
    std::vector<std::array<int, 2>> pairs;    /* indices into markers: the subject's left, then right */
};

/* The points a conversion takes from a recording: the markers the viewer
 * shows, and apart from them the rigid points that only hold the head. */
struct Selection {
    std::vector<size_t> markers;              /* FACE_MARKERS point indices, in marker order */
    std::vector<std::array<int, 2>> segments; /* marker indices; empty without a set */
    std::vector<size_t> rigid;                /* point indices; empty: no alignment */
};

extern const char openface_set_text[];      /* the built-in set for OpenFace's 68 landmarks */
extern const char openface_set_name[];      /* how messages name it */
/* The set a format brings when --markers gives none (OpenFace's); false for formats without one. */
bool builtin_set(RecordingFormat format, MarkerSet *set);
/* Parses a set file's text; errors start with the set's name and line number. */
bool parse_marker_set(const char *text, size_t size, const std::string &name, MarkerSet *set, std::string *error);
const std::string &marker_name(const SetLabel &marker); /* its "as NAME", else its label */
/* The set's labels as points of the recording; errors name the set, the line and the label. */
bool select_by_set(const MarkerSet &set, const Recording &rec, Selection *selection, std::string *error);
/* The recording's markers in file order, when there are exactly 24. */
bool select_in_file_order(const Recording &rec, Selection *selection, std::string *error);

#endif
