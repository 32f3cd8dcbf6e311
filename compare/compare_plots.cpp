#include "compare_plots.h"

#include <stdio.h>

#include <algorithm>

#include "csv.h"
#include "gnuplot.h"

/* The recordings outside the normal group, in table order. */
static std::vector<size_t> compared(const MeasuredStudy &s, const NormComparison &c)
{
    std::vector<size_t> outside;
    for (size_t r = 0; r < s.recordings.size(); r++)
        if (s.recordings[r].row.group != c.group)
            outside.push_back(r);
    return outside;
}

std::string compared_curves_table(const MeasuredStudy &s, const NormComparison &c)
{
    std::vector<MeasuredFile> files;
    for (size_t r : compared(s, c))
        files.push_back(s.recordings[r].measured);
    return curves_table(files, s.study);
}

/* Each panel: the band in grey, the group's mean in dark grey, the recording in red. A distance from rest
 * is never below 0, so neither is the band. Frames are at the recording's own times when every recording
 * has one (step: its seconds a frame), else counted. */
static const char bands_plot[] = R"gnuplot(
do for [i = 1:recordings] {
    step = timed ? time_step[i] : 1
    do for [picture in 'png svg'] {
        if (picture eq 'png') {
            set terminal pngcairo size 1600,2000 noenhanced font ',10'
        } else {
            set terminal svg size 1600,2000 noenhanced font ',10'
        }
        set output 'bands/'.recording_name[i].'.'.picture
        set multiplot layout 6,4 title recording_file[i].': displacement from rest (mm) against '.norm_group. \
            ', whose mean +- 1.96 sd, from 0 mm, is shaded'.smoothing
        set key top left Left reverse samplen 2 spacing 0.9
        set xlabel (timed ? 's' : 'frame')
        set ylabel 'mm'
        set xrange [0:(frames - 1) * step]
        do for [m = 0:markers - 1] {
            set title marker_label[m + 1]
            first = m * frames
            curve = ((i - 1) * markers + m) * frames
            plot 'bands.csv' skip 1 every ::first::first + frames - 1 using ($1 * step):($4 - 1.96 * $5 < 0 ? 0 : \
                     $4 - 1.96 * $5):($4 + 1.96 * $5) \
                     with filledcurves fillcolor rgb '#d0d0d0' title (m == 0 ? 'normal range' : ''), \
                 '' skip 1 every ::first::first + frames - 1 using ($1 * step):4 with lines linewidth 1 \
                     linecolor rgb '#606060' title (m == 0 ? norm_group.' mean' : ''), \
                 'curves.csv' skip 1 every ::curve::curve + frames - 1 using ($2 * step):5 with lines linewidth 1.5 \
                     linecolor rgb '#e00000' title (m == 0 ? recording_name[i] : '')
        }
        unset multiplot
        set output
    }
}
)gnuplot";

std::string bands_plot_script(const MeasuredStudy &s, const NormComparison &c)
{
    std::vector<std::string> names, files, steps;
    for (size_t r : compared(s, c)) {
        names.push_back(s.recordings[r].name);
        files.push_back(s.recordings[r].row.file);
        char step[64];
        snprintf(step, sizeof step, "%.17g", s.recordings[r].input.seconds / (FACE_FRAMES - 1));
        steps.push_back(step);
    }
    bool timed = every_time_known(s);
    if (names.empty())
        return "";
    std::string smoothing = settings_note(s.study.settings);
    return "\n# bands/NAME.png and .svg from bands.csv and curves.csv\nrecordings = " + std::to_string(names.size()) +
           "\nnorm_group = " + gnuplot_string(c.group) + "\nsmoothing = " + gnuplot_string(smoothing) + "\ntimed = " +
           (timed ? "1" : "0") + "\n" + gnuplot_array("recording_name", names) + gnuplot_array("recording_file", files) +
           (timed ? gnuplot_number_array("time_step", steps) : "") + bands_plot;
}

std::string compare_plot_header(const Study &study)
{
    return "# Plots of the tables mienscope-compare wrote in this folder. Edit and run\n"
           "# again from this folder with: gnuplot plots.gp\n"
           "set datafile separator comma\nmarkers = " +
           std::to_string(FACE_MARKERS) + "\nframes = " + std::to_string(FACE_FRAMES) + "\n" +
           gnuplot_array("marker_label", study.markers.labels);
}

std::vector<std::string> bands_plot_names(const MeasuredStudy &s, const NormComparison &c)
{
    std::vector<std::string> pictures;
    for (size_t r : compared(s, c))
        for (const char *extension : {".png", ".svg"})
            pictures.push_back("bands/" + s.recordings[r].name + extension);
    return pictures;
}

/* Every S-th row of the table from the first for the markers, every P-th
 * after them for the pairs (the face's rows after theirs are not drawn):
 * those rows are peak_mm and asymmetry_pct. The
 * pairs' panel is there only when the set has pairs; both panels start at
 * the same place across the picture, whatever their labels' lengths. The
 * rows marked q < 0.05 carry a red dot beside their labels, set by the
 * panel's labels before each plot. */
