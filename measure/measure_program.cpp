/* mienscope-measure's command line and flow. */
#include "measure_program.h"

#include <stdio.h>
#include <string.h>

#include "face_tables.h"
#include "file_io.h"
#include "gnuplot.h"
#include "plots.h"
#include "text.h"

const char measure_usage[] =
    "Usage: mienscope-measure [OPTION]... [--out DIR [--force]] FILE|FOLDER...\n"
    "  or:  mienscope-measure --help | --version\n";

const char measure_help[] =
    "Measures how far, when and how evenly a face moves in each file: for every\n"
    "marker its peak distance from rest, when it starts, peaks and releases, its peak\n"
    "speed, and for every mirror pair of the marker set how the subject's left and\n"
    "right sides compare.\n"
    "\n"
    "FILE is a recording that mienscope-import reads (C3D, TRC, OpenFace CSV, or a\n"
    "video, whose face mienscope-track tracks; told apart by content), converted in\n"
    "memory as it converts it, or a marker file as the viewer reads it (180 frames of\n"
    "24 markers, each a marker's (-z, y, x)), such as mienscope-import writes, in\n"
    "millimetres. A FOLDER stands for its files whose names end in .c3d, .trc, .csv,\n"
    ".dat or a video's .mp4, .mov, .m4v, .mkv, .webm, .avi (any case), hidden ones\n"
    "aside, in byte order of their names; the files the Mienscope programs write in\n"
    "their folders (markers.csv, norm.csv, average.dat, mode1-plus.dat ...) are left\n"
    "out, with one line saying how many. Positions are taken in millimetres, without\n"
    "the viewer's centring and scaling, and measured in double precision.\n"
    "\n"
    "Options (before or after the files):\n";

const char measure_options_help[] =
    "  --markers SET        a marker set: the recordings' 24 markers, the labels of\n"
    "                       every file's markers (else an OpenFace recording's built-in\n"
    "                       set's, else \"0\" to \"23\") and the pairs compared (pair LEFT\n"
    "                       RIGHT, the subject's left first)\n"
    "  --from SECONDS, --to SECONDS, --right AXIS, --up AXIS, --face N,\n"
    "  --min-confidence C   the recording options: how a recording is read and\n"
    "                       converted, as in mienscope-import (unused for marker files)\n"
    "  --eye-distance MM, --model FILE, --no-cache\n"
    "                       a video: passed on to mienscope-track, which tracks it\n"
    "  --duration SECONDS   how long a marker file's 180 frames last (mienscope-import's\n"
    "                       --to less --from); a recording knows its own, the time of\n"
    "                       its last converted frame less its first's\n"
    "  --rest A[:B]         the rest position is the mean of frames A to B, 0 <= A <= B\n"
    "                       <= 179 (default 0; A alone is A:A)\n"
    "  --threshold T        onset and offset as a fraction of a marker's peak, 0 < T < 1\n"
    "                       (default 0.1): onset is the first frame at T x peak or more,\n"
    "                       offset the first after the peak below it\n"
    "  --in-plane           measure in the picture's plane (the viewer's x and y) only,\n"
    "                       leaving depth out: for faces tracked from one camera\n"
    "                       (OpenFace, videos), whose depth is an estimate\n"
    "  --smooth HZ          before measuring, low-pass filter every coordinate with a\n"
    "                       zero-phase second-order Butterworth filter of cutoff HZ,\n"
    "                       above 0 and below half the frames' rate (179 / the file's\n"
    "                       seconds); needs every file's time (default: no filtering)\n";

