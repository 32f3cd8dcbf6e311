/* mienscope-import after its command line: the recording's listing, or
 * its marker file and line file. */
#include <stdio.h>

#include "file_io.h"
#include "program.h"

static int list_recording(const ImportRequest &r)
{
    Recording rec;
    std::string error;
    if (read_recording_file(r.recording, r.options, &rec, &error) != EXIT_DONE)
        return unusable(error);
    fputs(recording_listing(rec).c_str(), stdout);
    return EXIT_DONE;
}

static int write_files(const ImportRequest &r, const OutputGuard &guard, const OpenedRecording &opened,
                       const Converted &converted)
{
    std::vector<OutputFile> files = {{r.output, marker_file_text(converted.positions)}};
    if (!r.line_file.empty())
        files.push_back({r.line_file, line_file_text(opened.selection.segments)});
    std::string error;
    return write_all_or_none(files, guard, &error) ? EXIT_DONE : unusable(error);
}

/* The recording and the set are never written over, whatever OUTPUT or the line file is called. */
static OutputGuard import_guard(const ImportRequest &r)
{
    OutputGuard guard = output_guard(r.force, "a marker file");
    guard_input(&guard, r.recording, "recording");
    if (!r.options.markers.empty())
        guard_input(&guard, r.options.markers, "marker set");
    return guard;
}

int import_recording(const ImportRequest &r)
{
    if (r.list)
        return list_recording(r);
    std::string error;
    OutputGuard guard = import_guard(r);
    if (!check_output(r.output, guard, &error) || (!r.line_file.empty() && !check_output(r.line_file, guard, &error)))
        return unusable(error);
    OpenedRecording opened;
    if (open_recording(r.recording, r.options, &opened, &error) != EXIT_DONE)
        return unusable(error);
    if (!r.line_file.empty() && opened.set.markers.empty())
        return usage_error("--line-file needs --markers: without a set there are no segments to write");
    Converted converted;
    switch (convert_opened(opened, r.options, &converted, &error)) {
    case EXIT_DONE: return write_files(r, guard, opened, converted);
    case EXIT_USAGE: return usage_error(error);
    default: return unusable(error);
    }
}
