/* mienscope-measure's command line and flow. */
#include "measure_program.h"

#include <getopt.h>
#include <stdio.h>

#include "file_io.h"
#include "gnuplot.h"
#include "plots.h"
#include "text.h"

const char measure_usage[] =
    "Usage: mienscope-measure [--markers SET] [--rest FRAME] [--threshold T] [--duration SECONDS]\n"
    "                         [--out DIR] [--force] FILE...\n"
    "  or:  mienscope-measure --help | --version\n";

const char measure_help[] =
    "Measures how far, when and how evenly a face moves in each marker file: for\n"
    "every marker its peak distance from the rest frame, when it starts, peaks and\n"
    "releases, its peak speed, and for every mirror pair of the marker set how the\n"
    "subject's left and right sides compare.\n"
    "\n"
    "FILE is a marker file as the viewer reads it (180 frames of 24 markers, each a\n"
    "marker's (-z, y, x)), such as mienscope-import writes, in millimetres. Positions\n"
    "are taken as read, without the viewer's centring and scaling, and measured in\n"
    "double precision; speeds are not smoothed.\n"
    "\n"
    "Options (before or after the files):\n"
    "  --markers SET        a marker set: its 24 marker lines label the markers (else\n"
    "                       \"0\" to \"23\"), its pair lines (pair LEFT RIGHT, the subject's\n"
    "                       left first) are the pairs compared\n"
    "  --rest FRAME         the frame the face is at rest in, 0 to 179 (default 0)\n"
    "  --threshold T        onset and offset as a fraction of a marker's peak, 0 < T < 1\n"
    "                       (default 0.1): onset is the first frame at T x peak or more,\n"
    "                       offset the first after the peak below it\n"
    "  --duration SECONDS   how long the 180 frames last (mienscope-import's --to less\n"
    "                       --from); times are then also given in seconds, frame f at\n"
    "                       f x SECONDS / 179\n"
    "  --out DIR            write markers.csv, pairs.csv (with pairs), curves.csv, the\n"
    "                       gnuplot script plots.gp and its plots displacement.png/.svg\n"
    "                       and pairs.png/.svg into DIR, made if needed; without it the\n"
    "                       marker table goes to standard output and nothing is written\n"
    "  --force              replace files in DIR that exist\n"
    "  --help               print this help\n"
    "  --version            print the version\n"
    "\n"
    "The files in DIR appear together, when all are complete. Without gnuplot on PATH\n"
    "the tables and plots.gp are still written and one line says so.\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  a marker file, the marker set or DIR can't be used (one line names it and\n"
    "     the position); nothing was written\n"
    "  2  a usage error\n";

int measure_usage_error(const std::string &message)
{
    fprintf(stderr, "mienscope-measure: %s\n%s", message.c_str(), measure_usage);
    return MEASURE_USAGE;
}

static bool option_number(const char *name, const char *text, double low, double high, double *value,
                          std::string *error)
{
    if (parse_number(text, value) && *value > low && *value < high)
        return true;
    char range[96];
    snprintf(range, sizeof range, "%s \"%s\" is not a number above %g%s", name, printable(text).c_str(), low,
             high < 1e300 ? (" and below " + std::to_string((int)high)).c_str() : "");
    *error = range;
    return false;
}

static bool option_rest(const char *text, int *rest, std::string *error)
{
    long frame;
    if (parse_integer(text, &frame) && frame >= 0 && frame < FACE_FRAMES) {
        *rest = (int)frame;
        return true;
    }
    *error = "--rest \"" + printable(text) + "\" is not a frame from 0 to " + std::to_string(FACE_FRAMES - 1);
    return false;
}

static bool take_option(int code, const char *arg, MeasureRequest *r, std::string *error)
{
    switch (code) {
    case 'h': r->help = true; return true;
    case 'v': r->version = true; return true;
    case 'f': r->force = true; return true;
    case 'm': r->markers = arg; return true;
    case 'o': r->out = arg; return true;
    case 'r': return option_rest(arg, &r->settings.rest, error);
    case 't': return option_number("--threshold", arg, 0.0, 1.0, &r->settings.threshold, error);
    case 'd': return option_number("--duration", arg, 0.0, 1e308, &r->duration, error);
    default: *error = "unknown option or a missing value"; return false;
    }
}

bool parse_measure_command(int argc, char **argv, MeasureRequest *request, std::string *error)
{
    static const struct option long_options[] = {
        {"help", no_argument, nullptr, 'h'},          {"version", no_argument, nullptr, 'v'},
        {"force", no_argument, nullptr, 'f'},         {"markers", required_argument, nullptr, 'm'},
        {"out", required_argument, nullptr, 'o'},     {"rest", required_argument, nullptr, 'r'},
        {"threshold", required_argument, nullptr, 't'}, {"duration", required_argument, nullptr, 'd'},
        {nullptr, 0, nullptr, 0},
    };
    std::vector<std::string> operands;
    if (!read_options(argc, argv, long_options,
                      [&](int code, const char *arg) { return take_option(code, arg, request, error); }, &operands,
                      error))
        return false;
    request->files = operands;
    bool informational = request->help || request->version;
    if (informational != request->files.empty()) {
        *error = informational ? "--help and --version take no files" : "no marker file given";
        return false;
    }
    return true;
}

static int unusable(const std::string &message)
{
    fprintf(stderr, "%s\n", message.c_str());
    return MEASURE_UNUSABLE;
}

/* Every file of the request, read strictly and measured, one at a time. */
static bool measure_files(const MeasureRequest &r, const Study &study, std::vector<MeasuredFile> *files,
                          std::string *error)
{
    for (const std::string &path : r.files) {
        FacePositions xyz;
        if (!read_marker_file(path, &xyz, error))
            return false;
        files->push_back(measure_file(path, xyz, study));
    }
    return true;
}

/* The tables, the script and, with gnuplot, the plots, all put in place together. */
static int write_study(const MeasureRequest &r, const std::vector<MeasuredFile> &files, const Study &study)
{
    std::vector<OutputFile> texts = {{"markers.csv", markers_table(files, study)}};
    if (!study.pairs.empty())
        texts.push_back({"pairs.csv", pairs_table(files, study)});
    texts.push_back({"curves.csv", curves_table(files, study)});
    texts.push_back({"plots.gp", measure_plot_script(files, study)});
    std::string gnuplot = find_on_path("gnuplot"), error;
    std::vector<std::string> pictures = gnuplot.empty() ? std::vector<std::string>() : measure_plot_names(study);
    if (!write_with_plots(r.out, r.force, texts, gnuplot, pictures, &error))
        return unusable(error);
    if (gnuplot.empty())
        fprintf(stderr, "%s: %s\n", r.out.c_str(), gnuplot_missing);
    return MEASURE_DONE;
}

int run_measure(const MeasureRequest &r)
{
    Study study;
    study.settings = r.settings;
    study.duration = r.duration;
    std::vector<MeasuredFile> files;
    std::string error;
    if (!load_study_set(r.markers, &study, &error) || !measure_files(r, study, &files, &error))
        return unusable(error);
    if (r.out.empty()) {
        std::string table = markers_table(files, study);
        fwrite(table.data(), 1, table.size(), stdout);
        return MEASURE_DONE;
    }
    return write_study(r, files, study);
}
