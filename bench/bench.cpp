/* Load, frame and playback figures, with an fscanf baseline for loading.
 *
 * Run from the repository root (it reads face-data/); it starts its own
 * Xvfb display. Frames are drawn by the viewer's own drawing library in a
 * window as the viewer makes it, so that the frames timed are the ones the
 * viewer draws. */
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

#include "frame.h"
#include "head.h"

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

/* The viewer's state as the benchmarks use it: exhibit 1, both faces. */
static FACE *face, *face2;
static FrameView view;

/* One frame as the viewer's display handler draws it. */
static void draw_frame(void)
{
    view.first = face;
    view.second = face2;
    draw_clear();
    caption_begin();
    for (const char *c = "Exhibit 1"; *c; c++)
        glutBitmapCharacter(GLUT_BITMAP_HELVETICA_18, *c);
    caption_end();
    draw_faces(&view);
    glFlush();
    glutSwapBuffers();
}

/* An exhibit key: both faces read afresh, the old records freed. */
static void load_exhibit(const char *first, const char *second)
{
    FACE *old[2] = {face, face2};
    face = new_face(bench_line_file, first);
    face2 = new_face(bench_line_file, second);
    free(old[0]);
    free(old[1]);
}

static void BM_frame_both_faces(benchmark::State &state)
{
    view.shown[0] = view.shown[1] = 1;
    for (auto _ : state) {
        draw_frame();
        glFinish();
    }
    state.SetItemsProcessed(state.iterations());
}

static void BM_playback_c_180_frames(benchmark::State &state)
{
    view.shown[0] = view.shown[1] = 1;
    for (auto _ : state) {
        for (view.frame = 0; view.frame < face->nframes; view.frame++)
            draw_frame();
        view.frame = 0;
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * face->nframes);
}

static void BM_exhibit_key_F3(benchmark::State &state)
{
    for (auto _ : state) {
        load_exhibit("face-data/smnn.dat", "face-data/smll.dat");
        draw_frame();
        glFinish();
    }
}

BENCHMARK(BM_new_face)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_fscanf_baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_frame_both_faces)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_playback_c_180_frames)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_exhibit_key_F3)->Unit(benchmark::kMillisecond)->UseRealTime();

static bool first_frame_drawn = false;

static void draw_first_frame(void)
{
    draw_frame();
    first_frame_drawn = true;
}

/* The viewer's start-up, up to the first frame on screen, without its
 * endless event loop. */
static void start_viewer(int *argc, char **argv)
{
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(default_view_width, default_view_height);
    glutCreateWindow("Mienscope by Tarnwell - Average Smile");
    draw_gl_state();
    load_exhibit("face-data/sm1.dat", "face-data/sm2.dat");
    view.shown[0] = 1;
    view.zoom = 5.0f;
    glutReshapeFunc(draw_projection);
    glutDisplayFunc(draw_first_frame);
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

    const char *const exhibits[5][2] = {{"face-data/sm1.dat", "face-data/sm2.dat"}, {"face-data/smaa.dat", "face-data/sm2.dat"},
                                        {"face-data/smnn.dat", "face-data/smll.dat"}, {"face-data/smnn.dat", "face-data/smnl.dat"},
                                        {"face-data/smpcu.dat", "face-data/smpcd.dat"}};
    long before_keys_kib = resident_kib_self();
    for (int i = 0; i < 1000; i++) {
        load_exhibit(exhibits[i % 5][0], exhibits[i % 5][1]);
        draw_frame();
    }
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
