#include "report_plots.h"

#include <stdio.h>

#include "gnuplot.h"

/* Two plots a row, fonts of 14 pixels: printed across an A4 page (186 mm for 960 pixels) they are 7.7 pt.
 * The normal band of a displacement stops at 0 mm, where the distance from rest can't go. */
static const char pair_plots[] = R"gnuplot(
rows = (pairs + 1) / 2
do for [i = 1:recordings] {
    set terminal svg size 960,(rows * 230 + 50) noenhanced font 'sans,14'
    set output 'plot-'.i.'.svg'
    set multiplot layout rows,2 title 'Displacement from rest (mm), left solid, right dashed'.band_note
    set key top left Left reverse samplen 2 spacing 0.9 font ',13'
    set xlabel (timed ? 's' : 'frame')
    set ylabel 'mm'
    step = timed ? time_step[i] : 1
    set xrange [0:(frames - 1) * step]
    do for [p = 1:pairs] {
        set title pair_name[p]
        left = ((i - 1) * markers + left_marker[p]) * frames
        right = ((i - 1) * markers + right_marker[p]) * frames
        if (bands) {
            lb = left_marker[p] * frames
            rb = right_marker[p] * frames
            plot 'bands.csv' skip 1 every ::lb::lb + frames - 1 using ($1 * step):($4 - 1.96 * $5 < 0 ? 0 : \
                     $4 - 1.96 * $5):($4 + 1.96 * $5) with filledcurves fillcolor rgb '#b9cfee' \
                     fillstyle transparent solid 0.6 notitle, \
                 '' skip 1 every ::rb::rb + frames - 1 using ($1 * step):($4 - 1.96 * $5 < 0 ? 0 : \
                     $4 - 1.96 * $5):($4 + 1.96 * $5) with filledcurves fillcolor rgb '#f8c9a6' \
                     fillstyle transparent solid 0.6 notitle, \
                 'curves.csv' skip 1 every ::left::left + frames - 1 using ($2 * step):5 with lines linewidth 2 \
                     linecolor rgb '#1f4fd0' dashtype 1 title 'left', \
                 '' skip 1 every ::right::right + frames - 1 using ($2 * step):5 with lines linewidth 2 \
                     linecolor rgb '#c2500a' dashtype 2 title 'right'
        } else {
            plot 'curves.csv' skip 1 every ::left::left + frames - 1 using ($2 * step):5 with lines linewidth 2 \
                     linecolor rgb '#1f4fd0' dashtype 1 title 'left', \
                 '' skip 1 every ::right::right + frames - 1 using ($2 * step):5 with lines linewidth 2 \
                     linecolor rgb '#c2500a' dashtype 2 title 'right'
        }
    }
    unset multiplot
    set output
}
)gnuplot";

static std::string script(const MeasuredStudy &s, const NormComparison *norm)
{
    const MarkerNames &n = s.study.markers;
    std::vector<std::string> names, left, right;
    for (const auto &pair : n.pairs) {
        names.push_back(n.labels[(size_t)pair[0]] + " / " + n.labels[(size_t)pair[1]]);
        left.push_back(std::to_string(pair[0]));
        right.push_back(std::to_string(pair[1]));
    }
    std::vector<std::string> steps;
    for (const StudyRecording &r : s.recordings) {
        char step[64];
        snprintf(step, sizeof step, "%.17g", r.input.seconds / (FACE_FRAMES - 1));
        steps.push_back(step);
    }
    std::string note = norm ? "; shaded: the normal range of " + norm->group + ", mean +- 1.96 sd, from 0 mm" : "";
    return "set datafile separator comma\nrecordings = " + std::to_string(s.recordings.size()) + "\nmarkers = " +
           std::to_string(FACE_MARKERS) + "\nframes = " + std::to_string(FACE_FRAMES) + "\npairs = " +
           std::to_string(n.pairs.size()) + "\nbands = " + (norm ? "1" : "0") + "\ntimed = " +
           (every_time_known(s) ? "1" : "0") + "\nband_note = " + gnuplot_string(note) + "\n" +
           gnuplot_array("pair_name", names) + gnuplot_number_array("left_marker", left) +
           gnuplot_number_array("right_marker", right) +
           (every_time_known(s) ? gnuplot_number_array("time_step", steps) : "") + pair_plots;
}

bool draw_report_plots(const std::string &gnuplot, const MeasuredStudy &s, const NormComparison *norm,
                       std::vector<std::string> *svgs, std::string *error)
{
    std::vector<MeasuredFile> files;
    std::vector<std::string> pictures;
    for (size_t r = 0; r < s.recordings.size(); r++) {
        files.push_back(s.recordings[r].measured);
        pictures.push_back("plot-" + std::to_string(r + 1) + ".svg");
    }
    std::vector<OutputFile> texts = {{"curves.csv", curves_table(files, s.study)}, {"plots.gp", script(s, norm)}};
    if (norm)
        texts.push_back({"bands.csv", bands_table(s, *norm)});
    return draw_in_scratch(gnuplot, texts, "plots.gp", pictures, svgs, error);
}
