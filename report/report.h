/* mienscope-report: a page per recording that a clinician can hand on,
 * and an index. Each page is self-contained: the movement in the
 * interactive view of mienscope-render's page, stills as data: URIs, the
 * plot as inline SVG; it links only to the report's other pages. */
#ifndef MIENSCOPE_REPORT_H
#define MIENSCOPE_REPORT_H

#include <stdint.h>

#include <string>
#include <vector>

#include "norm.h"
#include "page.h"

/* What every page says of how it was made. */
struct ReportInfo {
    std::string version; /* the program's */
    std::string date;    /* YYYY-MM-DD */
};

/* The three stills of a recording: at rest, at its peak, and the two overlaid; PNG files. A video's own
 * frames at rest and at the peak, with the tracked points drawn, beside them. */
struct RecordingStills {
    int rest_frame = 0, peak_frame = 0;
    std::vector<uint8_t> rest, peak, both;
    std::vector<uint8_t> video_rest, video_peak; /* empty unless the recording is a video */
    std::vector<uint8_t> video_exam;             /* in an exam, the video at its expression's extreme */
    double rest_seconds = 0.0, peak_seconds = 0.0; /* the video frames' times from its first frame */
};

/* One recording's page: its facts, the view and stills, the pairs, the plot (an SVG document, or "" when
 * gnuplot was not there) and every marker's measures; norm may be null. */
std::string recording_page(const MeasuredStudy &s, size_t recording, const NormComparison *norm,
                           const RecordingStills &stills, const PageData &view, const std::string &plot,
                           const ReportInfo &info);
std::string index_page(const MeasuredStudy &s, const NormComparison *norm, const ReportInfo &info); /* index.html */
int peak_frame(const MeasuredFile &file); /* the first frame at which the markers' mean displacement is largest */
/* A whole HTML page: its title, its style sheet and script ("" for none) in its head, and its body. */
std::string html_document(const std::string &title, const std::string &style, const std::string &script,
                          const std::string &body);

#endif
