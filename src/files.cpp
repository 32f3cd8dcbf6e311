#include "files.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "text.h"

const char viewer_usage[] =
    "Usage: mienscope                                 the five exhibits of face-data/\n"
    "  or:  mienscope [OPTION]... FIRST [SECOND]      one or two recordings\n"
    "  or:  mienscope --help | --version\n";

const char viewer_help[] =
    "Shows recorded facial movements in 3D, the first face green and the second red.\n"
    "\n"
    "FIRST and SECOND are recordings that mienscope-import reads (C3D, TRC, OpenFace\n"
    "CSV, or videos, whose faces mienscope-track tracks; told apart by content),\n"
    "converted in memory as it converts them, or marker files. Options (before or\n"
    "after the files):\n"
    "  --markers SET, --from SECONDS, --to SECONDS, --right AXIS, --up AXIS, --face N,\n"
    "  --min-confidence C    as in mienscope-import\n"
    "  --eye-distance MM, --model FILE, --no-cache\n"
    "                        a video: passed on to mienscope-track, which tracks it\n"
    "  --line-file FILE      the segments (default: the set's, else face-data/line.dat\n"
    "                        where it exists, else none)\n"
    "  --speed F             playback speed, 0.05 to 20 (default 1)\n"
    "  --duration SECONDS    how long a marker file's 180 frames last (a recording\n"
    "                        knows its own: --to less --from); without one, 6 s\n"
    "  --play                play both faces at once when the window opens (else it\n"
    "                        shows frame 0 and waits for a, b, c or space)\n"
    "  --help, --version\n"
    "The toolkit's own options, such as -display, are left to it.\n"
    "\n"
    "Keys with files: F1 reads the files again; arrows, < and > as with exhibits;\n"
    "a, b, c play the first, second or both faces at the recording's pace; space\n"
    "pauses and resumes; , and . step a frame back and forward; Home and End go to\n"
    "the first and last frame; [ and ] halve and double the speed.\n"
    "\n"
    "Exit status: 0 when the window is closed; 1 a file can't be used; 2 a usage\n"
    "error; 255 face-data/line.dat can't be opened. Errors come before any window.\n";

const double slowest_speed = 0.05, fastest_speed = 20.0;

/* freeglut's own options, and whether each takes a value. */
static int toolkit_option(const char *arg)
{
    static const char *const with_value[] = {"-display", "-geometry"};
    static const char *const alone[] = {"-direct", "-indirect", "-iconic", "-gldebug", "-sync"};
    for (const char *o : with_value)
        if (strcmp(arg, o) == 0)
            return 2;
    for (const char *o : alone)
        if (strcmp(arg, o) == 0)
            return 1;
    return 0;
}

bool is_file_command(int argc, char **argv)
{
    for (int i = 1; i < argc; i += toolkit_option(argv[i]) ? toolkit_option(argv[i]) : 1)
        if (!toolkit_option(argv[i]))
            return true;
    return false;
}

int viewer_usage_error(const std::string &message)
{
    fprintf(stderr, "mienscope: %s\n%s", message.c_str(), viewer_usage);
    return EXIT_USAGE;
}

static bool option_range(const char *name, const char *text, double low, double high, double *value,
                         std::string *error)
{
    if (parse_number(text, value) && *value >= low && *value <= high)
        return true;
    char message[160];
    snprintf(message, sizeof message, "%s \"%s\" is not a number from %g to %g", name, printable(text).c_str(), low, high);
    *error = message;
    return false;
}

static bool take_option(int code, const char *arg, ViewerRequest *r, std::string *error)
{
    switch (code) {
    case 'h': r->help = true; return true;
    case 'v': r->version = true; return true;
    case 'L': r->faces.line_file = arg; return true;
    case 's': return option_range("--speed", arg, slowest_speed, fastest_speed, &r->speed, error);
    case 'p': r->play = true; return true;
    case 'd': return option_range("--duration", arg, 1e-3, 1e6, &r->faces.duration, error);
    default: return take_recording_option(code, arg, &r->faces.recording, error);
    }
}

/* The toolkit's options go to toolkit_args, the rest to what getopt reads. */
static std::vector<char *> split_toolkit_options(int argc, char **argv, ViewerRequest *r)
{
    std::vector<char *> rest = {argv[0]};
    r->toolkit_args = {argv[0]};
    for (int i = 1; i < argc; i++) {
        int taken = toolkit_option(argv[i]);
        for (int k = 0; k < taken && i + k < argc; k++)
            r->toolkit_args.push_back(argv[i + k]);
        if (taken)
            i += taken - 1;
        else
            rest.push_back(argv[i]);
    }
    return rest;
}

bool parse_viewer_command(int argc, char **argv, ViewerRequest *r, std::string *error)
{
    static const std::vector<struct option> long_options = with_recording_options({
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'v'},
        {"line-file", required_argument, nullptr, 'L'},
        {"speed", required_argument, nullptr, 's'},
        {"duration", required_argument, nullptr, 'd'},
        {"play", no_argument, nullptr, 'p'},
    });
    std::vector<char *> rest = split_toolkit_options(argc, argv, r);
    rest.push_back(nullptr);
    std::vector<std::string> operands;
    if (!read_options((int)rest.size() - 1, rest.data(), long_options.data(),
                      [&](int code, const char *arg) { return take_option(code, arg, r, error); }, &operands,
                      error))
        return false;
    r->files = operands;
    bool informational = r->help || r->version;
    if (informational ? !r->files.empty() : r->files.empty() || r->files.size() > 2) {
        *error = informational ? "--help and --version take no files"
                 : r->files.empty() ? "no file given" : "at most two files, FIRST and SECOND";
        return false;
    }
    return check_recording_options(r->faces.recording, error);
}

/* Seconds, when neither file knows how long its frames last. */
static const double unknown_duration = 6.0;

double frame_period(double duration)
{
    return (isnan(duration) ? unknown_duration : duration) / (FACE_FRAMES - 1);
}

std::string playing_caption(const std::vector<std::string> &files, int frame, double duration, double speed)
{
    char at[32], time[48] = "", rate[32] = "";
    snprintf(at, sizeof at, " - frame %d", frame);
    if (!isnan(duration))
        snprintf(time, sizeof time, ", %.2f s", frame * frame_period(duration));
    if (speed != 1.0)
        snprintf(rate, sizeof rate, ", speed %g", speed);
    return files_caption(files) + at + time + rate;
}

std::string window_title(const std::vector<std::string> &files)
{
    return "Mienscope - " + files_caption(files);
}
