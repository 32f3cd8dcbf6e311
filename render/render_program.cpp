/* mienscope-render's command line and flow. */
#include "render_program.h"

#include <GL/gl.h>
#include <getopt.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "caption.h"
#include "encode.h"
#include "face_files.h"
#include "file_io.h"
#include "frame.h"
#include "text.h"

const char render_usage[] =
    "Usage: mienscope-render [--exhibit N | FIRST [SECOND]] [--faces first|second|both]\n"
    "                        [--turn-x DEG] [--turn-y DEG] [--distance D] [--size WxH]\n"
    "                        [--frame F | --frames A:B] [--fps N] [--caption TEXT | --no-caption]\n"
    "                        [--line-file FILE] [--force] OUTPUT\n"
    "  or:  mienscope-render --help | --version\n";

const char render_help[] =
    "Draws what the mienscope viewer would show, with the viewer's own drawing, without\n"
    "any display, and writes a PNG still, an MP4 video or an animated GIF.\n"
    "\n"
    "Faces: --exhibit N (1 to 5, the default 1) loads the exhibit's recordings from\n"
    "face-data/ below the working directory, as the viewer's F-key does (exhibit 2:\n"
    "smaa.dat green, sm2.dat red); or FIRST (green) and SECOND (red) are marker files.\n"
    "Every recording is loaded and normalised as the viewer loads it, warnings included.\n"
    "\n"
    "Options (anywhere before OUTPUT):\n"
    "  --faces WHICH        first, second or both, as after the viewer's a, b or c keys\n"
    "                       (default both when there are two faces, else first)\n"
    "  --line-file FILE     the segments for marker files (default face-data/line.dat\n"
    "                       when it exists, else none); exhibits use face-data/line.dat\n"
    "  --turn-x DEG         the turn about the horizontal axis (the viewer's Up key\n"
    "                       subtracts 2, Down adds 2); default 0\n"
    "  --turn-y DEG         the turn about the vertical axis (Left subtracts 2, Right\n"
    "                       adds 2); default 0\n"
    "  --distance D         the camera's distance (default 5; the viewer's < multiplies\n"
    "                       it by 1.1, > divides it)\n"
    "  --size WxH           the picture's size in pixels, 1 to 8192 each (default 640x1024,\n"
    "                       the viewer's window); even for MP4\n"
    "  --frame F            the frame of a still, 0 to 179 (default 0)\n"
    "  --frames A:B         the frames of a video (default 0:179)\n"
    "  --fps N              a video's frames a second, 1 to 240 (default 30; at most 50\n"
    "                       for GIF, whose frames last round(100 / N) hundredths of a second)\n"
    "  --caption TEXT       the caption instead of \"Exhibit N\" or the files' names\n"
    "  --no-caption         no caption\n"
    "  --force              replace OUTPUT if it exists\n"
    "  --help               print this help\n"
    "  --version            print the version\n"
    "\n"
    "OUTPUT chooses by its extension: .png a still, .mp4 an H.264 video (yuv420p),\n"
    ".gif a looping animation. It is written to a temporary file and put in place\n"
    "when complete.\n"
    "\n"
    "Exit status:\n"
    "  0    done\n"
    "  1    a marker file can't be opened (the viewer's message), no offscreen OpenGL\n"
    "       context can be made, OUTPUT exists (without --force) or can't be written\n"
    "  2    a usage error\n"
    "  255  face-data/line.dat can't be opened (the viewer's message)\n";

int render_usage_error(const std::string &message)
{
    fprintf(stderr, "mienscope-render: %s\n%s", message.c_str(), render_usage);
    return RENDER_USAGE;
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
    case 'c': r->caption = arg; r->caption_given = true; return true;
    case 'L': r->line_file = arg; return true;
    case 'e': return whole_number("--exhibit", arg, 1, 5, &r->exhibit, error);
    case 'w': return option_faces(arg, r, error);
    case 'x': return real_number("--turn-x", arg, &r->turn_x, error);
    case 'y': return real_number("--turn-y", arg, &r->turn_y, error);
    case 'd': return real_number("--distance", arg, &r->distance, error);
    case 's': return option_size(arg, r, error);
    case 'F': r->frame_given = true; return whole_number("--frame", arg, 0, FACE_FRAMES - 1, &r->first_frame, error);
    case 'A': return option_frames(arg, r, error);
    case 'r': return whole_number("--fps", arg, 1, 240, &r->fps, error);
    default: *error = "unknown option or a missing value"; return false;
    }
}

