/* mienscope-average's command line and flow. */
#include "average_program.h"

#include <getopt.h>
#include <stdio.h>

#include <math.h>

#include <algorithm>

#include "csv.h"
#include "gnuplot.h"
#include "text.h"

const char average_usage[] =
    "Usage: mienscope-average [OPTION]... --out DIR [--force] FILE|FOLDER...\n"
    "  or:  mienscope-average --help | --version\n";

const char average_help[] =
    "Computes a group's average movement and the principal modes in which the\n"
    "movements vary about it, from two or more files, one per person or trial:\n"
    "recordings that mienscope-import reads (C3D, TRC, OpenFace CSV, or videos, whose\n"
    "faces mienscope-track tracks; told apart by content), converted in memory as it\n"
    "converts them, or marker files (180 frames of 24 markers in millimetres, as\n"
    "mienscope-import writes them). A FOLDER stands for its files as in\n"
    "mienscope-measure: recordings, videos and marker files, without the files the\n"
    "Mienscope programs write (average.dat, mode1-plus.dat ...), in byte order of\n"
    "their names.\n"
    "\n"
    "Every file is turned and moved (no scaling) so that its frame 0 best fits a\n"
    "common reference in file 1's orientation (Procrustes); the average is the mean\n"
    "of the aligned movements, and the modes are the principal components of their\n"
    "differences from it.\n"
    "\n"
    "Options (before or after the files):\n"
    "  --out DIR            where the files go (required); made if needed\n"
    "  --markers SET        a marker set: the recordings' 24 markers, the labels, and\n"
    "                       its segments for the line file of --exhibits (else those of\n"
    "                       an OpenFace recording's built-in set)\n"
    "  --from SECONDS, --to SECONDS, --right AXIS, --up AXIS, --face N,\n"
    "  --min-confidence C   how a recording is read and converted, as in mienscope-import\n"
    "                       (unused for marker files)\n"
    "  --eye-distance MM, --model FILE, --no-cache\n"
    "                       a video: passed on to mienscope-track, which tracks it\n"
    "  --modes K            how many modes to write, 1 to files - 1 (default the smaller\n"
    "                       of 3 and files - 1)\n"
    "  --sd C               how far the mode files go, in standard deviations, C > 0\n"
    "                       (default 2)\n"
    "  --exhibits           also write DIR/face-data/, which the viewer opens as it\n"
    "                       stands (cd DIR && mienscope): F1 shows the two files furthest\n"
    "                       apart along mode 1 (sm1, lowest score, green; sm2, highest,\n"
    "                       red), F2 the average, F3 mode 2's minus and plus sides, F4\n"
    "                       mode 2's minus side against the average, F5 mode 1's plus\n"
    "                       and minus sides\n"
    "  --force              replace files in DIR that exist (never a file being read,\n"
    "                       nor a recording or video)\n"
    "  --help               print this help\n"
    "  --version            print the version\n"
    "\n"
    "Files in DIR: average.dat; mode{k}-plus.dat and mode{k}-minus.dat (the average\n"
    "plus and minus C standard deviations along mode k), marker files in millimetres;\n"
    "modes.csv (each mode's standard deviation and share of the variance); scores.csv\n"
    "(each file's score on the modes written, in standard deviations); plots.gp and\n"
    "its plot modes.png/.svg (drawn when gnuplot is on PATH). They appear together,\n"
    "when all are complete.\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  a file, a folder, the marker set or DIR can't be used, gnuplot failed, or\n"
    "     the files do not vary (one line says which); nothing was written\n"
    "  2  a usage error\n";

int average_usage_error(const std::string &message)
{
    fprintf(stderr, "mienscope-average: %s\n%s", message.c_str(), average_usage);
    return EXIT_USAGE;
}

static bool option_modes(const char *text, long *modes, std::string *error)
{
    if (parse_integer(text, modes) && *modes >= 1)
        return true;
    *error = "--modes \"" + printable(text) + "\" is not a whole number of 1 or more";
    return false;
}

static bool option_sd(const char *text, double *sd, std::string *error)
{
    if (parse_number(text, sd) && *sd > 0.0)
        return true;
    *error = "--sd \"" + printable(text) + "\" is not a number above 0";
    return false;
}

static bool take_option(int code, const char *arg, AverageRequest *r, std::string *error)
{
    switch (code) {
    case 'h': r->help = true; return true;
    case 'v': r->version = true; return true;
    case 'f': r->force = true; return true;
    case 'e': r->exhibits = true; return true;
    case 'o': r->out = arg; return true;
    case 'k': return option_modes(arg, &r->modes, error);
    case 'S': return option_sd(arg, &r->sd, error);
    default: return take_recording_option(code, arg, &r->inputs.recording, error);
    }
}

/* What needs every option known. */
static bool check_request(const AverageRequest &r, std::string *error)
{
    if (r.help || r.version)
        *error = r.files.empty() ? "" : "--help and --version take no files";
    else if (r.files.empty())
        *error = "a group needs two or more files";
    else if (r.out.empty())
        *error = "--out DIR is required";
    return error->empty();
}

