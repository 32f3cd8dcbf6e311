/* The options every program that opens recordings and videos shares
 * (--markers, --from, --to, --right, --up, --face, --min-confidence and
 * the tracker's --eye-distance, --model, --no-cache), and the one-line
 * message of a file that can't be used. */
#include <getopt.h>
#include <math.h>
#include <stdio.h>

#include "opening.h"
#include "text.h"

int unusable(const std::string &message)
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

static bool option_axis(const char *name, const char *text, std::optional<AxisDirection> *axis, std::string *error)
{
    AxisDirection direction;
    if (!parse_axis(text, &direction)) {
        *error = std::string(name) + " \"" + printable(text) + "\" is not one of +x, -x, +y, -y, +z, -z";
        return false;
    }
    *axis = direction;
    return true;
}

/* A confidence is OpenFace's, from 0 to 1: a threshold outside would keep every row or none. */
static bool option_confidence(const char *text, double *confidence, std::string *error)
{
    if (parse_number(text, confidence) && *confidence >= 0.0 && *confidence <= 1.0)
        return true;
    *error = std::string("--min-confidence \"") + printable(text) + "\" is not a number from 0 to 1";
    return false;
}

static bool option_face(const char *text, long *face_id, std::string *error)
{
    double face;
    if (!option_number("--face", text, &face, error) || face != floor(face) || fabs(face) > 1e9) {
        *error = std::string("--face \"") + printable(text) + "\" is not a whole number";
        return false;
    }
    *face_id = (long)face;
    return true;
}

/* getopt codes of the tracking options, beyond every letter the programs use. */
enum { EYE_DISTANCE_OPTION = 1001, MODEL_OPTION, NO_CACHE_OPTION };

/* getopt codes of the recording options: the option's first letter, or a capital where two share one. */
static const struct option recording_long_options[] = {
    {"markers", required_argument, nullptr, 'm'}, {"from", required_argument, nullptr, 'F'},
    {"to", required_argument, nullptr, 'T'},      {"right", required_argument, nullptr, 'r'},
    {"up", required_argument, nullptr, 'u'},      {"face", required_argument, nullptr, 'i'},
    {"min-confidence", required_argument, nullptr, 'c'},
    {"eye-distance", required_argument, nullptr, EYE_DISTANCE_OPTION},
    {"model", required_argument, nullptr, MODEL_OPTION},
    {"no-cache", no_argument, nullptr, NO_CACHE_OPTION},
};

bool parse_eye_distance(const char *text, double *mm, std::string *error)
{
    if (parse_number(text, mm) && *mm > 0.0)
        return true;
    *error = std::string("--eye-distance \"") + printable(text) + "\" is not a number of millimetres above 0";
    return false;
}

std::vector<struct option> with_recording_options(const std::vector<struct option> &own)
{
    std::vector<struct option> all = own;
    all.insert(all.end(), std::begin(recording_long_options), std::end(recording_long_options));
    all.push_back({nullptr, 0, nullptr, 0});
    return all;
}

bool take_recording_option(int code, const char *arg, RecordingOptions *o, std::string *error)
{
    switch (code) {
    case 'm': o->markers = arg; return true;
    case 'r': return option_axis("--right", arg, &o->convert.right, error);
    case 'u': return option_axis("--up", arg, &o->convert.up, error);
    case 'F': return option_number("--from", arg, &o->convert.from, error);
    case 'T': return option_number("--to", arg, &o->convert.to, error);
    case 'c': return option_confidence(arg, &o->read.min_confidence, error);
    case 'i': return option_face(arg, &o->read.face_id, error);
    case EYE_DISTANCE_OPTION: return parse_eye_distance(arg, &o->tracking.eye_mm, error);
    case MODEL_OPTION: o->tracking.model = arg; return true;
    case NO_CACHE_OPTION: o->tracking.no_cache = true; return true;
    default: *error = "unknown option or a missing value"; return false;
    }
}

bool check_recording_options(const RecordingOptions &o, std::string *error)
{
    const ConvertOptions &c = o.convert;
    return !(c.right && c.up) || check_screen_axes(*c.right, *c.up, error);
}

