/* The importer's figures on a real capture, Vicon.c3d (51 points, 580
 * frames at 100 Hz, analog channels between frames): the whole import as
 * the program runs it, and the C3D reader's throughput. They need the
 * shared test recordings beside the checkout. */
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "c3d.h"
#include "detect.h"
#include "program.h"

static const std::string vicon = TESTDATA_DIR "/c3d/Vicon.c3d";
static const char *const missing = "no ../shared/testdata/c3d/Vicon.c3d beside this checkout";

/* Read, choose 24 markers with a set, fill gaps, resample, write. The
 * program's gap report goes to /dev/null. */
static void BM_import_vicon_end_to_end(benchmark::State &state)
{
    char folder[] = "/tmp/mienscope-bench-XXXXXX";
    if (access(vicon.c_str(), R_OK) != 0 || !mkdtemp(folder)) {
        state.SkipWithError(missing);
        return;
    }
    ImportRequest request;
    request.recording = vicon;
    request.options.markers = SOURCE_DIR "/tests/data/vicon24.set";
    request.output = std::string(folder) + "/sm1.dat";
    request.force = true;
    int saved = dup(2), null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    for (auto _ : state)
        if (import_recording(request) != EXIT_DONE)
            state.SkipWithError("the import failed");
    dup2(saved, 2);
    close(null);
    close(saved);
    unlink(request.output.c_str());
    rmdir(folder);
}
BENCHMARK(BM_import_vicon_end_to_end)->Unit(benchmark::kMillisecond);

static void BM_read_c3d_throughput(benchmark::State &state)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!read_input_file(vicon, &bytes, &error)) {
        state.SkipWithError(missing);
        return;
    }
    for (auto _ : state) {
        Recording rec;
        if (!read_c3d(bytes.data(), bytes.size(), &rec, &error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(rec.xyz.data());
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)bytes.size());
}
BENCHMARK(BM_read_c3d_throughput)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
