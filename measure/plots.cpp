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

/* face.png and .svg: a panel per face measure over time, a curve per file that brought the 68 landmarks,
 * R solid and L dashed (a measure of the whole face, one curve). face-curves.csv holds those files' rows
 * of face.csv in turn, each FACE_FRAMES long. */
static const char face_plot[] = R"gnuplot(
    set multiplot layout 4,2 title 'Face measures over time: the subject''s right (R) solid, left (L) dashed'.smoothing
    set key top left Left reverse samplen 3 spacing 0.9
    set xlabel time_unit
    do for [m = 1:face_measures] {
        set title face_measure[m]
        set ylabel face_unit[m]
        row_start(i, row) = (i * face_rows + row) * frames
        if (left_row[m] >= 0) {
            plot for [i = 0:face_files - 1] 'face-curves.csv' skip 1 \
                     every ::(row_start(i, right_row[m]))::(row_start(i, right_row[m]) + frames - 1) \
                     using ($4 * face_step[i + 1]):5 with lines linewidth 1.5 dashtype 1 \
                     linecolor rgb face_colour[i + 1] title (m == 1 ? face_name[i + 1].' R' : ''), \
                 for [i = 0:face_files - 1] 'face-curves.csv' skip 1 \
                     every ::(row_start(i, left_row[m]))::(row_start(i, left_row[m]) + frames - 1) \
                     using ($4 * face_step[i + 1]):5 with lines linewidth 1.5 dashtype 2 \
                     linecolor rgb face_colour[i + 1] title (m == 1 ? face_name[i + 1].' L' : '')
        } else {
            plot for [i = 0:face_files - 1] 'face-curves.csv' skip 1 \
                     every ::(row_start(i, right_row[m]))::(row_start(i, right_row[m]) + frames - 1) \
                     using ($4 * face_step[i + 1]):5 with lines linewidth 1.5 \
                     linecolor rgb face_colour[i + 1] notitle
        }
    }
    unset multiplot
    set ylabel 'mm'
    set output
}
)gnuplot";

/* The face plot's settings: its files (those with a face, their colours as in the other plots), its
 * measures, their units and their rows in face-curves.csv. */
static std::string face_settings(const std::vector<MeasuredFile> &files)
{
    std::vector<std::string> names, colours, steps, measures, units, right_rows, left_rows;
    bool timed = all_timed(files);
    for (size_t i = 0; i < files.size(); i++)
        if (has_face(files[i])) {
            names.push_back(base_name(files[i].path));
            colours.push_back(file_colours[i % file_colour_count]);
            char step[64];
            snprintf(step, sizeof step, "%.17g", timed ? frame_seconds(files[i]) : 1.0);
            steps.push_back(step);
        }
    std::vector<FaceRow> rows = face_rows();
    for (size_t r = 0; r < rows.size(); r++)
        if (rows[r].side == FACE_R) {
            measures.push_back(rows[r].measure->name);
            units.push_back(rows[r].measure->unit);
            right_rows.push_back(std::to_string(r));
            left_rows.push_back(rows[r].measure->sided ? std::to_string(r + 1) : "-1");
        }
    return "face_files = " + std::to_string(names.size()) + "\nface_rows = " + std::to_string(rows.size()) +
           "\nface_measures = " + std::to_string(measures.size()) + "\n" + gnuplot_array("face_name", names) +
           gnuplot_array("face_colour", colours) + gnuplot_number_array("face_step", steps) +
           gnuplot_array("face_measure", measures) + gnuplot_array("face_unit", units) +
           gnuplot_number_array("right_row", right_rows) + gnuplot_number_array("left_row", left_rows);
}

static bool any_face(const std::vector<MeasuredFile> &files)
{
    for (const MeasuredFile &file : files)
        if (has_face(file))
            return true;
    return false;
}

std::string measure_plot_script(const std::vector<MeasuredFile> &files, const Study &study)
{
    std::string text = "# Plots of the tables mienscope-measure wrote in this folder. Edit and run\n"
                       "# again from this folder with: gnuplot plots.gp\n"
                       "set datafile separator comma\n";
    text += settings(files, study) + "\n" + gnuplot_pictures("displacement", 1600, 2000) + displacement_plot;
    if (any_face(files))
        text += "\n" + face_settings(files) + gnuplot_pictures("face", 1400, 1600) + face_plot;
    if (!study.markers.pairs.empty())
        text += pairs_setup + gnuplot_pictures("pairs", 1400, 700) + pairs_plot;
    return text;
}

std::vector<std::string> measure_plot_names(const std::vector<MeasuredFile> &files, const Study &study)
{
    std::vector<std::string> names = {"displacement.png", "displacement.svg"};
    if (!study.markers.pairs.empty())
        names.insert(names.end(), {"pairs.png", "pairs.svg"});
    if (any_face(files))
        names.insert(names.end(), {"face.png", "face.svg"});
    return names;
}
