/* Load, frame and playback figures, with an fscanf baseline for loading.
 *
 * Run from the repository root (it reads face-data/); it starts its own
 * Xvfb display. The viewer's own functions are compiled in from main.cpp so
 * that the frames timed are the ones the viewer draws. */
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <string>

#include "face_files.h"
#include "xharness.h"

#define main viewer_main
#include "../src/main.cpp"
#undef main

static const char *const bench_line_file = "face-data/line.dat";
static const char *const bench_marker_file = "face-data/sm1.dat";

/* The readers as plain fscanf loops with no checks: the baseline. */
static void fscanf_read_line_info(const char *FileName, FACE *f)
{
    FILE *fp = fopen(FileName, "r");
    if (!fp || fscanf(fp, "%d", &f->nlines) != 1)
        abort();
    for (int i = 0; i < f->nlines; i++)
        if (fscanf(fp, "%d%d", &f->linemap[i][0], &f->linemap[i][1]) != 2)
            abort();
    fclose(fp);
}

static void fscanf_read_data_matrix(const char *FileName, FACE *f)
{
    FILE *fp = fopen(FileName, "r");
    if (!fp)
        abort();
    for (int i = 0; i < f->nframes; i++)
        for (int j = 0; j < f->nvertices; j++) {
            if (fscanf(fp, "%f%f%f", &f->ff[i][j][2], &f->ff[i][j][1], &f->ff[i][j][0]) != 3)
                abort();
            f->ff[i][j][2] = -f->ff[i][j][2];
        }
    fclose(fp);
}

static FACE *fscanf_new_face(const char *f1, const char *f2)
{
    FACE *f = (FACE *)calloc(1, sizeof(FACE));
    f->nvertices = FACE_MARKERS;
    f->nframes = FACE_FRAMES;
    fscanf_read_line_info(f1, f);
    fscanf_read_data_matrix(f2, f);
    face_normalise(f);
    return f;
}

static void BM_new_face(benchmark::State &state)
{
    for (auto _ : state) {
        FACE *f = new_face(bench_line_file, bench_marker_file);
        benchmark::DoNotOptimize(f->ff[179][23][0]);
        free(f);
    }
}

static void BM_fscanf_baseline(benchmark::State &state)
{
    for (auto _ : state) {
        FACE *f = fscanf_new_face(bench_line_file, bench_marker_file);
        benchmark::DoNotOptimize(f->ff[179][23][0]);
        free(f);
    }
}

static void BM_frame_both_faces(benchmark::State &state)
{
    whichface[0] = whichface[1] = 1;
    for (auto _ : state) {
        Animate();
        glFinish();
    }
    state.SetItemsProcessed(state.iterations());
}

static void BM_playback_c_180_frames(benchmark::State &state)
{
    for (auto _ : state) {
        keyboard('c', 0, 0);
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * face->nframes);
}

static void BM_exhibit_key_F3(benchmark::State &state)
{
    for (auto _ : state) {
        cbSpecialKeyPressed(GLUT_KEY_F3, 0, 0);
        glFinish();
    }
}

BENCHMARK(BM_new_face)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_fscanf_baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_frame_both_faces)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_playback_c_180_frames)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_exhibit_key_F3)->Unit(benchmark::kMillisecond)->UseRealTime();

static bool first_frame_drawn = false;

static void AnimateOnce(void)
{
    Animate();
    first_frame_drawn = true;
}

/* The viewer's start-up, up to the first frame on screen, without its
 * endless event loop. */
static void start_viewer(int *argc, char **argv)
{
    StartViewer(argc, argv);
    glutReshapeFunc(ResizeWindow);
    glutDisplayFunc(AnimateOnce);
    while (!first_frame_drawn)
        glutMainLoopEvent();
}

/* Keeps the median real time of every benchmark for the summary. */
class MedianReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> median_ns;
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                median_ns[run.run_name.function_name] = run.GetAdjustedRealTime() *
                                                        (run.time_unit == benchmark::kMillisecond ? 1e6 : 1e3);
        ConsoleReporter::ReportRuns(runs);
    }
};

static long resident_kib_self()
{
    return resident_kib(getpid());
}

int main(int argc, char **argv)
{
    Xserver server = start_xserver();
    if (server.display < 0) {
        fprintf(stderr, "bench: Xvfb did not start; no figures\n");
        return 1;
    }
    setenv("DISPLAY", (":" + std::to_string(server.display)).c_str(), 1);
    start_viewer(&argc, argv);
    long start_kib = resident_kib_self();

    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const int keys[] = {GLUT_KEY_F1, GLUT_KEY_F2, GLUT_KEY_F3, GLUT_KEY_F4, GLUT_KEY_F5};
    long before_keys_kib = resident_kib_self();
    for (int i = 0; i < 1000; i++)
        cbSpecialKeyPressed(keys[i % 5], 0, 0);
    long after_keys_kib = resident_kib_self();

    double load = reporter.median_ns["BM_new_face"], baseline = reporter.median_ns["BM_fscanf_baseline"];
    double playback = reporter.median_ns["BM_playback_c_180_frames"];
    printf("\nSummary (medians), renderer %s:\n", (const char *)glGetString(GL_RENDERER));
    if (load > 0 && baseline > 0)
        printf("  new_face %.0f us, fscanf baseline %.0f us: %.2f times faster\n", load / 1e3, baseline / 1e3,
               baseline / load);
    if (playback > 0)
        printf("  playback of 180 frames with both faces: %.0f ms, %.0f frames per second\n", playback / 1e6,
               180 / (playback / 1e9));
    printf("  exhibit key F3 to the new faces on screen: %.1f ms\n", reporter.median_ns["BM_exhibit_key_F3"] / 1e6);
    printf("  resident memory: %ld KiB after start-up, %ld KiB before and %ld KiB after 1000 exhibit keys\n",
           start_kib, before_keys_kib, after_keys_kib);
    glutExit(); /* close the display before its server goes */
    stop_xserver(server);
    return 0;
}