static const char forest_plot[] = R"gnuplot(
    set multiplot layout (pairs > 0 ? 2 : 1),1
    set grid xtics
    set arrow 1 from 0, graph 0 to 0, graph 1 nohead linecolor rgb '#000000'
    set key outside top center horizontal
    set tmargin 5
    set bmargin (forest_note eq '' ? 4 : 6)
    set lmargin at screen 0.2
    set rmargin at screen 0.96
    set offsets graph 0.06, graph 0.06, 0, 0
    unset ylabel
    set ytics () font ',9'
    do for [m = 0:markers - 1] { set ytics add (marker_label[m + 1] -m) }
    set yrange [-markers:1]
    set xlabel 'peak_mm (mm)'
    set title 'Peak displacement: '.forest_title
    do for [k = 1:words(marker_marks)] {
        set label 100 + k "\342\227\217" at graph 0, first -word(marker_marks, k) offset 0.5, 0 left \
            textcolor rgb '#e00000'
    }
    plot forest_table skip 1 every per_marker::0::markers * per_marker - 1 \
             using at_column:(-$0):low_column:high_column with xerrorbars pointtype 7 \
             linecolor rgb '#1f4fd0' title forest_title_of_point, \
         NaN with points pointtype 7 linecolor rgb '#e00000' title (words(marker_marks) + words(pair_marks) > 0 ? \
             'q < 0.05' : '')
    unset label
    if (pairs > 0) {
        set ytics ()
        do for [p = 0:pairs - 1] { set ytics add (pair_name[p + 1] -p) }
        set yrange [-pairs:1]
        set xlabel 'asymmetry_pct (%)'
        set title 'Asymmetry of the pairs: '.forest_title
        do for [k = 1:words(pair_marks)] {
            set label 100 + k "\342\227\217" at graph 0, first -word(pair_marks, k) offset 0.5, 0 left \
                textcolor rgb '#e00000'
        }
        if (forest_note ne '') { set label 99 forest_note at screen 0.5, screen 0.012 center }
        plot forest_table skip 1 every per_pair::markers * per_marker::markers * per_marker + pairs * per_pair - 1 \
                 using at_column:(-$0):low_column:high_column with xerrorbars pointtype 7 \
                 linecolor rgb '#1f4fd0' title forest_title_of_point, \
             NaN with points pointtype 7 linecolor rgb '#e00000' title (words(marker_marks) + words(pair_marks) > 0 ? \
                 'q < 0.05' : '')
        unset label
    }
    if (pairs == 0 && forest_note ne '') { set label 99 forest_note at screen 0.5, screen 0.012 center }
    unset multiplot
    unset arrow 1
    unset label
    set offsets 0, 0, 0, 0
    set tmargin -1
    set bmargin -1
    set lmargin -1
    set rmargin -1
    set output
}
)gnuplot";

/* The rows of the panel (markers' peak_mm or pairs' asymmetry_pct), by their place in it, whose q is below
 * 0.05: "0 3 5". */
static std::string marked_rows(const std::vector<ComparedMeasure> &measures, const std::vector<double> &q,
                               MeasureKind kind, const char *measure)
{
    std::string rows;
    long place = 0;
    for (size_t i = 0; i < measures.size(); i++)
        if (measures[i].kind == kind && measures[i].measure == measure) {
            if (q[i] < 0.05)
                rows += (rows.empty() ? "" : " ") + std::to_string(place);
            place++;
        }
    return rows;
}

std::string forest_plot_script(const Study &study, const std::vector<ComparedMeasure> &measures,
                               const std::vector<double> &q, const std::string &note, const std::string &name,
                               const std::string &title, const std::string &point, const char *header, const char *at,
                               const char *low, const char *high)
{
    size_t per_marker = 0, per_pair = 0;
    for (const ComparedMeasure &m : measures)
        if (m.index == 0)
            per_marker += m.kind == MARKER_MEASURE, per_pair += m.kind == PAIR_MEASURE;
    std::vector<std::string> pair_names;
    for (const auto &p : study.markers.pairs)
        pair_names.push_back(study.markers.labels[(size_t)p[0]] + " / " + study.markers.labels[(size_t)p[1]]);
    std::string marker_marks = marked_rows(measures, q, MARKER_MEASURE, "peak_mm"),
                pair_marks = marked_rows(measures, q, PAIR_MEASURE, "asymmetry_pct");
    bool marked = std::any_of(q.begin(), q.end(), [](double v) { return v < 0.05; });
    std::string text = "\n# " + name + ".png and .svg from " + name + ".csv\nforest_table = " +
                       gnuplot_string(name + ".csv") + "\nforest_title = " + gnuplot_string(title) +
                       "\nforest_title_of_point = " + gnuplot_string(point) +
                       "\nper_marker = " + std::to_string(per_marker) + "\nper_pair = " + std::to_string(per_pair) +
                       "\npairs = " + std::to_string(study.markers.pairs.size()) + "\nat_column = " +
                       std::to_string(csv_column(header, at)) + "\nlow_column = " + std::to_string(csv_column(header, low)) +
                       "\nhigh_column = " + std::to_string(csv_column(header, high)) + "\nmarker_marks = " + gnuplot_string(marker_marks) +
                       "\npair_marks = " + gnuplot_string(pair_marks) + "\nforest_note = " +
                       gnuplot_string(marked ? "" : note) + "\n";
    if (!pair_names.empty())
        text += gnuplot_array("pair_name", pair_names);
    int height = study.markers.pairs.empty() ? 700 : 1400; /* pixels: one panel or two */
    return text + gnuplot_pictures(name, 1100, height) + forest_plot;
}
