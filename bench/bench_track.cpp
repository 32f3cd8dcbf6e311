/* mienscope-track as a whole process: the shared single_face.mp4 (2.4 s,
 * 640 x 360) and a 20 s video of the same size that FFmpeg makes by
 * playing it again and again, each beside FFmpeg decoding the same video
 * to nothing in the same run; then the cached open, by the tracker and by
 * a program that opens the video; then where the time goes: the model
 * read, and per frame the decoding, the detector near a known face and
 * the landmarks, run one at a time in this process. Medians of five runs.
 * Beside them, a 1080 x 1920 60 fps HEVC clip and its decoding, a folder
 * of four videos against one, and a still photo with noise tracked and
 * given to dlib's own detector and predictor: how far still points move.
 *
 *   track_bench PATH-TO-mienscope-track PATH-TO-mienscope-measure      (from the repository root) */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include <dlib/image_processing.h>
#include <dlib/image_processing/frontal_face_detector.h>

#include "decode.h"
#include "faces.h"
#include "file_io.h"
#include "landmarks.h"
#include "testfiles.h"
#include "videos.h"
#include "whole_process.h"

static const int runs = 5;

static double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

/* Milliseconds a frame for decoding, finding the face near its last place and placing the landmarks. */
static void stages(const std::string &video, const LandmarkModel &model)
{
    VideoReader *reader = nullptr;
    std::string reason;
    if (!open_video(video, false, &reader, &reason))
        return;
    FaceFinder *finder = open_face_finder(&reason);
    if (!finder) {
        close_video(reader);
        return;
    }
    std::vector<double> decoding, finding, placing;
    VideoFrame frame;
    FaceBox last;
    bool known = false;
    for (;;) {
        double start = now_seconds();
        if (next_video_frame(reader, &frame, &reason) != 1)
            break;
        double decoded = now_seconds();
        GrayView view = {frame.gray.data(), frame.width, frame.height};
        std::vector<FaceBox> faces = known ? faces_near(finder, view, last) : faces_in_frame(finder, view);
        double found = now_seconds();
        known = !faces.empty();
        if (known) {
            last = faces[0];
            std::vector<double> xy;
            place_landmarks(model, view, last, &xy);
            placing.push_back(now_seconds() - found);
        }
        decoding.push_back(decoded - start);
        finding.push_back(found - decoded);
    }
    close_face_finder(finder);
    close_video(reader);
    printf("  per frame, one at a time: decoding %.2f ms, the detector near the face %.2f ms (a frame in two), the "
           "landmarks %.2f ms\n", 1000 * median(decoding), 1000 * median(finding), 1000 * median(placing));
}

static double standard_deviation(const std::vector<double> &v)
{
    double mean = 0, squares = 0;
    for (double x : v)
        mean += x / v.size();
    for (double x : v)
        squares += (x - mean) * (x - mean);
    return sqrt(squares / (v.size() - 1));
}

/* Points as x, y pixels of the 68 landmarks, a frame a vector. */
typedef std::vector<std::vector<double>> PointFrames;

/* The spread of a still face's points: the points' standard deviation over the frames (x and y pooled,
 * root mean square over the 68), in pixels and in millimetres (63 mm between the eyes' centres), and the
 * standard deviations of the mouth-corner distance (48-54) and of the eye opening (the mean of 37-41 and
 * 38-40, right eye; 43-47 and 44-46, left), with their MDC95 = 1.96 sqrt(2) SD. */