static bool output_kind(const std::string &output, OutputKind *kind)
{
    std::string name = lower(output);
    auto ends_with = [&](const char *extension) {
        std::string e = extension;
        return name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0;
    };
    *kind = ends_with(".png") ? OUTPUT_PNG : ends_with(".mp4") ? OUTPUT_MP4 : OUTPUT_GIF;
    return ends_with(".png") || ends_with(".mp4") || ends_with(".gif");
}

/* The first problem of the options that are each valid alone; "" when none. */
static std::string conflict(const RenderRequest &r)
{
    bool still = r.kind == OUTPUT_PNG;
    if (r.exhibit && !r.files.empty())
        return "--exhibit and marker files: give one or the other";
    if (r.files.size() > 2)
        return "at most two marker files, FIRST and SECOND, before OUTPUT";
    if (r.files.size() == 1 && (r.faces == "second" || r.faces == "both"))
        return "--faces " + r.faces + " needs a SECOND file";
    if (r.caption_given && r.no_caption)
        return "--caption and --no-caption: give one or the other";
    if (still ? r.frames_given : r.frame_given)
        return still ? "a PNG is one frame: --frame F, not --frames" : "a video takes --frames A:B, not --frame";
    if (r.kind == OUTPUT_MP4 && (r.width % 2 || r.height % 2))
        return "an MP4 needs an even width and height; --size " + std::to_string(r.width) + "x" +
               std::to_string(r.height) + " is not";
    if (r.kind == OUTPUT_GIF && r.fps > 50)
        return "--fps " + std::to_string(r.fps) + ": a GIF frame lasts whole hundredths of a second, so at most 50";
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
        *error = "OUTPUT \"" + printable(r->output) + "\" ends in none of .png, .mp4 and .gif";
        return false;
    }
    *error = conflict(*r);
    if (r->last_frame < 0)
        r->last_frame = r->kind == OUTPUT_PNG ? r->first_frame : FACE_FRAMES - 1;
    return error->empty();
}

bool parse_render_command(int argc, char **argv, RenderRequest *request, std::string *error)
{
    static const struct option long_options[] = {
        {"help", no_argument, nullptr, 'h'},          {"version", no_argument, nullptr, 'v'},
        {"force", no_argument, nullptr, 'f'},         {"no-caption", no_argument, nullptr, 'n'},
        {"caption", required_argument, nullptr, 'c'}, {"line-file", required_argument, nullptr, 'L'},
        {"exhibit", required_argument, nullptr, 'e'}, {"faces", required_argument, nullptr, 'w'},
        {"turn-x", required_argument, nullptr, 'x'},  {"turn-y", required_argument, nullptr, 'y'},
        {"distance", required_argument, nullptr, 'd'}, {"size", required_argument, nullptr, 's'},
        {"frame", required_argument, nullptr, 'F'},   {"frames", required_argument, nullptr, 'A'},
        {"fps", required_argument, nullptr, 'r'},     {nullptr, 0, nullptr, 0},
    };
    std::vector<std::string> operands;
    if (!read_options(argc, argv, long_options,
                      [&](int code, const char *arg) { return take_option(code, arg, request, error); }, &operands,
                      error))
        return false;
    return check_request(request, operands, error);
}

/* The faces and what the frame shows, loaded as the viewer loads them:
 * a missing file ends the process with the viewer's message and status. */
struct Scene {
    FrameView view;
    std::string caption;
};

static FACE *load_face(const std::string &line_file, const std::string &marker_file)
{
    return line_file.empty() ? new_face_without_segments(marker_file.c_str())
                             : new_face(line_file.c_str(), marker_file.c_str());
}

