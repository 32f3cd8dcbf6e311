/* mienscope-track as a whole process: the shared single_face.mp4 (2.4 s,
 * 640 x 360) and a 20 s video of the same size that FFmpeg makes by
 * playing it again and again, each beside FFmpeg decoding the same video
 * to nothing in the same run; then the cached open, by the tracker and by
 * a program that opens the video; then where the time goes: the model
 * read, and per frame the decoding, the detector near a known face and
 * the landmarks, run one at a time in this process. Medians of five runs.
 *
 *   track_bench PATH-TO-mienscope-track PATH-TO-mienscope-measure      (from the repository root) */
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "decode.h"
#include "faces.h"
#include "file_io.h"
#include "landmarks.h"
#include "testfiles.h"
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
    FaceFinder *finder = open_face_finder();
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
    std::string twenty = folder + "/twenty.mp4";
    ProgramRun made = run_program("/usr/bin/ffmpeg", {"-v", "error", "-nostdin", "-stream_loop", "9", "-i", single, "-an",
                                                      "-t", "20", "-c:v", "libx264", "-preset", "veryfast", twenty});
    if (made.status != 0) {
        fprintf(stderr, "ffmpeg could not make the 20 s video: %s", made.err.c_str());
        return 1;
    }
    setenv("XDG_CACHE_HOME", (folder + "/cache").c_str(), 1);
    printf("mienscope-track, whole processes, medians of %d runs:\n", runs);
    for (const std::string &video : {single, twenty}) {
        double seconds = median_seconds(argv[1], {"--no-cache", video, folder + "/out.csv", "--force"});
        double ffmpeg = median_seconds("/usr/bin/ffmpeg", {"-v", "error", "-nostdin", "-i", video, "-f", "null", "-"});
        double length = video == single ? 72 / 30.0 : 20.0;
        printf("  %s (%.1f s of video): %.3f s, %.1f times faster than real time; ffmpeg -i V -f null - %.3f s\n",
               base_name(video).c_str(), length, seconds, length / seconds, ffmpeg);
    }
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
    return 0;
}
