#include "plots.h"

#include <stdio.h>

#include "gnuplot.h"

/* Curve colours: the first file green and the second red, as in the
 * viewer, darker than its pure ones, which are faint on white. */
static const char *const file_colours[] = {"#00a000", "#e00000", "#1f4fd0", "#ff8c00", "#8a2be2", "#00a0a0",
                                    "#8b4513", "#e000e0", "#707000", "#606060"};
static const int file_colour_count = (int)(sizeof file_colours / sizeof file_colours[0]);

/* Every file's curves are drawn in seconds when every file knows its time, else in frames. */
static bool all_timed(const std::vector<MeasuredFile> &files)
{
    for (const MeasuredFile &file : files)
        if (isnan(file.seconds))
            return false;
    return true;
}

static std::string settings(const std::vector<MeasuredFile> &files, const Study &study)
{
    std::vector<std::string> names, colours, steps, pair_names;
    bool timed = all_timed(files);
    for (size_t i = 0; i < files.size(); i++) {
        names.push_back(base_name(files[i].path));
        colours.push_back(file_colours[i % file_colour_count]);
        char step[64];
        snprintf(step, sizeof step, "%.17g", timed ? frame_seconds(files[i]) : 1.0);
        steps.push_back(step);
    }
    for (const auto &p : study.markers.pairs)
        pair_names.push_back(study.markers.labels[(size_t)p[0]] + " / " + study.markers.labels[(size_t)p[1]]);
    std::string text = "files = " + std::to_string(files.size()) + "\nmarkers = " + std::to_string(FACE_MARKERS) +
                       "\nframes = " + std::to_string(FACE_FRAMES) + "\npairs = " + std::to_string(study.markers.pairs.size()) +
                       "\n";
    text += gnuplot_array("file_name", names) + gnuplot_array("file_colour", colours) +
            gnuplot_number_array("time_step", steps) + gnuplot_array("marker_label", study.markers.labels);
    if (!study.markers.pairs.empty())
        text += gnuplot_array("pair_name", pair_names);
    std::string smoothing = settings_note(study.settings);
    text += std::string("time_unit = ") + (timed ? "'s'" : "'frame'") + "\nsmoothing = " + gnuplot_string(smoothing) +
            "\n";
    return text;
}

/* displacement.png and .svg: a panel per marker, a curve per file. */
static const char displacement_plot[] = R"gnuplot(
    set multiplot layout 6,4 title 'Displacement from rest (mm)'.smoothing
    set key top left Left reverse samplen 2 spacing 0.9
    set xlabel time_unit
    set ylabel 'mm'
    do for [m = 0:markers - 1] {
        set title marker_label[m + 1]
        plot for [i = 0:files - 1] 'curves.csv' skip 1 \
            every ::(i * markers + m) * frames::(i * markers + m) * frames + frames - 1 \
            using ($2 * time_step[i + 1]):5 with lines linewidth 1.5 linecolor rgb file_colour[i + 1] \
            title (m == 0 ? file_name[i + 1] : '')
    }
    unset multiplot
    set output
}
)gnuplot";

/* pairs.png and .svg: for each pair, the left (solid) and right
 * (hatched) peaks of every file side by side. */
static const char pairs_setup[] = R"gnuplot(
set style fill solid 0.85 border -1
width = 0.8 / (2 * files)
set boxwidth width
set xtics rotate by -25 nomirror
set xtics ()
do for [p = 0:pairs - 1] { set xtics add (pair_name[p + 1] p) }
set xrange [-0.6:pairs - 0.4]
set yrange [0:*]
)gnuplot";

static const char pairs_plot[] = R"gnuplot(
    set title 'Peak displacement of the left and right side (mm)'.smoothing
    set xlabel ''
    set ylabel 'mm'
    set key inside top left
    set offsets 0, 0, graph 0.3, 0
    plot for [i = 0:files - 1] 'pairs.csv' skip 1 every ::i * pairs::i * pairs + pairs - 1 \
             using ($0 - 0.4 + (2 * i + 0.5) * width):4 with boxes fill solid 0.85 \
             linecolor rgb file_colour[i + 1] title file_name[i + 1].' left', \
         for [i = 0:files - 1] 'pairs.csv' skip 1 every ::i * pairs::i * pairs + pairs - 1 \
             using ($0 - 0.4 + (2 * i + 1.5) * width):5 with boxes fill pattern 4 \
             linecolor rgb file_colour[i + 1] title file_name[i + 1].' right'
    set offsets 0, 0, 0, 0
    set output
}
)gnuplot";

std::string measure_plot_script(const std::vector<MeasuredFile> &files, const Study &study)
{
    std::string text = "# Plots of the tables mienscope-measure wrote in this folder. Edit and run\n"
                       "# again from this folder with: gnuplot plots.gp\n"
                       "set datafile separator comma\n";
    text += settings(files, study) + "\n" + gnuplot_pictures("displacement", 1600, 2000) + displacement_plot;
    if (!study.markers.pairs.empty())
        text += pairs_setup + gnuplot_pictures("pairs", 1400, 700) + pairs_plot;
    return text;
}

std::vector<std::string> measure_plot_names(const Study &study)
{
    std::vector<std::string> names = {"displacement.png", "displacement.svg"};
    if (!study.markers.pairs.empty())
        names.insert(names.end(), {"pairs.png", "pairs.svg"});
    return names;
}
