/* Drawing plots with gnuplot: its script is kept beside the data, so a
 * user can restyle a figure and run "gnuplot plots.gp" again. */
#ifndef MIENSCOPE_GNUPLOT_H
#define MIENSCOPE_GNUPLOT_H

#include <string>
#include <vector>

#include "file_io.h"

extern const char gnuplot_missing[]; /* what to say when gnuplot is not on PATH, after "FOLDER: " */
std::string gnuplot_string(const std::string &text);         /* a single-quoted gnuplot string; control bytes as '?' */
std::string gnuplot_array(const std::string &name, const std::vector<std::string> &texts); /* "array name[n] = [...]" */
std::string gnuplot_number_array(const std::string &name, const std::vector<std::string> &numbers); /* unquoted */
/* Opens a loop that draws what follows twice, into NAME.png and NAME.svg of width x height pixels; the
 * block it opens is closed by "    set output\n}\n". */
std::string gnuplot_pictures(const std::string &name, int width, int height);
/* Runs "gnuplot SCRIPT" in folder, its messages kept in a file there; false with the last of them when it fails. */
bool run_gnuplot(const std::string &gnuplot, const std::string &folder, const std::string &script, std::string *error);
/* The texts (paths are names in folder; one is plots.gp) and, with gnuplot (not ""), the pictures that
 * running plots.gp among them makes: all put in folder together, or none. A file there that the guard
 * refuses is refused before anything is written. */
bool write_with_plots(const std::string &folder, const OutputGuard &guard, const std::vector<OutputFile> &texts,
                      const std::string &gnuplot, const std::vector<std::string> &pictures, std::string *error);

/* The texts (name and content) written into a new temporary folder, gnuplot run there on script, and the
 * pictures it draws read back as texts, in order; the folder goes. False with gnuplot's last message. */
bool draw_in_scratch(const std::string &gnuplot, const std::vector<OutputFile> &texts, const std::string &script,
                     const std::vector<std::string> &pictures, std::vector<std::string> *drawn, std::string *error);

#endif
