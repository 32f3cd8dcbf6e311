/* mienscope-render's command line and flow. */
#include "render_program.h"

#include <GL/gl.h>
#include <getopt.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "caption.h"
#include "detect.h"
#include "encode.h"
#include "gif.h"
#include "face_files.h"
#include "file_io.h"
#include "frame.h"
#include "overlap.h"
#include "page.h"
#include "text.h"

const char render_usage[] =
    "Usage: mienscope-render [OPTION]... FIRST [SECOND] OUTPUT\n"
    "  or:  mienscope-render [--exhibit N] [OPTION]... OUTPUT\n"
    "  or:  mienscope-render --help | --version\n";

const char render_help[] =
    "Draws what the mienscope viewer would show, with the viewer's own drawing, without\n"
    "any display, and writes a PNG still, an MP4 video or an animated GIF.\n"
    "\n"
    "Faces: --exhibit N (1 to 5, the default 1) loads the exhibit's recordings from\n"
    "face-data/ below the working directory, as the viewer's F-key does (exhibit 2:\n"
    "smaa.dat green, sm2.dat red); or FIRST (green) and SECOND (red) are recordings\n"
    "that mienscope-import reads (C3D, TRC, OpenFace CSV, or videos, whose faces\n"
    "mienscope-track tracks; told apart by content), converted in memory as it\n"
    "converts them, or marker files. Every face is loaded\n"
    "and normalised as the viewer loads it, warnings included.\n"
    "\n"
    "Options (anywhere before OUTPUT):\n"
    "  --markers SET, --from SECONDS, --to SECONDS, --right AXIS, --up AXIS, --face N,\n"
    "  --min-confidence C   how a recording is read and converted, as in mienscope-import\n"
    "                       (unused for marker files)\n"
    "  --eye-distance MM, --model FILE, --no-cache\n"
    "                       a video: passed on to mienscope-track, which tracks it\n"
    "  --duration SECONDS   how long a marker file's 180 frames last, for a video's pace\n"
    "                       (a recording knows its own: --to less --from)\n"
    "  --faces WHICH        first, second or both, as after the viewer's a, b or c keys\n"
    "                       (default both when there are two faces, else first)\n"
    "  --line-file FILE     the segments for files (default: the set's, else\n"
    "                       face-data/line.dat where it exists, else none); exhibits use\n"
    "                       face-data/line.dat\n"
    "  --turn-x DEG         the turn about the horizontal axis (the viewer's Up key\n"
    "                       subtracts 2, Down adds 2); default 0\n"
    "  --turn-y DEG         the turn about the vertical axis (Left subtracts 2, Right\n"
    "                       adds 2); default 0\n"
    "  --distance D         the camera's distance (default 5; the viewer's < multiplies\n"
    "                       it by 1.1, > divides it)\n"
    "  --size WxH           the picture's size in pixels, 1 to 8192 each (default 640x1024,\n"
    "                       the viewer's window); even for MP4\n"
    "  --frame F            the frame of a still, or where a page starts, 0 to 179\n"
    "                       (default 0, or a page's first frame)\n"
    "  --frames A:B         the frames of a video or of a page (default 0:179)\n"
    "  --fps N              a video's frames a second, 1 to 240, decimals allowed (at most\n"
    "                       50 for GIF, whose frames last round(100 / N) hundredths of a\n"
    "                       second); by default the recording's real pace, 179 / its\n"
    "                       seconds (FIRST's, else SECOND's), held within those limits,\n"
    "                       else 30\n"
    "  --caption TEXT       the caption instead of \"Exhibit N\" or the files' names\n"
    "  --no-caption         no caption\n"
    "  --force              replace OUTPUT if it exists (never a file being read, nor a\n"
    "                       recording, nor a video that Mienscope did not make)\n"
    "  --help               print this help\n"
    "  --version            print the version\n"
    "\n"
    "OUTPUT chooses by its extension: .png a still, .mp4 an H.264 video (yuv420p),\n"
    ".gif a looping animation, .html one self-contained web page that draws the\n"
    "picture with WebGL and answers the viewer's keys (arrows, < and >, a, b, c,\n"
    "space, comma and full stop, Home, End), the mouse and a frame slider, and keeps\n"
    "the view in its address (#frame=90&turn-x=-10&turn-y=-30&distance=5.5&faces=both).\n"
    "It is written to a temporary file and put in place when complete.\n"
    "\n"
    "Exit status:\n"
    "  0    done\n"
    "  1    a file can't be used (the importer's message for a recording), no\n"
    "       offscreen OpenGL context can be made, OUTPUT exists (without --force) or\n"
    "       can't be written\n"
    "  2    a usage error\n"
    "  255  face-data/line.dat can't be opened (the viewer's message)\n";

