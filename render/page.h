/* The movement as one self-contained web page: the script that draws the
 * viewer's picture with WebGL (page_view.js), its style, and the faces'
 * positions, as the viewer's own code normalised them, inside the page,
 * with nothing fetched from anywhere. */
#ifndef MIENSCOPE_PAGE_H
#define MIENSCOPE_PAGE_H

#include <math.h>

#include <string>
#include <vector>

#include "caption.h"
#include "face_files.h"
#include "head.h"

/* What the page shows and the view it starts from. */
struct PageData {
    int width = 640, height = 1024;  /* the canvas, pixels */
    std::string names;               /* what the status line calls the faces: the files' names, or "Exhibit N" */
    double seconds = NAN;            /* how long 180 frames last; NAN when unknown */
    int first = 0, last = FACE_FRAMES - 1; /* the frames written */
    std::vector<const FACE *> faces; /* one or two, normalised */
    CaptionMask caption;             /* width 0: no caption */
    int frame = 0;                   /* where it starts */
    float turn_x = 0.0f, turn_y = 0.0f, distance = 5.0f;
    std::string faces_shown = "first"; /* first, second or both */
};

extern const char page_view_script[]; /* defines mienscopeView(root, data) */
extern const char page_view_style[];  /* the view's classes */
/* The data object of mienscopeView, as a script literal; fragment: the address's fragment sets the view. */
std::string page_view_data(const PageData &page, bool fragment);
std::string page_document(const PageData &page); /* a whole page for the movement alone */
std::string html_text(const std::string &text);   /* & < > " as entities */

#endif
