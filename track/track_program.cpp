/* mienscope-track's command line and flow. */
#include "track_program.h"

#include <errno.h>
#include <getopt.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "cache.h"
#include "detect.h"
#include "encode.h"
#include "faces.h"
#include "file_io.h"
#include "openface_table.h"
#include "text.h"

const char default_landmark_model[] = "/usr/share/dlib/shape_predictor_68_face_landmarks.dat";

const char track_usage[] =
    "Usage: mienscope-track [OPTION]... VIDEO [OUTPUT.csv|-]\n"
    "  or:  mienscope-track [OPTION]... --tables-into DIR VIDEO...\n"
    "  or:  mienscope-track --help | --version\n";

const char track_help[] =
    "Tracks the face in a video (MP4, MOV, MKV, WebM, AVI: whatever FFmpeg opens) and\n"
    "writes its 68 landmarks in every frame as the CSV file OpenFace's FeatureExtraction\n"
    "writes, which every Mienscope program reads as a recording. The video is turned\n"
    "upright as its display rotation says. The face is the largest in the first frame\n"
    "where one is found, then the one nearest its last place; a frame where the\n"
    "detector finds no face there is failed (success 0, every coordinate 0). Faces\n"
    "smaller than the detector's 80-pixel window are not found: frames larger than\n"
    "640 pixels are searched scaled down to 640 until the face is found, and where\n"
    "none is found so, again at up to 1920 (a face of 80 pixels in 1080p, 160 in 4K).\n"
    "A face that does not move keeps its box, so its points stay still. Landmarks are\n"
    "placed on every core.\n"
    "\n"
    "OUTPUT.csv: frame, face_id, timestamp, confidence, success, x_0 .. x_67 and\n"
    "y_0 .. y_67 (pixels, with their fractions), X_0 .. X_67, Y_0 .. Y_67 and Z_0 .. Z_67\n"
    "(millimetres), and mienscope_track; \"-\" writes it to standard output. X and Y are\n"
    "the picture's axes about its centre, scaled in each frame so that the eyes' centres\n"
    "lie --eye-distance apart, so a head that comes nearer does not seem to move; Z is\n"
    "0, since one camera does not see depth. OUTPUT.csv may be left out when --overlay\n"
    "or --still is given.\n"
    "\n"
    "Options:\n"
    "  --eye-distance MM    the distance between the eyes' centres in millimetres\n"
    "                       (default 63, the adult mean; a measured one is better)\n"
    "  --model FILE         a 68-point dlib shape predictor (default Debian's, in\n"
    "                       libdlib-data)\n"
    "  --no-cache           track the video even if it was tracked before, and keep\n"
    "                       nothing: without it, a video tracked before with the same\n"
    "                       model and options is read from $XDG_CACHE_HOME/mienscope\n"
    "                       (else ~/.cache/mienscope)\n"
    "  --overlay OUT.mp4    also write the video upright, at its own frame times and\n"
    "                       without sound, with the points drawn on every frame with\n"
    "                       the face\n"
    "  --still SECONDS:OUT.png  also write the frame nearest SECONDS from the first,\n"
    "                       whole, with its points (may be given again)\n"
    "  --tables-into DIR    for Mienscope's own programs: every operand is a video,\n"
    "                       the model is read once, each video's table goes to\n"
    "                       DIR/N.csv and its messages to DIR/N.txt (N from 0 in the\n"
    "                       operands' order), up to a video a core at once, and a line\n"
    "                       \"N STATUS\" (its wait status) says on standard output that\n"
    "                       one has ended\n"
    "  --force              replace files that exist (never the video or the model, nor\n"
    "                       a recording or a video that Mienscope did not make)\n"
    "  --help               print this help\n"
    "  --version            print the version\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  the video, the model or an output file can't be used, or no frame has a face;\n"
    "     nothing was written\n"
    "  2  a usage error\n";

int track_usage_error(const std::string &message)
{
    fprintf(stderr, "mienscope-track: %s\n%s", message.c_str(), track_usage);
    return EXIT_USAGE;
}