static const double default_fps = 30.0;     /* a video of files whose time is unknown */
static const double fastest_fps = 240.0;
static const double gif_fastest_fps = 50.0; /* a GIF frame lasts whole hundredths of a second */

static std::string number_text(double value)
{
    char text[32];
    snprintf(text, sizeof text, "%g", value);
    return text;
}

int render_usage_error(const std::string &message)
{
    fprintf(stderr, "mienscope-render: %s\n%s", message.c_str(), render_usage);
    return EXIT_USAGE;
}

static bool whole_number(const char *name, const char *text, long low, long high, int *value, std::string *error)
{
    long v;
    if (parse_integer(text, &v) && v >= low && v <= high) {
        *value = (int)v;
        return true;
    }
    *error = std::string(name) + " \"" + printable(text) + "\" is not a whole number from " + std::to_string(low) +
             " to " + std::to_string(high);
    return false;
}

/* --fps: a number of frames a second from 1 to 240. */
static bool option_fps(const char *text, double *fps, std::string *error)
{
    if (parse_number(text, fps) && *fps >= 1.0 && *fps <= 240.0)
        return true;
    *error = "--fps \"" + printable(text) + "\" is not a number from 1 to 240";
    return false;
}

static bool option_duration(const char *text, double *seconds, std::string *error)
{
    if (parse_number(text, seconds) && *seconds > 0.0)
        return true;
    *error = "--duration \"" + printable(text) + "\" is not a number of seconds above 0";
    return false;
}

static bool real_number(const char *name, const char *text, float *value, std::string *error)
{
    double v;
    if (parse_number(text, &v) && fabs(v) <= 1e30) {
        *value = (float)v;
        return true;
    }
    *error = std::string(name) + " \"" + printable(text) + "\" is not a number";
    return false;
}

/* The camera's distance: above 0, since at 0 or behind it the faces are not in front of the camera and
 * the picture is blank. */
static bool option_distance(const char *text, float *distance, std::string *error)
{
    if (real_number("--distance", text, distance, error) && *distance > 0.0f)
        return true;
    *error = "--distance \"" + printable(text) + "\" is not a number above 0";
    return false;
}

/* "A:B" or "WxH": two whole numbers around a separator. */
static bool number_pair(const char *text, char separator, long *a, long *b)
{
    std::vector<std::string> parts = split_on(text, separator);
    return parts.size() == 2 && parse_integer(parts[0], a) && parse_integer(parts[1], b);
}

static bool option_size(const char *text, RenderRequest *r, std::string *error)
{
    long w, h;
    if (number_pair(text, 'x', &w, &h) && w >= 1 && h >= 1 && w <= 8192 && h <= 8192) {
        r->width = (int)w;
        r->height = (int)h;
        return true;
    }
    *error = "--size \"" + printable(text) + "\" is not WxH with each from 1 to 8192";
    return false;
}

static bool option_frames(const char *text, RenderRequest *r, std::string *error)
{
    long a, b;
    if (number_pair(text, ':', &a, &b) && a >= 0 && a <= b && b < FACE_FRAMES) {
        r->first_frame = (int)a;
        r->last_frame = (int)b;
        r->frames_given = true;
        return true;
    }
    *error = "--frames \"" + printable(text) + "\" is not A:B with 0 <= A <= B <= " + std::to_string(FACE_FRAMES - 1);
    return false;
}

static bool option_faces(const char *text, RenderRequest *r, std::string *error)
{
    r->faces = text;
    if (r->faces == "first" || r->faces == "second" || r->faces == "both")
        return true;
    *error = "--faces \"" + printable(text) + "\" is not first, second or both";
    return false;
}

