/* The plots of the report: for each recording, one SVG with a panel per
 * pair of markers, the left side's displacement solid and the right's
 * dashed, over the normal group's bands when there is one. */
#ifndef MIENSCOPE_REPORT_PLOTS_H
#define MIENSCOPE_REPORT_PLOTS_H

#include <string>
#include <vector>

#include "norm.h"

/* One SVG document per recording, in order, drawn by gnuplot in a scratch folder; false with its message. */
bool draw_report_plots(const std::string &gnuplot, const MeasuredStudy &s, const NormComparison *norm,
                       std::vector<std::string> *svgs, std::string *error);

#endif