static bool take_still(const char *arg, TrackRequest *r, std::string *error)
{
    std::string text = arg;
    size_t colon = text.find(':');
    StillRequest still;
    if (colon == std::string::npos || !parse_number(text.substr(0, colon), &still.seconds) || still.seconds < 0 ||
        colon + 1 == text.size()) {
        *error = "--still \"" + printable(text) + "\" is not SECONDS:OUT.png with SECONDS from 0";
        return false;
    }
    still.path = text.substr(colon + 1);
    r->stills.push_back(still);
    return true;
}

static bool take_option(int code, const char *arg, TrackRequest *r, std::string *error)
{
    switch (code) {
    case 'h': r->help = true; return true;
    case 'v': r->version = true; return true;
    case 'f': r->force = true; return true;
    case 'n': r->no_cache = true; return true;
    case 'm': r->model = arg; return true;
    case 'o': r->overlay = arg; return true;
    case 's': return take_still(arg, r, error);
    case 'e': return parse_eye_distance(arg, &r->eye_mm, error);
    case 't': r->tables_into = arg; return true;
    default: return false;
    }
}

/* --tables-into's operands: videos, and nothing written but its tables. */
static bool take_videos(const std::vector<std::string> &operands, TrackRequest *r, std::string *error)
{
    if (!r->overlay.empty() || !r->stills.empty() || r->force)
        *error = "--tables-into writes tables alone: no --overlay, --still or --force with it";
    else if (operands.empty())
        *error = "no VIDEO given";
    else
        r->videos = operands;
    return error->empty();
}

static bool take_operands(const std::vector<std::string> &operands, TrackRequest *r, std::string *error)
{
    bool informational = r->help || r->version;
    bool drawing = !r->overlay.empty() || !r->stills.empty();
    if (!r->tables_into.empty() && !informational)
        return take_videos(operands, r, error);
    if (informational && !operands.empty())
        *error = "--help and --version take no files";
    else if (!informational && operands.empty())
        *error = "no VIDEO given";
    else if (operands.size() == 1 && !informational && !drawing)
        *error = "no OUTPUT.csv given (nor --overlay or --still)";
    else if (operands.size() > 2)
        *error = "one VIDEO and one OUTPUT.csv at a time";
    else {
        r->video = operands.empty() ? "" : operands[0];
        r->output = operands.size() == 2 ? operands[1] : "";
        return true;
    }
    return false;
}

bool parse_track_command(int argc, char **argv, TrackRequest *request, std::string *error)
{
    static const struct option options[] = {
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'v'},
        {"force", no_argument, nullptr, 'f'},
        {"no-cache", no_argument, nullptr, 'n'},
        {"model", required_argument, nullptr, 'm'},
        {"overlay", required_argument, nullptr, 'o'},
        {"still", required_argument, nullptr, 's'},
        {"eye-distance", required_argument, nullptr, 'e'},
        {"tables-into", required_argument, nullptr, 't'},
        {nullptr, 0, nullptr, 0},
    };
    std::vector<std::string> operands;
    return read_options(argc, argv, options,
                        [&](int code, const char *arg) { return take_option(code, arg, request, error); },
                        &operands, error) &&
           take_operands(operands, request, error);
}

/* The files the run writes, as given; "-" is standard output and no file. */
static std::vector<std::string> output_paths(const TrackRequest &r)
{
    std::vector<std::string> paths;
    if (!r.output.empty() && r.output != "-")
        paths.push_back(r.output);
    if (!r.overlay.empty())
        paths.push_back(r.overlay);
    for (const StillRequest &still : r.stills)
        paths.push_back(still.path);
    return paths;
}

