/* mienscope-report's command line and flow. */
#include "report_program.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <future>

#include "encode.h"
#include "file_io.h"
#include "gnuplot.h"
#include "offscreen.h"
#include "report_plots.h"
#include "text.h"
#include "exam_page.h"
#include "tracker.h"

const char report_usage[] =
    "Usage: mienscope-report [OPTION]... [--norm GROUP] --out DIR [--force] STUDY.csv\n"
    "  or:  mienscope-report [OPTION]... --out DIR [--force] FILE|FOLDER...\n"
    "  or:  mienscope-report --help | --version\n";

static const char report_help[] =
    "Writes a page per recording that a clinician can hand on, and an index: the\n"
    "recording's facts, its movement in 3D (turn it and play it in the browser) with\n"
    "stills at rest and at its peak, how its left and right sides compare, and how the\n"
    "movement unfolds; each page self-contained, readable on screen and printable on\n"
    "at most two A4 pages.\n"
    "\n"
    "The inputs are those of mienscope-compare (a study table: a header naming file\n"
    "and group, optionally subject and condition, read as mienscope-compare reads it)\n"
    "or of mienscope-measure (recordings, videos, marker files and folders). A single\n"
    ".csv file whose header names file or group (any case) is a study table. A table\n"
    "with an expression column is an exam (see mienscope-compare): besides the pages,\n"
    "a grading page per subject, SUBJECT-exam.html, linked from the index, a row per\n"
    "expression with its face measures side against side (R, L and a score, 100 x the\n"
    "smaller / the larger; with --norm their z against GROUP's recordings of the same\n"
    "expression), a movement score and ocular and oral synkinesis figures, and each\n"
    "video's frame at its expression's extreme.\n"
    "\n"
    "OPTIONS, which shape the measures as in mienscope-measure:\n";

static const char report_help_end[] =
    "  --norm GROUP         with a study table: each recording outside GROUP against\n"
    "                       its normal range, as mienscope-compare --norm does\n"
    "  --out DIR            where the pages go (required): index.html and NAME.html, NAME\n"
    "                       the file's base name without its extension (-2, -3 ... after\n"
    "                       names met before, and index-2 for a recording named index)\n"
    "  --force              replace pages in DIR that exist (never a file being read,\n"
    "                       nor a recording or video)\n"
    "  --help, --version\n"
    "\n"
    "The pages appear together, when all are complete. The stills are drawn offscreen\n"
    "(EGL); the plots need gnuplot on PATH, and without it the pages say so.\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  the study table, a recording, the marker set, the group or DIR can't be used,\n"
    "     no offscreen context can be made, or gnuplot failed (one line says which);\n"
    "     nothing was written\n"
    "  2  a usage error\n";

int report_usage_error(const std::string &message)
{
    fprintf(stderr, "mienscope-report: %s\n%s", message.c_str(), report_usage);
    return EXIT_USAGE;
}

void print_report_help(void)
{
    printf("%s\n%s%s%s", report_usage, report_help, measure_options_help, report_help_end);
}

static bool take_option(int code, const char *arg, ReportRequest *r, std::string *error)
{
    switch (code) {
    case 'h': r->help = true; return true;
    case 'v': r->version = true; return true;
    case 'f': r->force = true; return true;
    case 'o': r->out = arg; return true;
    case 'N': return take_name("--norm", "a group", arg, &r->norm, error);
    default: return take_measure_option(code, arg, &r->options, error);
    }
}

bool parse_report_command(int argc, char **argv, ReportRequest *request, std::string *error)
{
    static const std::vector<struct option> long_options = with_measure_options({
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'v'},
        {"force", no_argument, nullptr, 'f'},
        {"out", required_argument, nullptr, 'o'},
        {"norm", required_argument, nullptr, 'N'},
    });
    if (!read_options(argc, argv, long_options.data(),
                      [&](int code, const char *arg) { return take_option(code, arg, request, error); },
                      &request->inputs, error))
        return false;
    if (request->help || request->version)
        *error = request->inputs.empty() ? "" : "--help and --version take no files";
    else if (request->inputs.empty())
        *error = "no STUDY.csv or file given";
    else if (request->out.empty())
        *error = "--out DIR is required";
    return error->empty() && check_recording_options(request->options.inputs.recording, error);
}

/* The study table, or the files as one; returns the exit status. */
static int measure_inputs(const ReportRequest &r, MeasuredStudy *s, std::string *error)
{
    if (r.inputs.size() == 1 && is_study_table(r.inputs[0]))
        return measure_study(r.inputs[0], r.options, s, error);
    if (!r.norm.empty()) {
        *error = "--norm GROUP needs a study table, which names the groups; files have none";
        return EXIT_USAGE;
    }
    return table_of_files(r.inputs, &s->table, error) ? measure_table(r.options, s, error) : EXIT_UNUSABLE;
}