static bool take_option(int code, const char *arg, RenderRequest *r, std::string *error)
{
    switch (code) {
    case 'h': r->help = true; return true;
    case 'v': r->version = true; return true;
    case 'f': r->force = true; return true;
    case 'n': r->no_caption = true; return true;
    case 'C': r->caption = arg; r->caption_given = true; return true;
    case 'L': r->file_options.line_file = arg; return true;
    case 'D': return option_duration(arg, &r->file_options.duration, error);
    case 'e': return whole_number("--exhibit", arg, 1, 5, &r->exhibit, error);
    case 'w': return option_faces(arg, r, error);
    case 'x': return real_number("--turn-x", arg, &r->turn_x, error);
    case 'y': return real_number("--turn-y", arg, &r->turn_y, error);
    case 'd': return option_distance(arg, &r->distance, error);
    case 's': return option_size(arg, r, error);
    case 'P': r->frame_given = true; return whole_number("--frame", arg, 0, FACE_FRAMES - 1, &r->frame, error);
    case 'A': return option_frames(arg, r, error);
    case 'R': return option_fps(arg, &r->fps, error);
    default: return take_recording_option(code, arg, &r->file_options.recording, error);
    }
}

static bool output_kind(const std::string &output, OutputKind *kind)
{
    std::string name = lower(output);
    *kind = ends_with(name, ".png")   ? OUTPUT_PNG
            : ends_with(name, ".mp4") ? OUTPUT_MP4
            : ends_with(name, ".gif") ? OUTPUT_GIF
                                      : OUTPUT_HTML;
    return ends_with(name, ".png") || ends_with(name, ".mp4") || ends_with(name, ".gif") || ends_with(name, ".html");
}

/* The first problem of the options that are each valid alone; "" when none. */
static std::string conflict(const RenderRequest &r)
{
    bool still = r.kind == OUTPUT_PNG, video = r.kind == OUTPUT_MP4 || r.kind == OUTPUT_GIF;
    if (r.exhibit && !r.files.empty())
        return "--exhibit and files: give one or the other";
    if (r.files.size() > 2)
        return "at most two files, FIRST and SECOND, before OUTPUT";
    if (r.files.size() == 1 && (r.faces == "second" || r.faces == "both"))
        return "--faces " + r.faces + " needs a SECOND file";
    if (r.caption_given && r.no_caption)
        return "--caption and --no-caption: give one or the other";
    if (still && r.frames_given)
        return "a PNG is one frame: --frame F, not --frames";
    if (video && r.frame_given)
        return "a video takes --frames A:B, not --frame";
    if (r.kind == OUTPUT_HTML && r.fps > 0.0)
        return "a page plays at the recordings' pace: --fps is for videos";
    if (r.kind == OUTPUT_HTML && r.frame_given && (r.frame < r.first_frame || r.frame > r.last_frame))
        return "--frame " + std::to_string(r.frame) + " is not among the page's --frames " +
               std::to_string(r.first_frame) + ":" + std::to_string(r.last_frame);
    if (r.kind == OUTPUT_MP4 && (r.width % 2 || r.height % 2))
        return "an MP4 needs an even width and height; --size " + std::to_string(r.width) + "x" +
               std::to_string(r.height) + " is not";
    if (r.kind == OUTPUT_GIF && r.fps > gif_fastest_fps)
        return "--fps " + number_text(r.fps) + ": a GIF frame lasts whole hundredths of a second, so at most 50";
    return "";
}

static bool check_request(RenderRequest *r, std::vector<std::string> rest, std::string *error)
{
    if (r->help || r->version) {
        *error = rest.empty() ? "" : "--help and --version take no files";
        return rest.empty();
    }
    if (rest.empty()) {
        *error = "no OUTPUT given";
        return false;
    }
    r->output = rest.back();
    rest.pop_back();
    r->files = rest;
    if (!output_kind(r->output, &r->kind)) {
        *error = "OUTPUT \"" + printable(r->output) + "\" ends in none of .png, .mp4, .gif and .html";
        return false;
    }
    if (r->kind == OUTPUT_HTML && !r->frame_given)
        r->frame = r->first_frame;
    *error = conflict(*r);
    return error->empty() && check_recording_options(r->file_options.recording, error);
}