const char measure_help_end[] =
    "  --out DIR            write markers.csv, pairs.csv (with pairs), curves.csv, the\n"
    "                       gnuplot script plots.gp and its plots displacement.png/.svg\n"
    "                       and pairs.png/.svg into DIR, made if needed, and for the files\n"
    "                       that bring the 68 face landmarks (videos, OpenFace tables)\n"
    "                       face.csv, face-sides.csv, face-curves.csv and face.png/.svg;\n"
    "                       without it the marker table goes to standard output and\n"
    "                       nothing is written\n"
    "  --face-measures      every file must bring the 68 face landmarks; without --out,\n"
    "                       face.csv goes to standard output instead of the marker table\n"
    "  --force              replace files in DIR that exist (never a file being read,\n"
    "                       nor a recording or video)\n"
    "  --help               print this help\n"
    "  --version            print the version\n"
    "\n"
    "The face measures are taken in each frame in the face's plane, from the eye line\n"
    "through the eyes' centres (the midpoints of their corners, which the lids leave)\n"
    "and heights above it: eye_opening_mm (the lids' distance), brow_height_mm,\n"
    "mouth_corner_height_mm, commissure_excursion_mm (a mouth corner from where the\n"
    "lower lip crosses the face's midline), smile_angle_deg, lower_lip_height_mm, each\n"
    "for the subject's right (R) and left (L), and mouth_opening_mm. face.csv gives\n"
    "each one's rest (the --rest frames' mean), its extreme (the value farthest from\n"
    "rest), change, when, and for the eyes closure_pct (100 x the fall from rest to the\n"
    "least opening / rest); face-sides.csv sets R against L: the ratio L/R and the\n"
    "asymmetry 100 |L - R| / max(|L|, |R|) of the rest values and of the changes (above\n"
    "100 where the sides change in opposite ways).\n"
    "\n"
    "Times are given in seconds too, frame f at f x SECONDS / 179, for every file whose\n"
    "time is known (the columns are empty for the others). A pair's lag is the right\n"
    "marker's onset frame less the left one's: when the sides start to move. The files\n"
    "in DIR appear together, when all are complete. Without gnuplot on PATH the tables\n"
    "and plots.gp are still written and one line says so.\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  a file, a folder, the marker set or DIR can't be used (one line names it and\n"
    "     says what is wrong), or gnuplot failed; nothing was written\n"
    "  2  a usage error\n";

int measure_usage_error(const std::string &message)
{
    fprintf(stderr, "mienscope-measure: %s\n%s", message.c_str(), measure_usage);
    return EXIT_USAGE;
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

static bool option_rest(const char *text, MeasureSettings *s, std::string *error)
{
    std::vector<std::string> parts = split_on(text, ':');
    long first = -1, last = -1;
    bool read = parts.size() <= 2 && parse_integer(parts[0], &first) &&
                (parts.size() == 1 ? (last = first, true) : parse_integer(parts[1], &last));
    if (read && first >= 0 && first <= last && last < FACE_FRAMES) {
        s->rest_first = (int)first;
        s->rest_last = (int)last;
        return true;
    }
    *error = "--rest \"" + printable(text) + "\" is not a frame A or frames A:B with 0 <= A <= B <= " +
             std::to_string(FACE_FRAMES - 1);
    return false;
}

static bool option_smooth(const char *text, MeasureSettings *s, std::string *error)
{
    if (parse_number(text, &s->smooth_hz) && s->smooth_hz > 0.0) {
        s->smooth_text = trim(text);
        return true;
    }
    *error = "--smooth \"" + printable(text) + "\" is not a number of hertz above 0";
    return false;
}

bool take_name(const char *option, const char *what, const char *value, std::string *out, std::string *error)
{
    if (strncmp(value, "--", 2) == 0) {
        *error = std::string(option) + " needs " + what + ", and \"" + printable(value) + "\" is an option";
        return false;
    }
    *out = value;
    return true;
}

std::vector<struct option> with_measure_options(const std::vector<struct option> &own)
{
    std::vector<struct option> all = own;
    all.insert(all.end(), {
                              {"in-plane", no_argument, nullptr, 'I'},
                              {"rest", required_argument, nullptr, 'R'},
                              {"threshold", required_argument, nullptr, 't'},
                              {"smooth", required_argument, nullptr, 'S'},
                              {"duration", required_argument, nullptr, 'd'},
                          });
    return with_recording_options(all);
}

bool take_measure_option(int code, const char *arg, MeasureOptions *o, std::string *error)
{
    switch (code) {
    case 'I': o->settings.in_plane = true; return true;
    case 'R': return option_rest(arg, &o->settings, error);
    case 't': return option_number("--threshold", arg, 0.0, 1.0, &o->settings.threshold, error);
    case 'S': return option_smooth(arg, &o->settings, error);
    case 'd': return option_number("--duration", arg, 0.0, 1e308, &o->inputs.duration, error);
    default: return take_recording_option(code, arg, &o->inputs.recording, error);
    }
}

static bool take_option(int code, const char *arg, MeasureRequest *r, std::string *error)
{
    switch (code) {
    case 'h': r->help = true; return true;
    case 'v': r->version = true; return true;
    case 'f': r->force = true; return true;
    case 'o': r->out = arg; return true;
    case 'A': r->face_measures = true; return true;
    default: return take_measure_option(code, arg, &r->options, error);
    }
}

bool parse_measure_command(int argc, char **argv, MeasureRequest *request, std::string *error)
{
    static const std::vector<struct option> long_options = with_measure_options({
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'v'},
        {"force", no_argument, nullptr, 'f'},
        {"out", required_argument, nullptr, 'o'},
        {"face-measures", no_argument, nullptr, 'A'},
    });
    std::vector<std::string> operands;
    if (!read_options(argc, argv, long_options.data(),
                      [&](int code, const char *arg) { return take_option(code, arg, request, error); }, &operands,
                      error))
        return false;
    request->files = operands;
    bool informational = request->help || request->version;
    if (informational != request->files.empty()) {
        *error = informational ? "--help and --version take no files" : "no file given";
        return false;
    }
    return check_recording_options(request->options.inputs.recording, error);
}

