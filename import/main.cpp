/* mienscope-import: turns one C3D, TRC or OpenFace CSV recording into a
 * marker file (and a line file) that the viewer shows as it stands.
 *
 * Exit status: 0 done; 1 the recording, the marker set or an output file
 * can't be used (one line FILE: what is wrong); 2 a usage error (the
 * message and a usage line). After any error no file has been created or
 * changed. */
#include <errno.h>
#include <getopt.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "convert.h"
#include "markerset.h"
#include "output.h"
#include "recording.h"
#include "text.h"

enum { EXIT_DONE = 0, EXIT_UNUSABLE = 1, EXIT_USAGE = 2 };

/* No recording is this large; a larger file, or an endless one, is refused
 * rather than read into memory. */
static const size_t largest_file = (size_t)512 << 20;

static const char usage_line[] =
    "usage: mienscope-import [--markers SET] [--line-file PATH] [--from SECONDS] [--to SECONDS]\n"
    "                        [--right AXIS] [--up AXIS] [--face N] [--min-confidence C] [--force]\n"
    "                        RECORDING OUTPUT\n"
    "       mienscope-import --list RECORDING\n"
    "       mienscope-import --help | --version\n";

static const char help_text[] =
    "Turns one recording of a face into a marker file that the mienscope viewer shows:\n"
    "180 frames of 24 markers, each line a marker's (-z, y, x) in millimetres.\n"
    "\n"
    "RECORDING is a C3D file, a TRC file or an OpenFace CSV file, told apart by content.\n"
    "OUTPUT is the marker file to write, such as face-data/sm1.dat; the viewer reads\n"
    "face-data/ below the folder it is started in.\n"
    "\n"
    "Options:\n"
    "  --list               print the recording's format, frames, rate, units, screen\n"
    "                       axes and points (index, label, description, % of frames\n"
    "                       with a valid sample), and write nothing\n"
    "  --markers SET        the marker-set file that names the 24 markers, in order, the\n"
    "                       segments between them and any rigid points that hold the head\n"
    "                       still; without it the recording must hold exactly 24 markers\n"
    "                       (an OpenFace recording uses a built-in set)\n"
    "  --line-file PATH     also write the line file (such as face-data/line.dat) from\n"
    "                       the set's segments\n"
    "  --from SECONDS       start of the part shown, from the first frame (default 0)\n"
    "  --to SECONDS         end of the part shown (default: the last frame)\n"
    "  --right AXIS         the recording's axis that points to the viewer's right:\n"
    "                       +x, -x, +y, -y, +z or -z (default: the file's screen axes,\n"
    "                       else +x)\n"
    "  --up AXIS            the recording's axis that points up (default: the file's\n"
    "                       screen axes, else +z for C3D, +y for TRC, -y for OpenFace)\n"
    "  --face N             OpenFace: the face_id to read (default 0)\n"
    "  --min-confidence C   OpenFace: rows below this confidence are missing (default 0.8)\n"
    "  --force              replace OUTPUT and the line file if they exist\n"
    "  --help               print this help\n"
    "  --version            print the version\n"
    "\n"
    "Missing samples are filled by linear interpolation in time, holding the first\n"
    "and last valid ones; each point with gaps in the part shown gets one line on\n"
    "standard error. With rigid points, every frame is turned and moved so that they\n"
    "match the recording's first frame. The part shown is resampled to 180 frames at\n"
    "even times.\n"
    "\n"
    "Exit status: 0 done; 1 the recording, the marker set or an output file can't be\n"
    "used; 2 a usage error. After an error no file has been created or changed.\n";

struct Options {
    bool list = false, help = false, version = false, force = false;
    std::string markers, line_file, right, up;
    double from = NAN, to = NAN;
    ReadOptions read;
    std::vector<std::string> files; /* RECORDING, then OUTPUT */
};

static int usage_error(const std::string &message)
{
    fprintf(stderr, "mienscope-import: %s\n%s", message.c_str(), usage_line);
    return EXIT_USAGE;
}