bool parse_render_command(int argc, char **argv, RenderRequest *request, std::string *error)
{
    static const std::vector<struct option> long_options = with_recording_options({
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'v'},
        {"force", no_argument, nullptr, 'f'},
        {"no-caption", no_argument, nullptr, 'n'},
        {"caption", required_argument, nullptr, 'C'},
        {"line-file", required_argument, nullptr, 'L'},
        {"duration", required_argument, nullptr, 'D'},
        {"exhibit", required_argument, nullptr, 'e'},
        {"faces", required_argument, nullptr, 'w'},
        {"turn-x", required_argument, nullptr, 'x'},
        {"turn-y", required_argument, nullptr, 'y'},
        {"distance", required_argument, nullptr, 'd'},
        {"size", required_argument, nullptr, 's'},
        {"frame", required_argument, nullptr, 'P'},
        {"frames", required_argument, nullptr, 'A'},
        {"fps", required_argument, nullptr, 'R'},
    });
    std::vector<std::string> operands;
    if (!read_options(argc, argv, long_options.data(),
                      [&](int code, const char *arg) { return take_option(code, arg, request, error); }, &operands,
                      error))
        return false;
    return check_request(request, operands, error);
}

/* The faces and what the frame shows, loaded as the viewer loads them:
 * an exhibit's missing file ends the process with the viewer's message
 * and status. */
struct Scene {
    FrameView view;
    std::string caption;
    double seconds[2] = {NAN, NAN}; /* how long each face's frames last; NAN when unknown */
};

/* The exhibit's faces, as the viewer's F-key loads them. */
static void load_exhibit(int exhibit, Scene *scene)
{
    scene->view.first = new_face(exhibit_line_file, exhibit_marker_files[exhibit - 1][0]);
    scene->view.second = new_face(exhibit_line_file, exhibit_marker_files[exhibit - 1][1]);
    scene->caption = "Exhibit " + std::to_string(exhibit);
}

/* FIRST and SECOND as faces; returns the exit status, a message printed. */
static int load_files(const RenderRequest &r, Scene *scene)
{
    FACE *faces[2] = {nullptr, nullptr};
    track_file_videos_ahead(r.files, r.file_options);
    for (size_t i = 0; i < r.files.size(); i++) {
        std::string usage;
        int status = load_file_face(r.files[i], r.file_options, &faces[i], &scene->seconds[i], &usage);
        if (status == EXIT_USAGE)
            return render_usage_error(usage);
        if (status != EXIT_DONE)
            return status;
    }
    scene->view.first = faces[0];
    scene->view.second = faces[1];
    scene->caption = files_caption(r.files);
    return EXIT_DONE;
}

static int load_scene(const RenderRequest &r, Scene *scene)
{
    if (r.files.empty())
        load_exhibit(r.exhibit ? r.exhibit : 1, scene);
    else if (int status = load_files(r, scene))
        return status;
    FrameView &v = scene->view;
    std::string faces = !r.faces.empty() ? r.faces : v.second ? "both" : "first";
    v.shown[0] = faces != "second";
    v.shown[1] = faces != "first";
    v.rotate_x = r.turn_x;
    v.rotate_y = r.turn_y;
    v.zoom = r.distance;
    v.frame = 0;
    if (r.caption_given)
        scene->caption = r.caption;
    if (r.no_caption)
        scene->caption.clear();
    return EXIT_DONE;
}

/* --fps, else the recordings' real pace (FIRST's time, else SECOND's) held
 * within what the video takes, with a line saying so, else 30. */
static double video_fps(const RenderRequest &r, const Scene &scene)
{
    if (r.fps > 0.0)
        return r.fps;
    double seconds = !isnan(scene.seconds[0]) ? scene.seconds[0] : scene.seconds[1];
    if (isnan(seconds))
        return default_fps;
    double pace = (FACE_FRAMES - 1) / seconds;
    double fastest = r.kind == OUTPUT_GIF ? gif_fastest_fps : fastest_fps;
    double fps = pace < 1.0 ? 1.0 : pace > fastest ? fastest : pace;
    if (fps != pace)
        fprintf(stderr, "mienscope-render: the recording's pace, %s frames a second, is outside 1 to %s; the video "
                        "plays at %s\n", number_text(pace).c_str(), number_text(fastest).c_str(),
                number_text(fps).c_str());
    return fps;
}

/* One frame of the scene. */
static void render_frame(Scene *scene, CaptionFont *font, int frame, const Offscreen *o, Picture *picture)
{
    scene->view.frame = frame;
    draw_picture(&scene->view, font, scene->caption, o, picture);
}