static void print_spread(const char *who, const PointFrames &frames)
{
    auto at = [](const std::vector<double> &f, int i, int axis) { return f[2 * i + axis]; };
    auto apart = [&](const std::vector<double> &f, int a, int b) {
        return hypot(at(f, a, 0) - at(f, b, 0), at(f, a, 1) - at(f, b, 1));
    };
    double squares = 0, mm_per_px = 0;
    for (int i = 0; i < 68; i++)
        for (int axis = 0; axis < 2; axis++) {
            std::vector<double> v;
            for (const auto &f : frames)
                v.push_back(at(f, i, axis));
            squares += pow(standard_deviation(v), 2) / 136;
        }
    std::vector<double> mouth, eyes;
    for (const auto &f : frames) {
        double centre[2][2] = {{0, 0}, {0, 0}};
        for (int eye = 0; eye < 2; eye++)
            for (int i = 36 + 6 * eye; i < 42 + 6 * eye; i++)
                for (int axis = 0; axis < 2; axis++)
                    centre[eye][axis] += at(f, i, axis) / 6;
        double scale = 63.0 / hypot(centre[1][0] - centre[0][0], centre[1][1] - centre[0][1]);
        mm_per_px += scale / frames.size();
        mouth.push_back(scale * apart(f, 48, 54));
        eyes.push_back(scale * (apart(f, 37, 41) + apart(f, 38, 40) + apart(f, 43, 47) + apart(f, 44, 46)) / 4);
    }
    double mdc = 1.96 * sqrt(2.0);
    printf("  %s: points %.3f px (%.3f mm); mouth corners' distance SD %.3f mm, MDC95 %.2f mm; eye opening SD "
           "%.3f mm, MDC95 %.2f mm\n",
           who, sqrt(squares), sqrt(squares) * mm_per_px, standard_deviation(mouth), mdc * standard_deviation(mouth),
           standard_deviation(eyes), mdc * standard_deviation(eyes));
}

/* A still photo made a 10 s video with noise that changes every frame, as a camera's sensor adds:
 * mienscope-track's points beside dlib's own detector and predictor run on every frame as decoded. */
static void stillness(const std::string &tracker, const std::string &single, const std::string &folder)
{
    std::string still = folder + "/still.mp4";
    ProgramRun made = run_program("/usr/bin/ffmpeg",
                                  {"-v", "error", "-nostdin", "-y", "-i", single, "-an", "-vf",
                                   "select=eq(n\\,15),loop=299:1:0,setpts=N/30/TB,noise=alls=6:allf=t",
                                   "-frames:v", "300", "-c:v", "libx264", "-crf", "18", still});
    ProgramRun run = run_program(tracker, {"--no-cache", still, "-"});
    if (made.status != 0 || run.status != 0) {
        fprintf(stderr, "the still video could not be made or tracked: %s%s", made.err.c_str(), run.err.c_str());
        return;
    }
    PointFrames ours, theirs;
    for (const auto &row : face_table(run.out).rows) {
        std::vector<double> xy;
        for (int i = 0; i < 68; i++)
            for (const char *axis : {"x_", "y_"})
                xy.push_back(number(row, axis + std::to_string(i)));
        ours.push_back(xy);
    }
    dlib::frontal_face_detector detector = dlib::get_frontal_face_detector();
    dlib::shape_predictor predictor;
    dlib::deserialize("/usr/share/dlib/shape_predictor_68_face_landmarks.dat") >> predictor;
    VideoReader *reader = nullptr;
    std::string reason;
    VideoFrame frame;
    if (!open_video(still, false, &reader, &reason))
        return;
    while (next_video_frame(reader, &frame, &reason) == 1) {
        dlib::array2d<unsigned char> image(frame.height, frame.width);
        std::copy(frame.gray.begin(), frame.gray.end(), &image[0][0]);
        std::vector<dlib::rectangle> faces = detector(image);
        if (faces.empty())
            continue;
        dlib::full_object_detection shape = predictor(image, faces[0]);
        std::vector<double> xy;
        for (unsigned long i = 0; i < shape.num_parts(); i++)
            xy.insert(xy.end(), {(double)shape.part(i).x(), (double)shape.part(i).y()});
        theirs.push_back(xy);
    }
    close_video(reader);
    printf("a still photo (single_face.mp4's frame 16) as a 10 s video with noise, %zu frames; the spread over them:\n",
           ours.size());
    print_spread("mienscope-track", ours);
    print_spread("dlib's own detector and predictor, every frame", theirs);
}

/* What runs a program on a video not tracked before: the cache's tables removed first, the parsed model
 * kept, as a user who has tracked any video before has it ("sh -c UNTRACKED CACHE PROGRAM ARGUMENT..."). */
static const char untracked[] = "rm -f \"$0\"/mienscope/*.csv && exec \"$@\"";

