/* plots.gp: the gnuplot script that draws displacement.png/.svg and
 * pairs.png/.svg from the tables beside it, naming every file relative to
 * its own folder. */
#ifndef MIENSCOPE_MEASURE_PLOTS_H
#define MIENSCOPE_MEASURE_PLOTS_H

#include <string>
#include <vector>

#include "tables.h"

extern const char *const file_colours[]; /* curve colours: the first file green and the second red, as in the viewer */
extern const int file_colour_count;
std::string measure_plot_script(const std::vector<MeasuredFile> &files, const Study &study);
std::vector<std::string> measure_plot_names(const Study &study); /* the pictures the script draws */

#endif