/* Whether some file brought the 68 landmarks; when only some did, one line says how many did not. */
static bool faces_said(const std::vector<MeasuredFile> &files)
{
    size_t without = 0;
    for (const MeasuredFile &file : files)
        without += !has_face(file);
    if (without > 0 && without < files.size())
        fprintf(stderr, "mienscope-measure: face.csv and face-sides.csv leave out %zu of %s, which bring no 68 "
                "face landmarks (not a video or an OpenFace table)\n",
                without, count_of(files.size(), "file", "files").c_str());
    return without < files.size();
}

/* The tables, the script and, with gnuplot, the plots, all put in place together. */
static int write_study(const MeasureRequest &r, const std::vector<std::string> &paths,
                       const std::vector<MeasuredFile> &files, const Study &study)
{
    std::vector<OutputFile> texts = {{"markers.csv", markers_table(files, study)}};
    if (!study.markers.pairs.empty())
        texts.push_back({"pairs.csv", pairs_table(files, study)});
    texts.push_back({"curves.csv", curves_table(files, study)});
    if (faces_said(files))
        texts.insert(texts.end(), {{"face.csv", face_table(files)},
                                   {"face-sides.csv", face_sides_table(files)},
                                   {"face-curves.csv", face_curves_table(files)}});
    texts.push_back({"plots.gp", measure_plot_script(files, study)});
    std::string gnuplot = find_on_path("gnuplot"), error;
    std::vector<std::string> pictures =
        gnuplot.empty() ? std::vector<std::string>() : measure_plot_names(files, study);
    OutputGuard guard = inputs_guard(r.force, "a table or plot mienscope-measure writes", paths, r.options.inputs);
    if (!write_with_plots(r.out, guard, texts, gnuplot, pictures, &error))
        return unusable(error);
    if (gnuplot.empty())
        fprintf(stderr, "%s: %s\n", r.out.c_str(), gnuplot_missing);
    return EXIT_DONE;
}

int run_measure(const MeasureRequest &r)
{
    Study study;
    study.settings = r.options.settings;
    std::vector<std::string> paths;
    std::vector<Input> inputs;
    std::string error;
    if (!expand_folders(r.files, &paths, &error))
        return unusable(error);
    int status = read_inputs(paths, r.options.inputs, &inputs, &study.markers, &error);
    if (status == EXIT_USAGE)
        return measure_usage_error(error);
    if (status != EXIT_DONE)
        return unusable(error);
    std::vector<MeasuredFile> files;
    for (Input &input : inputs) {
        if (!check_smoothing(input, study.settings, &error))
            return measure_usage_error(error);
        if (r.face_measures && input.landmarks.empty())
            return unusable(no_face_message(input.name));
        files.push_back(measure_file(input.name, input.positions, input.seconds, study, input.landmarks));
        input.positions.clear();
        input.landmarks.clear();
    }
    if (r.out.empty()) {
        std::string table = r.face_measures ? face_table(files) : markers_table(files, study);
        fwrite(table.data(), 1, table.size(), stdout);
        return EXIT_DONE;
    }
    return write_study(r, paths, files, study);
}