/* A recording as the viewer holds it, normalised, with the set's segments. */
static FACE *face_of(const MeasuredStudy &s, const StudyRecording &r)
{
    FACE *face = (FACE *)calloc(1, sizeof(FACE));
    if (!face)
        return nullptr;
    face_from_positions(face, r.input.positions.data(), r.row.file.c_str());
    for (const auto &segment : s.study.markers.segments)
        if (face->nlines < FACE_SEGMENTS) {
            face->linemap[face->nlines][0] = segment[0];
            face->linemap[face->nlines][1] = segment[1];
            face->nlines++;
        }
    return face;
}

/* Offscreen drawing of the stills: a context and the caption's font. */
struct Painter {
    Offscreen *offscreen = nullptr;
    CaptionFont *font = nullptr;
};

static const int still_width = 400, still_height = 640;

static bool open_painter(Painter *p, std::string *error)
{
    if (!open_offscreen(still_width, still_height, &p->offscreen, error)) {
        *error = "mienscope-report: " + *error + "; the stills can't be drawn, so nothing was written";
        return false;
    }
    draw_gl_state();
    draw_projection(still_width, still_height);
    return open_caption_font(&p->font, error);
}

static void close_painter(Painter *p)
{
    if (p->font)
        close_caption_font(p->font);
    if (p->offscreen)
        close_offscreen(p->offscreen);
}

static std::vector<uint8_t> still_png(Painter *p, const FrameView &view, const std::string &caption)
{
    Picture picture;
    std::vector<uint8_t> png;
    draw_picture(&view, p->font, caption, p->offscreen, &picture);
    png_bytes(picture, &png);
    return png;
}

/* Rest and peak from the front, and the two overlaid: the peak drawn as a second face whose rest frame
 * holds the peak's positions, so that one frame index shows both. */
static bool draw_stills(Painter *p, FACE *face, int rest, int peak, RecordingStills *stills)
{
    FACE *at_peak = (FACE *)malloc(sizeof(FACE));
    if (!at_peak)
        return false;
    stills->rest_frame = rest;
    stills->peak_frame = peak;
    FrameView view = {face, nullptr, {1, 0}, rest, 0.0f, 0.0f, 5.0f};
    stills->rest = still_png(p, view, "Rest, frame " + std::to_string(rest));
    view.frame = peak;
    stills->peak = still_png(p, view, "Peak, frame " + std::to_string(peak));
    *at_peak = *face;
    memcpy(at_peak->ff[rest], face->ff[peak], sizeof face->ff[rest]);
    FrameView both = {face, at_peak, {1, 1}, rest, 0.0f, 0.0f, 5.0f};
    stills->both = still_png(p, both, "Rest and peak");
    free(at_peak);
    return true;
}

/* The recording's interactive view: it alone, paused at its rest frame. */
static PageData view_of(const StudyRecording &r, const FACE *face, int rest, CaptionFont *font)
{
    PageData view;
    view.width = 480;
    view.height = 768;
    view.names = base_name(r.row.file);
    view.seconds = r.input.seconds;
    view.faces = {face};
    view.frame = rest;
    view.faces_shown = "first";
    view.caption = caption_mask(font, view.names, view.width, view.height);
    return view;
}

/* What is asked of the tracker for each recording that is a video: its own frames at the stills' frames and,
 * in an exam, at the expression's extreme, which its grading page shows; the recording's place in `of`. */
static std::vector<StillsRequest> video_frame_requests(const MeasuredStudy &s, int rest, std::vector<size_t> *of)
{
    std::vector<StillsRequest> requests;
    for (size_t r = 0; r < s.recordings.size(); r++) {
        const StudyRecording &rec = s.recordings[r];
        if (!rec.input.video)
            continue;
        double frame_seconds = rec.input.seconds / (FACE_FRAMES - 1);
        std::vector<double> seconds = {rec.input.from + rest * frame_seconds,
                                       rec.input.from + peak_frame(rec.measured) * frame_seconds};
        if (!rec.row.expression.empty())
            seconds.push_back(rec.input.from + exam_frame(rec) * frame_seconds);
        requests.push_back({rec.row.path, seconds, {}, EXIT_DONE, ""});
        of->push_back(r);
    }
    return requests;
}