/* The modes to write for this many files, --modes or the default; false with a usage message. */
static bool modes_for(const AverageRequest &r, size_t files, size_t *modes, std::string *error)
{
    long most = (long)files - 1;
    if (files < 2)
        *error = "a group needs two or more files; " + count_of(files, "file was", "files were") + " given";
    else if (r.modes > most)
        *error = "--modes " + std::to_string(r.modes) + " is more than the " + std::to_string(most) + " modes that " +
                 std::to_string(files) + " files have";
    *modes = (size_t)(r.modes ? r.modes : std::min(3L, most));
    return error->empty();
}

bool parse_average_command(int argc, char **argv, AverageRequest *request, std::string *error)
{
    static const std::vector<struct option> long_options = with_recording_options({
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'v'},
        {"force", no_argument, nullptr, 'f'},
        {"exhibits", no_argument, nullptr, 'e'},
        {"out", required_argument, nullptr, 'o'},
        {"modes", required_argument, nullptr, 'k'},
        {"sd", required_argument, nullptr, 'S'},
    });
    std::vector<std::string> operands;
    if (!read_options(argc, argv, long_options.data(),
                      [&](int code, const char *arg) { return take_option(code, arg, request, error); }, &operands,
                      error))
        return false;
    request->files = operands;
    return check_request(*request, error) && check_recording_options(request->inputs.recording, error);
}

/* The file that scores lowest (first) or highest on mode 1; the first in the order given on a tie. */
static size_t extreme_on_mode_1(const Group &group, size_t modes, bool highest)
{
    size_t best = 0;
    for (size_t i = 1; i < group.files; i++) {
        double score = group.scores[i * modes], best_score = group.scores[best * modes];
        if (highest ? score > best_score : score < best_score)
            best = i;
    }
    return best;
}

std::vector<std::pair<std::string, FacePositions>> exhibit_files(const Group &group, size_t modes, double sds)
{
    FacePositions mode2_minus = modes >= 2 ? along_mode(group, 1, -sds) : group.average;
    FacePositions mode2_plus = modes >= 2 ? along_mode(group, 1, sds) : group.average;
    return {
        {"sm1.dat", aligned_file(group, extreme_on_mode_1(group, modes, false))},
        {"sm2.dat", aligned_file(group, extreme_on_mode_1(group, modes, true))},
        {"smaa.dat", group.average},
        {"smnn.dat", mode2_minus},
        {"smll.dat", mode2_plus},
        {"smnl.dat", group.average},
        {"smpcu.dat", along_mode(group, 0, sds)},
        {"smpcd.dat", along_mode(group, 0, -sds)},
    };
}

static std::string modes_table(const Group &group)
{
    std::string text = "mode,sd_mm,variance_share,cumulative_share\n";
    double cumulative = 0.0;
    for (size_t k = 0; k < group.sd.size(); k++) {
        cumulative += group.share[k];
        text += std::to_string(k + 1);
        append_decimal(&text, group.sd[k], 4);
        append_decimal(&text, group.share[k], 6);
        append_decimal(&text, cumulative, 6);
        text += "\n";
    }
    return text;
}

static std::string scores_table(const Group &group, const std::vector<std::string> &files, size_t modes)
{
    std::string text = "file";
    for (size_t k = 0; k < modes; k++)
        text += ",mode" + std::to_string(k + 1);
    text += "\n";
    for (size_t i = 0; i < files.size(); i++) {
        text += csv_field(files[i]);
        for (size_t k = 0; k < modes; k++)
            append_decimal(&text, group.scores[i * modes + k], 4);
        text += "\n";
    }
    return text;
}

/* Files whose scores are labelled in the plot: all of a small group;
 * of a larger one, the few furthest from the origin on modes 1 and 2, so
 * that names do not cover one another. */
static const size_t all_labelled_up_to = 12, labelled_of_many = 6;

static std::vector<std::string> labelled_files(const Group &group, size_t modes)
{
    size_t n = group.files;
    std::vector<std::string> labelled(n, n <= all_labelled_up_to ? "1" : "0");
    if (n <= all_labelled_up_to || modes < 2)
        return labelled;
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; i++)
        order[i] = i;
    auto distance = [&](size_t i) { return hypot(group.scores[i * modes], group.scores[i * modes + 1]); };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return distance(a) > distance(b); });
    for (size_t k = 0; k < labelled_of_many; k++)
        labelled[order[k]] = "1";
    return labelled;
}

