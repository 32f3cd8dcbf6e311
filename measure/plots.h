/* plots.gp: the gnuplot script that draws displacement.png/.svg,
 * pairs.png/.svg and face.png/.svg from the tables beside it, naming every
 * file relative to its own folder. */
#ifndef MIENSCOPE_MEASURE_PLOTS_H
#define MIENSCOPE_MEASURE_PLOTS_H

#include <string>
#include <vector>

#include "tables.h"

std::string measure_plot_script(const std::vector<MeasuredFile> &files, const Study &study);
/* The pictures the script draws (face.png and .svg where a file brought the 68 landmarks). */
std::vector<std::string> measure_plot_names(const std::vector<MeasuredFile> &files, const Study &study);

#endif