static int unusable(const std::string &message)
{
    fprintf(stderr, "%s\n", message.c_str());
    return EXIT_UNUSABLE;
}

static bool option_number(const char *name, const char *text, double *value, std::string *error)
{
    if (parse_number(text, value))
        return true;
    *error = std::string(name) + " \"" + printable(text) + "\" is not a number";
    return false;
}

static bool take_option(int code, const char *arg, Options *o, std::string *error)
{
    double face;
    switch (code) {
    case 'l': o->list = true; return true;
    case 'h': o->help = true; return true;
    case 'v': o->version = true; return true;
    case 'f': o->force = true; return true;
    case 'm': o->markers = arg; return true;
    case 'L': o->line_file = arg; return true;
    case 'r': o->right = arg; return true;
    case 'u': o->up = arg; return true;
    case 'F': return option_number("--from", arg, &o->from, error);
    case 'T': return option_number("--to", arg, &o->to, error);
    case 'c': return option_number("--min-confidence", arg, &o->read.min_confidence, error);
    case 'i':
        if (!option_number("--face", arg, &face, error) || face != floor(face) || fabs(face) > 1e9) {
            *error = std::string("--face \"") + printable(arg) + "\" is not a whole number";
            return false;
        }
        o->read.face_id = (long)face;
        return true;
    default: *error = "unknown option or a missing value"; return false;
    }
}

static bool parse_options(int argc, char **argv, Options *o, std::string *error)
{
    static const struct option long_options[] = {
        {"list", no_argument, nullptr, 'l'},        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'v'},     {"force", no_argument, nullptr, 'f'},
        {"markers", required_argument, nullptr, 'm'}, {"line-file", required_argument, nullptr, 'L'},
        {"from", required_argument, nullptr, 'F'},  {"to", required_argument, nullptr, 'T'},
        {"right", required_argument, nullptr, 'r'}, {"up", required_argument, nullptr, 'u'},
        {"face", required_argument, nullptr, 'i'},  {"min-confidence", required_argument, nullptr, 'c'},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    int code;
    while ((code = getopt_long(argc, argv, "", long_options, nullptr)) != -1) {
        if (code == '?') {
            *error = std::string("\"") + printable(argv[optind - 1]) + "\" is not an option or lacks its value";
            return false;
        }
        if (!take_option(code, optarg, o, error))
            return false;
    }
    o->files.assign(argv + optind, argv + argc);
    size_t wanted = o->help || o->version ? 0 : o->list ? 1 : 2;
    if (o->files.size() != wanted) {
        *error = wanted == 0 ? "--help and --version take no files"
                 : wanted == 1 ? "--list takes one RECORDING" : "a conversion takes RECORDING and OUTPUT";
        return false;
    }
    if (!o->line_file.empty() && o->line_file == o->files[1]) {
        *error = "OUTPUT and --line-file are the same file";
        return false;
    }
    return true;
}

