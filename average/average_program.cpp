/* mienscope-average's command line and flow. */
#include "average_program.h"

#include <getopt.h>
#include <stdio.h>

#include <algorithm>

#include "csv.h"
#include "gnuplot.h"
#include "text.h"

const char average_usage[] =
    "Usage: mienscope-average [--markers SET] [--modes K] [--sd C] [--exhibits] [--force]\n"
    "                         --out DIR FILE...\n"
    "  or:  mienscope-average --help | --version\n";

const char average_help[] =
    "Computes a group's average movement and the principal modes in which the\n"
    "movements vary about it, from two or more marker files (one per person or\n"
    "trial: 180 frames of 24 markers in millimetres, as mienscope-import writes them).\n"
    "\n"
    "Every file is turned and moved (no scaling) so that its frame 0 best fits a\n"
    "common reference in file 1's orientation (Procrustes); the average is the mean\n"
    "of the aligned movements, and the modes are the principal components of their\n"
    "differences from it.\n"
    "\n"
    "Options (before or after the files):\n"
    "  --out DIR            where the files go (required); made if needed\n"
    "  --markers SET        a marker set: its labels, and its segments for the line\n"
    "                       file of --exhibits\n"
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
    "  --force              replace files in DIR that exist\n"
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
    "  1  a marker file, the marker set or DIR can't be used, or the files do not\n"
    "     vary (one line says which); nothing was written\n"
    "  2  a usage error\n";

int average_usage_error(const std::string &message)
{
    fprintf(stderr, "mienscope-average: %s\n%s", message.c_str(), average_usage);
    return AVERAGE_USAGE;
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
    case 'm': r->markers = arg; return true;
    case 'o': r->out = arg; return true;
    case 'k': return option_modes(arg, &r->modes, error);
    case 's': return option_sd(arg, &r->sd, error);
    default: *error = "unknown option or a missing value"; return false;
    }
}

/* What needs every option and file known. */
static bool check_request(AverageRequest *r, std::string *error)
{
    if (r->help || r->version) {
        *error = r->files.empty() ? "" : "--help and --version take no files";
        return r->files.empty();
    }
    long most = (long)r->files.size() - 1;
    if (r->files.size() < 2)
        *error = "a group needs two or more marker files";
    else if (r->out.empty())
        *error = "--out DIR is required";
    else if (r->modes > most)
        *error = "--modes " + std::to_string(r->modes) + " is more than the " + std::to_string(most) + " modes that " +
                 std::to_string(r->files.size()) + " files have";
    if (r->modes == 0)
        r->modes = std::min(3L, most);
    return error->empty();
}

bool parse_average_command(int argc, char **argv, AverageRequest *request, std::string *error)
{
    static const struct option long_options[] = {
        {"help", no_argument, nullptr, 'h'},       {"version", no_argument, nullptr, 'v'},
        {"force", no_argument, nullptr, 'f'},      {"exhibits", no_argument, nullptr, 'e'},
        {"markers", required_argument, nullptr, 'm'}, {"out", required_argument, nullptr, 'o'},
        {"modes", required_argument, nullptr, 'k'}, {"sd", required_argument, nullptr, 's'},
        {nullptr, 0, nullptr, 0},
    };
    std::vector<std::string> operands;
    if (!read_options(argc, argv, long_options,
                      [&](int code, const char *arg) { return take_option(code, arg, request, error); }, &operands,
                      error))
        return false;
    request->files = operands;
    return check_request(request, error);
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

static std::string base_name(const std::string &path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/* plots.gp for modes.png/.svg. */
static std::string average_plot_script(const std::vector<std::string> &files, size_t modes)
{
    std::vector<std::string> names;
    for (const std::string &f : files)
        names.push_back(base_name(f));
    std::string text = "# The plot of the tables mienscope-average wrote in this folder. Edit and run\n"
                       "# again from this folder with: gnuplot plots.gp\n"
                       "set datafile separator comma\n" +
                       gnuplot_array("file_label", names) + "modes_written = " + std::to_string(modes) + "\n";
    text += "\n" + gnuplot_pictures("modes", 1400, 650) + R"gnuplot(
    set multiplot layout 1,2
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
        plot 'scores.csv' skip 1 using 2:3 with points pointtype 7 linecolor rgb '#00a000' notitle, \
             '' skip 1 using 2:3:(file_label[int($0) + 1]) with labels offset 0,0.8 font ',8' notitle
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

static bool output_texts(const AverageRequest &r, const Group &group, const Study &study, std::vector<OutputFile> *texts,
                         std::string *error)
{
    size_t modes = (size_t)r.modes;
    bool ok = marker_file("average.dat", group.average, texts, error);
    for (size_t k = 0; k < modes && ok; k++) {
        std::string mode = "mode" + std::to_string(k + 1);
        ok = marker_file(mode + "-plus.dat", along_mode(group, k, r.sd), texts, error) &&
             marker_file(mode + "-minus.dat", along_mode(group, k, -r.sd), texts, error);
    }
    texts->push_back({"modes.csv", modes_table(group)});
    texts->push_back({"scores.csv", scores_table(group, r.files, modes)});
    texts->push_back({"plots.gp", average_plot_script(r.files, modes)});
    if (ok && r.exhibits) {
        texts->push_back({"face-data/line.dat", line_file_text(study.segments)});
        for (const auto &file : exhibit_files(group, modes, r.sd))
            ok = ok && marker_file("face-data/" + file.first, file.second, texts, error);
    }
    return ok;
}

static int unusable(const std::string &message)
{
    fprintf(stderr, "%s\n", message.c_str());
    return AVERAGE_UNUSABLE;
}

int run_average(const AverageRequest &r)
{
    Study study;
    std::vector<FacePositions> files;
    Group group;
    std::string error;
    if (!load_study_set(r.markers, &study, &error) || !read_marker_files(r.files, &files, &error) ||
        !analyse_group(files, (size_t)r.modes, &group, &error))
        return unusable(error);
    files.clear();
    std::vector<OutputFile> texts;
    if (!output_texts(r, group, study, &texts, &error))
        return unusable(error);
    std::string gnuplot = find_on_path("gnuplot");
    std::vector<std::string> pictures;
    if (!gnuplot.empty())
        pictures = {"modes.png", "modes.svg"};
    if (!write_with_plots(r.out, r.force, texts, gnuplot, pictures, &error))
        return unusable(error);
    if (gnuplot.empty())
        fprintf(stderr, "%s: %s\n", r.out.c_str(), gnuplot_missing);
    return AVERAGE_DONE;
}
