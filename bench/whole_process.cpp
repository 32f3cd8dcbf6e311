#include "whole_process.h"

#include <stdio.h>

#include <algorithm>

#include "testfiles.h"

double median_seconds(const std::string &binary, const std::vector<std::string> &args, const std::string &path,
                      int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; i++) {
        double start = now_seconds();
        ProgramRun run = run_program(binary, args, path, "", true);
        times.push_back(run.status == 0 ? now_seconds() - start : -1.0);
        if (run.status != 0)
            fprintf(stderr, "%s", run.err.c_str());
    }
    std::sort(times.begin(), times.end());
    return times[0] < 0 ? -1.0 : times[(size_t)runs / 2];
}