/* The model as dlib wrote it. */
static bool parse_model_file(const std::string &path, LandmarkModel *model, std::string *error)
{
    MappedFile file;
    std::string what;
    if (!map_whole_file(path, (size_t)1 << 30, "is over 1 GiB; not a 68-point dlib shape predictor", &file, error))
        return false;
    bool parsed = parse_landmark_model(file.data, file.size, model, &what) && model->points == FACE_LANDMARKS;
    unmap_whole_file(&file);
    if (!parsed)
        *error = path + ": not a 68-point dlib shape predictor";
    return parsed;
}

/* What a run made: the table, the frames when they were tracked now (empty when read from the cache),
 * whether the table is new to the cache, and the model when it was parsed now (to be kept). */
struct TrackResult {
    std::string table;
    TrackedVideo tracked;
    size_t undecodable = 0;
    bool fresh = false;
    LandmarkModel model;
    std::string model_key; /* set when the model was parsed from its file and may be kept */
};

bool load_model(const TrackRequest &r, const std::string &folder, const char *version, LandmarkModel *model,
                std::string *key, std::string *error)
{
    std::string model_key;
    if (!folder.empty() && model_cache_key(r.model, version, &model_key, error) &&
        cached_model(folder, model_key, model) && model->points == FACE_LANDMARKS)
        return true;
    if (!parse_model_file(r.model, model, error))
        return false;
    *key = model_key;
    return true;
}

/* After "no face found": how small a face the search finds at the video's size. */
static std::string no_face_hint(const TrackedVideo &tracked)
{
    const TrackedFrame &first = tracked.frames.front();
    return "; at " + std::to_string(first.width) + " x " + std::to_string(first.height) +
           " pixels a face must be at least " + std::to_string(smallest_face(first.width, first.height)) +
           " pixels wide to be found";
}

/* The table of the video: from the cache, else tracked; warnings on standard error. */
static int tracked_table(const TrackRequest &r, const std::string &key, const char *version, LandmarkModel *loaded,
                         TrackResult *result)
{
    std::string error, folder = r.no_cache ? "" : cache_folder();
    if (folder.empty() || !cached_table(folder, key, &result->table, &result->undecodable)) {
        TrackedVideo *tracked = &result->tracked;
        auto loader = [&](LandmarkModel *model, std::string *why) {
            if (!loaded)
                return load_model(r, folder, version, model, &result->model_key, why);
            *model = std::move(*loaded);
            return true;
        };
        if (!track_video(r.video, loader, &result->model, tracked, &error))
            return unusable(error);
        if (frames_found(*tracked) == 0)
            return unusable(r.video + ": no face found in any of " + count_of(tracked->frames.size(), "frame", "frames") +
                            no_face_hint(*tracked));
        if (!tracked->stopped.empty())
            fprintf(stderr, "%s: reading stopped after %s: %s\n", r.video.c_str(),
                    count_of(tracked->frames.size(), "frame", "frames").c_str(), tracked->stopped.c_str());
        result->table = openface_table(*tracked, r.eye_mm, version);
        result->undecodable = tracked->undecodable;
        result->fresh = !folder.empty();
    }
    if (result->undecodable > 0)
        fprintf(stderr, "%s: %s could not be decoded; skipped %s\n", r.video.c_str(),
                count_of(result->undecodable, "frame", "frames").c_str(), result->undecodable == 1 ? "it" : "them");
    return EXIT_DONE;
}

/* A writer's message about a temporary, naming the output as the user gave it. */
static std::string as_given(const std::string &error, const std::string &temporary, const std::string &path)
{
    return error.compare(0, temporary.size(), temporary) == 0 ? path + error.substr(temporary.size()) : error;
}

/* The table into its temporary; false with a line naming the output. */
static bool write_table(const std::string &table, const std::string &temporary, const std::string &path,
                        std::string *error)
{
    FILE *fp = fopen(temporary.c_str(), "w");
    bool written = fp && fwrite(table.data(), 1, table.size(), fp) == table.size();
    if (fp && fclose(fp) != 0)
        written = false;
    if (!written)
        *error = path + ": can't be written: " + strerror(errno) + "; nothing was written";
    return written;
}