/* A whole file, up to largest_file bytes. */
static bool read_whole_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error)
{
    FILE *fp = fopen(path.c_str(), "rb");
    struct stat st;
    if (!fp || fstat(fileno(fp), &st) != 0 || S_ISDIR(st.st_mode)) {
        *error = path + ": can't be read: " + (fp ? "it is a folder" : strerror(errno));
        if (fp)
            fclose(fp);
        return false;
    }
    uint8_t chunk[65536];
    size_t got;
    while (bytes->size() <= largest_file && (got = fread(chunk, 1, sizeof chunk, fp)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + got);
    bool failed = ferror(fp);
    fclose(fp);
    if (failed || bytes->size() > largest_file) {
        *error = path + (failed ? ": can't be read: " + std::string(strerror(errno)) : ": is over 512 MiB; no recording is");
        return false;
    }
    return true;
}

static void print_warnings(const std::string &file, const std::vector<std::string> &warnings)
{
    for (const std::string &w : warnings)
        fprintf(stderr, "%s: %s\n", file.c_str(), w.c_str());
}

/* The set from --markers, the built-in one for OpenFace, or none. */
static bool load_set(const Options &o, const Recording &rec, MarkerSet *set, bool *have_set, std::string *error)
{
    *have_set = !o.markers.empty() || rec.format == "OpenFace CSV";
    if (o.markers.empty())
        return !*have_set || parse_marker_set(openface_set_text, strlen(openface_set_text), openface_set_name, set, error);
    std::vector<uint8_t> text;
    return read_whole_file(o.markers, &text, error) &&
           parse_marker_set((const char *)text.data(), text.size(), o.markers, set, error);
}

static bool select_points(const Options &o, const Recording &rec, Selection *selection, MarkerSet *set,
                          std::string *error)
{
    bool have_set;
    if (!load_set(o, rec, set, &have_set, error))
        return false;
    if (have_set && o.markers.empty())
        fprintf(stderr, "%s: no --markers given, so the built-in set %s was used\n", o.files[0].c_str(),
                openface_set_name);
    if (have_set)
        return select_by_set(*set, rec, selection, error);
    if (select_in_file_order(rec, selection, error))
        return true;
    *error = o.files[0] + ": " + *error;
    return false;
}

/* From the filled tracks to the marker file's text. */
static int convert(const Options &o, const Recording &rec, const Selection &selection, const MarkerSet &set,
                   const Axes &axes, const Span &span)
{
    const std::string &name = o.files[0];
    Tracks tracks = gather_tracks(rec, selection);
    std::vector<GapReport> gaps;
    std::string error, text;
    if (!fill_gaps(rec, selection, span, &tracks, &gaps, &error))
        return unusable(name + ": " + error);
    for (const GapReport &gap : gaps)
        fprintf(stderr, "%s: %s\n", name.c_str(), gap_message(rec, gap).c_str());
    if (!align_to_first_frame(rec, span, selection.markers.size(), &tracks, set.name, &error))
        return unusable(error);
    if (!marker_file_text(resample(rec, tracks, span), axes, &text, &error))
        return unusable(name + ": " + error);
    std::vector<OutputFile> files = {{o.files[1], text}};
    if (!o.line_file.empty())
        files.push_back({o.line_file, line_file_text(selection)});
    return write_all_or_none(files, o.force, &error) ? EXIT_DONE : unusable(error);
}

static int convert_recording(const Options &o, const Recording &rec)
{
    const std::string &name = o.files[0];
    Selection selection;
    MarkerSet set;
    std::string error;
    if (!select_points(o, rec, &selection, &set, &error))
        return unusable(error);
    if (!o.line_file.empty() && set.markers.empty())
        return usage_error("--line-file needs --markers: without a set there are no segments to write");
    if (rec.frames < 2)
        return unusable(name + ": holds " + std::to_string(rec.frames) + " frames; a movement needs at least 2");
    Axes axes;
    Span span;
    if (!parse_axes(o.right.empty() ? rec.right : o.right, o.up.empty() ? rec.up : o.up, &axes, &error) ||
        !check_span(rec, o.from, o.to, &span, &error))
        return usage_error(error);
    return convert(o, rec, selection, set, axes, span);
}

int main(int argc, char **argv)
{
    Options o;
    std::string error;
    if (!parse_options(argc, argv, &o, &error))
        return usage_error(error);
    if (o.help || o.version) {
        printf(o.help ? "%s%s" : "mienscope-import %s\n", o.help ? usage_line : MIENSCOPE_VERSION, o.help ? help_text : "");
        return EXIT_DONE;
    }
    if (!o.list && (!check_replaceable(o.files[1], o.force, &error) ||
                    (!o.line_file.empty() && !check_replaceable(o.line_file, o.force, &error))))
        return unusable(error);
    std::vector<uint8_t> bytes;
    Recording rec;
    if (!read_whole_file(o.files[0], &bytes, &error))
        return unusable(error);
    if (!read_recording(bytes.data(), bytes.size(), o.read, &rec, &error))
        return unusable(o.files[0] + ": " + error);
    print_warnings(o.files[0], rec.warnings);
    if (o.list) {
        fputs(recording_listing(rec).c_str(), stdout);
        return EXIT_DONE;
    }
    return convert_recording(o, rec);
}
