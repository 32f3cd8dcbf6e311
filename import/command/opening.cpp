/* From a recording file to the viewer's positions, with the importer's
 * messages: what mienscope-import and every program that opens a
 * recording share. */
#include <stdio.h>

#include "detect.h"
#include "program.h"

/* The set from --markers, the one the format brings, or none (an empty set). */
static bool load_set(const OpenedRecording &opened, const RecordingOptions &o, MarkerSet *set, std::string *error)
{
    if (o.markers.empty()) {
        if (builtin_set(opened.rec.format, set))
            fprintf(stderr, "%s: no --markers given, so the %s was used\n", opened.path.c_str(), openface_set_name);
        return true;
    }
    std::vector<uint8_t> text;
    return read_input_file(o.markers, &text, error) &&
           parse_marker_set((const char *)text.data(), text.size(), o.markers, set, error);
}

static bool select_points(OpenedRecording *opened, const RecordingOptions &o, std::string *error)
{
    if (!load_set(*opened, o, &opened->set, error))
        return false;
    if (!opened->set.markers.empty())
        return select_by_set(opened->set, opened->rec, &opened->selection, error);
    if (select_in_file_order(opened->rec, &opened->selection, error))
        return true;
    *error = opened->path + ": " + *error;
    return false;
}

int read_recording_file(const std::string &path, const ReadOptions &options, Recording *rec)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!read_input_file(path, &bytes, &error))
        return unusable(error);
    if (!read_recording(bytes.data(), bytes.size(), options, rec, &error))
        return unusable(path + ": " + error);
    for (const std::string &w : rec->warnings)
        fprintf(stderr, "%s: %s\n", path.c_str(), w.c_str());
    return EXIT_DONE;
}

int open_recording(const std::string &path, const RecordingOptions &options, OpenedRecording *opened)
{
    std::string error;
    opened->path = path;
    int status = read_recording_file(path, options.read, &opened->rec);
    if (status != EXIT_DONE)
        return status;
    return select_points(opened, options, &error) ? EXIT_DONE : unusable(error);
}

int convert_opened(const OpenedRecording &opened, const RecordingOptions &options, Converted *converted,
                   std::string *usage)
{
    std::string error;
    ConvertResult result =
        convert_recording(opened.rec, opened.selection, opened.set.name, options.convert, converted, &error);
    for (const GapReport &gap : converted->gaps)
        fprintf(stderr, "%s: %s\n", opened.path.c_str(), gap_message(opened.rec, gap).c_str());
    switch (result) {
    case CONVERTED: return EXIT_DONE;
    case CONVERT_BAD_OPTIONS: *usage = error; return EXIT_USAGE;
    case CONVERT_BAD_RECORDING: return unusable(opened.path + ": " + error);
    case CONVERT_BAD_SET: return unusable(error);
    }
    return EXIT_UNUSABLE;
}