/* The overlay and the stills into their temporaries (each after the table's, when there is one). */
static bool draw_outputs(const TrackRequest &r, const TrackedVideo &tracked, const std::vector<std::string> &temporaries,
                         std::string *error)
{
    size_t next = !r.output.empty() && r.output != "-";
    std::string overlay = r.overlay.empty() ? "" : temporaries[next++];
    std::vector<StillRequest> stills = r.stills;
    for (StillRequest &still : stills)
        still.path = temporaries[next++];
    if (overlay.empty() && stills.empty())
        return true;
    if (draw_tracking(r.video, tracked, overlay, stills, error))
        return true;
    std::vector<std::string> paths = output_paths(r);
    for (size_t i = 0; i < temporaries.size(); i++)
        *error = as_given(*error, temporaries[i], paths[i]);
    return false;
}

/* The table to standard output; false with a line saying why not. */
static bool print_table(const std::string &table, std::string *error)
{
    bool written = fwrite(table.data(), 1, table.size(), stdout) == table.size();
    if (fflush(stdout) != 0 || ferror(stdout))
        written = false;
    if (!written)
        *error = std::string("standard output: can't be written: ") + strerror(errno);
    return written;
}

/* The table, the overlay and the stills written to their temporaries, then put in place together. */
static bool write_outputs(const TrackRequest &r, const OutputGuard &guard, const TrackResult &result,
                          const std::vector<std::string> &temporaries, std::string *error)
{
    const TrackedVideo &tracked = result.tracked;
    TrackedVideo reread;
    bool drawing = !r.overlay.empty() || !r.stills.empty();
    if (drawing && tracked.frames.empty() && !read_openface_table(result.table, &reread)) {
        *error = r.video + ": its cached table can't be read";
        return false;
    }
    bool to_file = !r.output.empty() && r.output != "-";
    return (!to_file || write_table(result.table, temporaries[0], r.output, error)) &&
           draw_outputs(r, tracked.frames.empty() ? reread : tracked, temporaries, error) &&
           place_files(temporaries, output_paths(r), guard, error) &&
           (r.output != "-" || print_table(result.table, error));
}

/* A temporary beside every output, made before the video is tracked so that an output that can't be
 * written is said at once; false (none left) with a line naming it. */
static bool make_temporaries(const TrackRequest &r, std::vector<std::string> *temporaries, std::string *error)
{
    for (const std::string &path : output_paths(r)) {
        std::string temporary;
        if (!make_temporary_beside(path, &temporary, error)) {
            remove_temporaries(*temporaries);
            return false;
        }
        temporaries->push_back(temporary);
    }
    return true;
}

int run_track(const TrackRequest &r, const char *version)
{
    return run_track_with_model(r, version, nullptr);
}

int run_track_with_model(const TrackRequest &r, const char *version, LandmarkModel *model)
{
    OutputGuard guard = output_guard(r.force, "a table or video mienscope-track made");
    guard_input(&guard, r.video, "video");
    guard_input(&guard, r.model, "model");
    std::string error, key;
    for (const std::string &path : output_paths(r))
        if (!check_output(path, guard, &error))
            return unusable(error);
    if (!cache_key(r.video, r.model, r.eye_mm, version, &key, &error))
        return unusable(error);
    std::vector<std::string> temporaries;
    if (!make_temporaries(r, &temporaries, &error))
        return unusable(error);
    TrackResult result;
    int status = tracked_table(r, key, version, model, &result);
    if (status == EXIT_DONE && !write_outputs(r, guard, result, temporaries, &error))
        status = unusable(error);
    if (status != EXIT_DONE)
        remove_temporaries(temporaries);
    if (status == EXIT_DONE && result.fresh)
        keep_table(cache_folder(), key, result.table, result.undecodable);
    if (status == EXIT_DONE && !result.model_key.empty())
        keep_model(cache_folder(), result.model_key, result.model);
    unmap_whole_file(&result.model.kept); /* the leaves lay there: the model is not used again */
    return status;
}