/* Median seconds of tracking a video not tracked before and of FFmpeg decoding it to nothing, side by side. */
static void beside_decoding(const std::string &tracker, const std::string &cache, const std::string &video,
                            const std::string &out, const char *what)
{
    double seconds = median_seconds("/bin/sh", {"-c", untracked, cache, tracker, "--force", video, out});
    double ffmpeg = median_seconds("/usr/bin/ffmpeg", {"-v", "error", "-nostdin", "-i", video, "-f", "null", "-"});
    printf("  %s: %.3f s; ffmpeg -i V -f null - %.3f s: %.1f times the decoding\n", what, seconds, ffmpeg,
           seconds / ffmpeg);
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: track_bench PATH-TO-mienscope-track PATH-TO-mienscope-measure\n");
        return 2;
    }
    std::string single = testdata_path("video/single_face.mp4"), folder = make_temp_folder();
    if (!testdata_present("video/single_face.mp4")) {
        fprintf(stderr, "no %s: the shared test recordings are not beside this checkout\n", single.c_str());
        return 1;
    }
    std::string twenty = folder + "/twenty.mp4", error_text;
    ProgramRun made = run_program("/usr/bin/ffmpeg", {"-v", "error", "-nostdin", "-stream_loop", "9", "-i", single, "-an",
                                                      "-t", "20", "-c:v", "libx264", "-preset", "veryfast", twenty});
    if (made.status != 0) {
        fprintf(stderr, "ffmpeg could not make the 20 s video: %s", made.err.c_str());
        return 1;
    }
    printf("mienscope-track, whole processes, medians of %d runs:\n", runs);
    std::string kept = folder + "/kept";
    setenv("XDG_CACHE_HOME", kept.c_str(), 1);
    run_program(argv[1], {single, "-"}); /* the model parsed and kept */
    beside_decoding(argv[1], kept, single, folder + "/out.csv", "single_face.mp4 (2.4 s, 640 x 360)");
    beside_decoding(argv[1], kept, twenty, folder + "/out.csv", "the 20 s video (640 x 360)");
    printf("  the 20 s video with --no-cache (the model parsed too): %.3f s\n",
           median_seconds(argv[1], {"--no-cache", "--force", twenty, folder + "/out.csv"}));
    /* A phone's portrait clip: 1080 x 1920, 60 frames a second, HEVC. */
    std::string phone = folder + "/phone.mp4";
    made = run_program("/usr/bin/ffmpeg", {"-v", "error", "-nostdin", "-i", single, "-an", "-vf",
                                           "scale=1080:-2,pad=1080:1920:0:(oh-ih)/2,fps=60", "-c:v", "libx265",
                                           "-preset", "fast", "-x265-params", "log-level=error", phone});
    if (made.status == 0)
        beside_decoding(argv[1], kept, phone, folder + "/out.csv", "a 1080 x 1920 60 fps HEVC clip (2.4 s)");
    /* Four different videos in a folder, none cached, beside one of them: mienscope-measure tracks them. */
    std::string four = folder + "/four";
    make_folders(four, &error_text);
    for (int k = 0; k < 4; k++)
        run_program("/usr/bin/ffmpeg", {"-v", "error", "-nostdin", "-i", single, "-an", "-vf",
                                        "crop=600:340:" + std::to_string(10 * k) + ":10", "-c:v", "libx264", "-preset",
                                        "veryfast", four + "/v" + std::to_string(k) + ".mp4"});
    double one = median_seconds("/bin/sh", {"-c", untracked, kept, argv[2], four + "/v0.mp4"});
    double all = median_seconds("/bin/sh", {"-c", untracked, kept, argv[2], four});
    printf("  mienscope-measure, the videos not tracked before: one video %.3f s, a folder of 4 %.3f s: %.2f times "
           "one\n", one, all, all / one);
    setenv("XDG_CACHE_HOME", (folder + "/cache").c_str(), 1);
    run_program(argv[1], {twenty, "-"});
    printf("  the 20 s video again, from the cache: %.3f s; mienscope-measure on it: %.3f s\n",
           median_seconds(argv[1], {twenty, folder + "/out.csv", "--force"}), median_seconds(argv[2], {twenty}));
    std::vector<uint8_t> bytes;
    std::string error;
    std::vector<double> reading;
    LandmarkModel model;
    for (int i = 0; i < runs; i++) {
        double start = now_seconds();
        std::string what;
        bytes.clear();
        read_whole_file("/usr/share/dlib/shape_predictor_68_face_landmarks.dat", (size_t)1 << 30, "is too large", &bytes,
                        &error);
        parse_landmark_model(bytes.data(), bytes.size(), &model, &what);
        reading.push_back(now_seconds() - start);
    }
    printf("  the 68-point model read (%zu MB): %.3f s\n", bytes.size() >> 20, median(reading));
    stages(twenty, model);
    stillness(argv[1], single, folder);
    return 0;
}