/* plots.gp for modes.png/.svg. */
static std::string average_plot_script(const std::vector<std::string> &files, const Group &group, size_t modes)
{
    std::vector<std::string> names;
    for (const std::string &f : files)
        names.push_back(base_name(f));
    std::string text = "# The plot of the tables mienscope-average wrote in this folder. Edit and run\n"
                       "# again from this folder with: gnuplot plots.gp\n"
                       "set datafile separator comma\n" +
                       gnuplot_array("file_label", names) + gnuplot_number_array("labelled", labelled_files(group, modes)) +
                       "modes_written = " + std::to_string(modes) + "\n";
    /* With one mode there are no scores on two modes to plot: the shares alone, in half the width. */
    text += "\n" + gnuplot_pictures("modes", modes >= 2 ? 1400 : 700, 650) + R"gnuplot(
    set multiplot layout 1,(modes_written >= 2 ? 2 : 1)
    set title 'Share of the variance by mode'
    set xlabel 'mode'
    set ylabel 'share of the variance'
    set yrange [0:1.05]
    set xtics 1
    set style fill solid 0.8 border -1
    set boxwidth 0.7
    set key top left
    plot 'modes.csv' skip 1 using 1:3 with boxes linecolor rgb '#1f4fd0' title 'mode', \
         '' skip 1 using 1:4 with linespoints linewidth 2 pointtype 7 linecolor rgb '#e00000' title 'cumulative'
    if (modes_written >= 2) {
        set title 'Scores on modes 1 and 2 (standard deviations)'
        set xlabel 'mode 1'
        set ylabel 'mode 2'
        set autoscale y
        set xtics autofreq
        set zeroaxis
        # Room around the points, so that every name stays inside the plot.
        set offsets graph 0.22, graph 0.22, graph 0.12, graph 0.12
        plot 'scores.csv' skip 1 using 2:3 with points pointtype 7 linecolor rgb '#00a000' notitle, \
             '' skip 1 using 2:3:(labelled[int($0) + 1] ? file_label[int($0) + 1] : '') \
                 with labels offset 0,0.8 font ',8' notitle
        set offsets 0, 0, 0, 0
    }
    unset multiplot
    set output
}
)gnuplot";
    return text;
}

static bool marker_file(const std::string &name, const FacePositions &xyz, std::vector<OutputFile> *texts,
                        std::string *error)
{
    if (!positions_fit_marker_file(xyz)) {
        *error = name + " would reach beyond what a marker file holds (a float's range, in millimetres): --sd is too large";
        return false;
    }
    texts->push_back({name, marker_file_text(xyz)});
    return true;
}

/* What the run found: the group and the names its files go by. */
struct Averaged {
    Group group;
    size_t modes = 0;
    std::vector<std::string> names; /* as given, or FOLDER/NAME */
    MarkerNames markers;
};

static bool output_texts(const AverageRequest &r, const Averaged &a, std::vector<OutputFile> *texts, std::string *error)
{
    bool ok = marker_file("average.dat", a.group.average, texts, error);
    for (size_t k = 0; k < a.modes && ok; k++) {
        std::string mode = "mode" + std::to_string(k + 1);
        ok = marker_file(mode + "-plus.dat", along_mode(a.group, k, r.sd), texts, error) &&
             marker_file(mode + "-minus.dat", along_mode(a.group, k, -r.sd), texts, error);
    }
    texts->push_back({"modes.csv", modes_table(a.group)});
    texts->push_back({"scores.csv", scores_table(a.group, a.names, a.modes)});
    texts->push_back({"plots.gp", average_plot_script(a.names, a.group, a.modes)});
    if (ok && r.exhibits) {
        texts->push_back({"face-data/line.dat", line_file_text(a.markers.segments)});
        for (const auto &file : exhibit_files(a.group, a.modes, r.sd))
            ok = ok && marker_file("face-data/" + file.first, file.second, texts, error);
    }
    return ok;
}

/* The files opened and analysed; returns the exit status, the message in error. */
static int average_files(const AverageRequest &r, Averaged *a, std::string *error)
{
    std::vector<Input> inputs;
    if (!expand_folders(r.files, &a->names, error))
        return EXIT_UNUSABLE;
    if (!modes_for(r, a->names.size(), &a->modes, error))
        return EXIT_USAGE;
    int status = read_inputs(a->names, r.inputs, &inputs, &a->markers, error);
    if (status != EXIT_DONE)
        return status;
    std::vector<FacePositions> files;
    for (Input &input : inputs)
        files.push_back(std::move(input.positions));
    inputs.clear();
    return analyse_group(files, a->modes, &a->group, error) ? EXIT_DONE : EXIT_UNUSABLE;
}

int run_average(const AverageRequest &r)
{
    Averaged a;
    std::string error;
    int status = average_files(r, &a, &error);
    if (status == EXIT_USAGE)
        return average_usage_error(error);
    if (status != EXIT_DONE)
        return unusable(error);
    std::vector<OutputFile> texts;
    if (!output_texts(r, a, &texts, &error))
        return unusable(error);
    std::string gnuplot = find_on_path("gnuplot");
    std::vector<std::string> pictures;
    if (!gnuplot.empty())
        pictures = {"modes.png", "modes.svg"};
    OutputGuard guard = inputs_guard(r.force, "a file mienscope-average writes", a.names, r.inputs);
    if (!write_with_plots(r.out, guard, texts, gnuplot, pictures, &error))
        return unusable(error);
    if (gnuplot.empty())
        fprintf(stderr, "%s: %s\n", r.out.c_str(), gnuplot_missing);
    return EXIT_DONE;
}
