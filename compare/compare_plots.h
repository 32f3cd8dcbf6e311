/* plots.gp of mienscope-compare: the gnuplot script that draws its
 * pictures from the tables written beside it, naming every file relative
 * to its own folder. */
#ifndef MIENSCOPE_COMPARE_PLOTS_H
#define MIENSCOPE_COMPARE_PLOTS_H

#include <string>
#include <vector>

#include "norm.h"

std::string compare_plot_header(const Study &study); /* what every part of plots.gp uses */
/* bands/NAME.png and .svg for each recording outside the normal group, from bands.csv and curves.csv. */
std::string bands_plot_script(const MeasuredStudy &s, const NormComparison &c);
std::vector<std::string> bands_plot_names(const MeasuredStudy &s, const NormComparison &c);
/* NAME.png and .svg from NAME.csv (groups or paired), a forest plot: each marker's peak_mm and each pair's
 * asymmetry_pct as a point (titled point) at the column named `at` of the table's header, with a bar from
 * column `low` to `high`, a red dot
 * beside the label of a row whose q (one a measure) is below 0.05; where none is, note says why under it. */
std::string forest_plot_script(const Study &study, const std::vector<ComparedMeasure> &measures,
                               const std::vector<double> &q, const std::string &note, const std::string &name,
                               const std::string &title, const std::string &point, const char *header, const char *at,
                               const char *low, const char *high);
/* curves.csv: the displacement curves of the recordings outside the normal group. */
std::string compared_curves_table(const MeasuredStudy &s, const NormComparison &c);

#endif
