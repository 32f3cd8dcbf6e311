/* mienscope-import's command line: the usage and help texts, and every
 * check of the options that needs no recording. */
#include <getopt.h>
#include <math.h>
#include <stdio.h>

#include "program.h"
#include "text.h"

const char import_usage[] =
    "Usage: mienscope-import [OPTION]... RECORDING OUTPUT\n"
    "  or:  mienscope-import --list [--face N] [--min-confidence C] RECORDING\n"
    "  or:  mienscope-import --help | --version\n";

const char import_help[] =
    "Turns one recording of a face into a marker file that the mienscope viewer shows:\n"
    "180 frames of 24 markers, each line a marker's (-z, y, x) in millimetres.\n"
    "\n"
    "RECORDING is a C3D file, a TRC file, an OpenFace CSV file or a video (MP4, MOV,\n"
    "MKV, WebM, AVI), told apart by content; a video's face is tracked by\n"
    "mienscope-track and read as the OpenFace CSV file it writes.\n"
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
    "  --face N             OpenFace: the face_id to read (default 0); a file with no\n"
    "                       face_id column holds face 0 only\n"
    "  --min-confidence C   OpenFace: rows below this confidence, 0 to 1, are missing\n"
    "                       (default 0.8)\n"
    "  --eye-distance MM, --model FILE, --no-cache\n"
    "                       a video: passed on to mienscope-track, which tracks it\n"
    "  --force              replace OUTPUT and the line file if they exist; never the\n"
    "                       recording or set being read, nor any recording or video\n"
    "                       Mienscope did not make\n"
    "  --help               print this help\n"
    "  --version            print the version\n"
    "\n"
    "Missing samples are filled by linear interpolation in time, holding the first\n"
    "and last valid ones; each point with gaps in the part shown gets one line on\n"
    "standard error. With rigid points, every frame is turned and moved so that they\n"
    "match the recording's first frame. The part shown is resampled to 180 frames at\n"
    "even times.\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  the recording, the marker set or an output file can't be used\n"
    "  2  a usage error\n"
    "After an error no file has been created or changed.\n";

int usage_error(const std::string &message)
{
    fprintf(stderr, "mienscope-import: %s\n%s", message.c_str(), import_usage);
    return EXIT_USAGE;
}

static bool take_option(int code, const char *arg, ImportRequest *r, std::string *error)
{
    switch (code) {
    case 'l': r->list = true; return true;
    case 'h': r->help = true; return true;
    case 'v': r->version = true; return true;
    case 'f': r->force = true; return true;
    case 'L': r->line_file = arg; return true;
    default: return take_recording_option(code, arg, &r->options, error);
    }
}

/* RECORDING, and OUTPUT for a conversion, from what the options left. */
static bool take_files(const std::vector<std::string> &files, ImportRequest *r, std::string *error)
{
    size_t wanted = r->help || r->version ? 0 : r->list ? 1 : 2;
    if (files.size() != wanted) {
        *error = wanted == 0 ? "--help and --version take no files"
                 : wanted == 1 ? "--list takes one RECORDING" : "a conversion takes RECORDING and OUTPUT";
        return false;
    }
    if (wanted > 0)
        r->recording = files[0];
    if (wanted > 1)
        r->output = files[1];
    return true;
}

/* What can be told wrong before the recording is read. */
static bool check_request(const ImportRequest &r, std::string *error)
{
    if (!r.line_file.empty() && r.line_file == r.output) {
        *error = "OUTPUT and --line-file are the same file";
        return false;
    }
    return check_recording_options(r.options, error);
}

bool parse_import_command(int argc, char **argv, ImportRequest *request, std::string *error)
{
    static const std::vector<struct option> long_options = with_recording_options({
        {"list", no_argument, nullptr, 'l'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'v'},
        {"force", no_argument, nullptr, 'f'},
        {"line-file", required_argument, nullptr, 'L'},
    });
    std::vector<std::string> operands;
    if (!read_options(argc, argv, long_options.data(),
                      [&](int code, const char *arg) { return take_option(code, arg, request, error); }, &operands,
                      error))
        return false;
    return take_files(operands, request, error) &&
           check_request(*request, error);
}