/* Every video's frames, taken at once, into the recordings' stills; false with the first failure's message. */
static bool add_video_frames(const MeasuredStudy &s, int rest, const TrackingOptions &tracking,
                             std::vector<RecordingStills> *stills, std::string *error)
{
    std::vector<size_t> of;
    std::vector<StillsRequest> requests = video_frame_requests(s, rest, &of);
    videos_stills(tracking, &requests);
    for (size_t i = 0; i < requests.size(); i++) {
        StillsRequest &q = requests[i];
        RecordingStills &to = (*stills)[of[i]];
        if (q.status != EXIT_DONE) {
            *error = q.error;
            return false;
        }
        to.rest_seconds = q.seconds[0];
        to.peak_seconds = q.seconds[1];
        to.video_rest = std::move(q.pngs[0]);
        to.video_peak = std::move(q.pngs[1]);
        if (q.pngs.size() > 2)
            to.video_exam = std::move(q.pngs[2]);
    }
    return true;
}

/* Every page of the report, in order, and last the index, with the videos' frames already in stills; false
 * when there is no memory for a face. */
static bool report_pages(const MeasuredStudy &s, const NormComparison *norm, std::vector<RecordingStills> *stills,
                         Painter *painter, const std::vector<std::string> &plots, const ReportInfo &info,
                         std::vector<OutputFile> *pages, std::string *error)
{
    int rest = s.study.settings.rest_first;
    std::vector<std::vector<uint8_t>> exam_frames(s.recordings.size());
    for (size_t r = 0; r < s.recordings.size(); r++) {
        FACE *face = face_of(s, s.recordings[r]);
        if (!face || !draw_stills(painter, face, rest, peak_frame(s.recordings[r].measured), &(*stills)[r])) {
            free(face);
            *error = s.recordings[r].row.file + ": no memory for a face record; nothing was written";
            return false;
        }
        exam_frames[r] = std::move((*stills)[r].video_exam);
        PageData view = view_of(s.recordings[r], face, rest, painter->font);
        pages->push_back({s.recordings[r].name + ".html",
                          recording_page(s, r, norm, (*stills)[r], view, plots.empty() ? "" : plots[r], info)});
        free(face);
    }
    if (s.table.has_expression)
        for (const ExamSubject &subject : exam_subjects(s))
            pages->push_back({subject.page, exam_page(s, subject, norm ? norm->group : "", exam_frames,
                                                      "mienscope-report " + info.version + " on " + info.date)});
    pages->push_back({"index.html", index_page(s, norm, info)});
    return true;
}

/* The pages written together, or none. */
static bool write_pages(const ReportRequest &r, const MeasuredStudy &s, const std::vector<OutputFile> &pages,
                        std::string *error)
{
    StagedOutput out;
    OutputGuard guard = study_guard(r.force, "a page mienscope-report writes", s, r.options);
    for (const OutputFile &page : pages)
        if (!check_output(r.out + "/" + page.path, guard, error))
            return false;
    if (!begin_staged_output(r.out, guard, &out, error))
        return false;
    bool staged = true;
    for (const OutputFile &page : pages)
        staged = staged && stage_file(&out, page.path, page.text, error);
    if (staged)
        return finish_staged_output(&out, error);
    abandon_staged_output(&out);
    return false;
}

int run_report(const ReportRequest &r, const ReportInfo &info)
{
    MeasuredStudy s;
    NormComparison norm;
    std::string error;
    int status = measure_inputs(r, &s, &error);
    if (status == EXIT_USAGE)
        return report_usage_error(error);
    if (status != EXIT_DONE || (!r.norm.empty() && !compare_with_norm(s, r.norm, &norm, &error)))
        return unusable(error);
    const NormComparison *against = r.norm.empty() ? nullptr : &norm;
    /* The videos' own frames are taken by mienscope-track while the plots are drawn. */
    std::vector<RecordingStills> stills(s.recordings.size());
    std::string frames_error;
    std::future<bool> framed = std::async(std::launch::async, add_video_frames, std::cref(s),
                                          s.study.settings.rest_first, std::cref(r.options.inputs.recording.tracking),
                                          &stills, &frames_error);
    std::string gnuplot = find_on_path("gnuplot");
    std::vector<std::string> plots;
    if (!gnuplot.empty() && !s.study.markers.pairs.empty() && !draw_report_plots(gnuplot, s, against, &plots, &error))
        return unusable(error);
    if (!framed.get())
        return unusable(frames_error);
    Painter painter;
    std::vector<OutputFile> pages;
    bool painted = open_painter(&painter, &error) &&
                   report_pages(s, against, &stills, &painter, plots, info, &pages, &error);
    close_painter(&painter);
    if (!painted || !write_pages(r, s, pages, &error))
        return unusable(error);
    if (gnuplot.empty())
        fprintf(stderr, "%s: gnuplot is not on PATH, so the plots were not drawn; the pages say so. Install gnuplot "
                        "(on Debian: apt install gnuplot-nox) and make the report again\n", r.out.c_str());
    return EXIT_DONE;
}