static bool write_video(const RenderRequest &r, Scene *scene, CaptionFont *font, const Offscreen *o,
                        const std::string &path, std::string *error)
{
    Mp4Writer *mp4 = nullptr;
    GifWriter *gif = nullptr;
    double fps = video_fps(r, *scene);
    bool ok = r.kind == OUTPUT_MP4 ? mp4_open(path, r.width, r.height, fps, &mp4, error)
                                   : gif_open(path, r.width, r.height, (int)lround(100.0 / fps), &gif, error);
    auto draw = [&](int k, Picture *picture) { render_frame(scene, font, r.first_frame + k, o, picture); };
    auto add = [&](const Picture &picture, std::string *why) {
        return mp4 ? mp4_add(mp4, picture, why) : gif_add(gif, picture, why);
    };
    ok = ok && draw_and_encode(r.last_frame - r.first_frame + 1, draw, add, error);
    if (mp4)
        ok = mp4_finish(mp4, ok ? error : nullptr) && ok;
    if (gif)
        ok = gif_finish(gif, ok ? error : nullptr) && ok;
    return ok;
}

static bool write_output(const RenderRequest &r, const OutputGuard &guard, Scene *scene, CaptionFont *font,
                         const Offscreen *o, std::string *error)
{
    std::string temporary;
    if (!make_temporary_beside(r.output, &temporary, error))
        return false;
    bool ok;
    if (r.kind == OUTPUT_PNG) {
        Picture picture;
        render_frame(scene, font, r.frame, o, &picture);
        ok = write_png_file(picture, temporary, error);
    } else {
        ok = write_video(r, scene, font, o, temporary, error);
    }
    if (ok)
        return place_file(temporary, r.output, guard, error);
    remove_temporaries({temporary});
    return false;
}

/* The page: the faces as loaded, the caption as the render draws it, the view to start from. */
static bool write_page(const RenderRequest &r, const OutputGuard &guard, const Scene &scene, std::string *error)
{
    PageData page;
    page.width = r.width;
    page.height = r.height;
    page.names = r.files.empty() ? "Exhibit " + std::to_string(r.exhibit ? r.exhibit : 1) : files_caption(r.files);
    page.seconds = !isnan(scene.seconds[0]) ? scene.seconds[0] : scene.seconds[1];
    page.first = r.first_frame;
    page.last = r.last_frame;
    page.faces.push_back(scene.view.first);
    if (scene.view.second)
        page.faces.push_back(scene.view.second);
    page.frame = r.frame;
    page.turn_x = r.turn_x;
    page.turn_y = r.turn_y;
    page.distance = r.distance;
    page.faces_shown = scene.view.shown[0] && scene.view.shown[1] ? "both" : scene.view.shown[0] ? "first" : "second";
    CaptionFont *font = nullptr;
    if (!scene.caption.empty()) {
        if (!open_caption_font(&font, error))
            return false;
        page.caption = caption_mask(font, scene.caption, r.width, r.height);
        close_caption_font(font);
    }
    return write_all_or_none({{r.output, page_document(page)}}, guard, error);
}

/* The files read are never written over, whatever OUTPUT is called. */
static OutputGuard render_guard(const RenderRequest &r)
{
    static const char *const made[] = {"a picture", "a video", "an animation", "a page"};
    OutputGuard guard = output_guard(r.force, std::string(made[r.kind]) + " Mienscope made");
    for (const std::string &file : r.files)
        guard_input(&guard, file, "recording");
    if (!r.file_options.line_file.empty())
        guard_input(&guard, r.file_options.line_file, "line file");
    if (!r.file_options.recording.markers.empty())
        guard_input(&guard, r.file_options.recording.markers, "marker set");
    return guard;
}

int run_render(const RenderRequest &r)
{
    std::string error;
    OutputGuard guard = render_guard(r);
    if (!check_output(r.output, guard, &error))
        return unusable(error);
    Scene scene;
    if (int status = load_scene(r, &scene))
        return status;
    if (r.kind == OUTPUT_HTML)
        return write_page(r, guard, scene, &error) ? EXIT_DONE : unusable(error);
    Offscreen *offscreen = nullptr;
    CaptionFont *font = nullptr;
    if (r.kind != OUTPUT_PNG)
        leave_cores_to_encoding();
    if (!open_offscreen(r.width, r.height, &offscreen, &error))
        return unusable("mienscope-render: " + error + "; nothing was drawn");
    bool ok = scene.caption.empty() || open_caption_font(&font, &error);
    if (ok) {
        draw_gl_state();
        draw_projection(r.width, r.height);
        ok = write_output(r, guard, &scene, font, offscreen, &error);
    }
    if (font)
        close_caption_font(font);
    close_offscreen(offscreen);
    return ok ? EXIT_DONE : unusable(error);
}