static std::string base_name(const std::string &path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/* The exhibits' files, as the viewer's F1 to F5 load them; F2 keeps the
 * second face of start-up, sm2.dat. */
static const char *const exhibit_marker_files[5][2] = {
    {"face-data/sm1.dat", "face-data/sm2.dat"},   {"face-data/smaa.dat", "face-data/sm2.dat"},
    {"face-data/smnn.dat", "face-data/smll.dat"}, {"face-data/smnn.dat", "face-data/smnl.dat"},
    {"face-data/smpcu.dat", "face-data/smpcd.dat"},
};

static Scene load_scene(const RenderRequest &r)
{
    static const char exhibit_line_file[] = "face-data/line.dat";
    std::vector<std::string> files = r.files;
    std::string line_file = r.line_file;
    Scene scene;
    if (files.empty()) {
        int n = r.exhibit ? r.exhibit : 1;
        files = {exhibit_marker_files[n - 1][0], exhibit_marker_files[n - 1][1]};
        line_file = exhibit_line_file;
        scene.caption = "Exhibit " + std::to_string(n);
    } else {
        if (line_file.empty() && access(exhibit_line_file, R_OK) == 0)
            line_file = exhibit_line_file;
        scene.caption = base_name(files[0]) + (files.size() > 1 ? ", " + base_name(files[1]) : "");
    }
    FrameView &v = scene.view;
    v.first = load_face(line_file, files[0]);
    v.second = files.size() > 1 ? load_face(line_file, files[1]) : nullptr;
    std::string faces = !r.faces.empty() ? r.faces : v.second ? "both" : "first";
    v.shown[0] = faces != "second";
    v.shown[1] = faces != "first";
    v.rotate_x = r.turn_x;
    v.rotate_y = r.turn_y;
    v.zoom = r.distance;
    v.frame = 0;
    if (r.caption_given)
        scene.caption = r.caption;
    if (r.no_caption)
        scene.caption.clear();
    return scene;
}

/* One frame as the viewer's display handler draws it. */
static void render_frame(Scene *scene, CaptionFont *font, int frame, const Offscreen *o, Picture *picture)
{
    scene->view.frame = frame;
    draw_clear();
    if (font) {
        caption_begin();
        draw_caption_text(font, scene->caption);
        caption_end();
    }
    draw_faces(&scene->view);
    glFinish();
    read_picture(o, picture);
}

static bool write_video(const RenderRequest &r, Scene *scene, CaptionFont *font, const Offscreen *o,
                        const std::string &path, std::string *error)
{
    Mp4Writer *mp4 = nullptr;
    GifWriter *gif = nullptr;
    bool ok = r.kind == OUTPUT_MP4 ? mp4_open(path, r.width, r.height, r.fps, &mp4, error)
                                   : gif_open(path, r.width, r.height, (int)lround(100.0 / r.fps), &gif, error);
    Picture picture;
    for (int f = r.first_frame; f <= r.last_frame && ok; f++) {
        render_frame(scene, font, f, o, &picture);
        ok = mp4 ? mp4_add(mp4, picture, error) : gif_add(gif, picture, error);
    }
    if (mp4)
        ok = mp4_finish(mp4, ok ? error : nullptr) && ok;
    if (gif)
        ok = gif_finish(gif, ok ? error : nullptr) && ok;
    return ok;
}

static bool write_output(const RenderRequest &r, Scene *scene, CaptionFont *font, const Offscreen *o,
                         std::string *error)
{
    std::string temporary;
    if (!make_temporary_beside(r.output, &temporary, error))
        return false;
    bool ok;
    if (r.kind == OUTPUT_PNG) {
        Picture picture;
        render_frame(scene, font, r.first_frame, o, &picture);
        ok = write_png_file(picture, temporary, error);
    } else {
        ok = write_video(r, scene, font, o, temporary, error);
    }
    if (ok)
        return place_file(temporary, r.output, r.force, error);
    unlink(temporary.c_str());
    return false;
}

static int unusable(const std::string &message)
{
    fprintf(stderr, "%s\n", message.c_str());
    return RENDER_UNUSABLE;
}

int run_render(const RenderRequest &r)
{
    std::string error;
    if (!check_replaceable(r.output, r.force, &error))
        return unusable(error);
    Scene scene = load_scene(r);
    Offscreen *offscreen = nullptr;
    CaptionFont *font = nullptr;
    if (!open_offscreen(r.width, r.height, &offscreen, &error))
        return unusable("mienscope-render: " + error + "; nothing was drawn");
    bool ok = scene.caption.empty() || open_caption_font(&font, &error);
    if (ok) {
        draw_gl_state();
        draw_projection(r.width, r.height);
        ok = write_output(r, &scene, font, offscreen, &error);
    }
    if (font)
        close_caption_font(font);
    close_offscreen(offscreen);
    return ok ? RENDER_DONE : unusable(error);
}
