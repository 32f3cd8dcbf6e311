/* From a file to the viewer's positions, with the importer's messages:
 * what mienscope-import and every program that opens a recording or a
 * marker file share. Errors come back as text, for the caller to print
 * as it is or after a prefix of its own; warnings go to standard error. */
#include <stdio.h>
#include <string.h>

#include "detect.h"
#include "mp4_comment.h"
#include "openface.h"
#include "opening.h"
#include "tracker.h"

bool is_never_replaced(const std::string &path)
{
    std::string comment;
    return file_is_recording(path) && !is_tracker_table(path) &&
           !(mp4_file_comment(path, &comment) && comment == mienscope_video_comment);
}

OutputGuard output_guard(bool force, const std::string &writes)
{
    OutputGuard guard;
    guard.force = force;
    guard.is_kept = is_never_replaced;
    guard.kept = "a recording";
    guard.writes = writes;
    return guard;
}

bool load_marker_set(const std::string &path, MarkerSet *set, std::string *error)
{
    *set = MarkerSet();
    if (path.empty())
        return true;
    std::vector<uint8_t> text;
    return read_input_file(path, &text, error) &&
           parse_marker_set((const char *)text.data(), text.size(), path, set, error);
}

/* The recording's bytes as a record; its warnings on standard error. */
static int read_recording_bytes(const std::string &path, const std::vector<uint8_t> &bytes, const ReadOptions &options,
                                Recording *rec, std::string *error)
{
    if (!read_recording(bytes.data(), bytes.size(), options, rec, error)) {
        *error = path + ": " + *error;
        return EXIT_UNUSABLE;
    }
    for (const std::string &w : rec->warnings)
        fprintf(stderr, "%s: %s\n", path.c_str(), w.c_str());
    return EXIT_DONE;
}

/* The file's bytes, or for a video the table mienscope-track makes of it. */
static int recording_bytes(const std::string &path, const TrackingOptions &tracking, std::vector<uint8_t> *bytes,
                           bool *video, std::string *error)
{
    *video = file_is_video(path);
    if (*video)
        return track_video_file(path, tracking, bytes, error);
    return read_input_file(path, bytes, error) ? EXIT_DONE : EXIT_UNUSABLE;
}

int read_recording_file(const std::string &path, const RecordingOptions &options, Recording *rec, std::string *error)
{
    std::vector<uint8_t> bytes;
    bool video;
    int status = recording_bytes(path, options.tracking, &bytes, &video, error);
    return status == EXIT_DONE ? read_recording_bytes(path, bytes, options.read, rec, error) : status;
}

/* The points of the given set (--markers), else of the set the format
 * brings, else the recording's 24 markers in file order. */
static int choose_points(OpenedRecording *opened, const MarkerSet &given, std::string *error)
{
    opened->set = given;
    if (given.markers.empty() && builtin_set(opened->rec.format, &opened->set))
        fprintf(stderr, "%s: no --markers given, so the %s was used\n", opened->path.c_str(), openface_set_name);
    if (!opened->set.markers.empty())
        return select_by_set(opened->set, opened->rec, &opened->selection, error) ? EXIT_DONE : EXIT_UNUSABLE;
    if (select_in_file_order(opened->rec, &opened->selection, error))
        return EXIT_DONE;
    *error = opened->path + ": " + *error;
    return EXIT_UNUSABLE;
}

int open_recording(const std::string &path, const RecordingOptions &options, OpenedRecording *opened, std::string *error)
{
    MarkerSet given;
    opened->path = path;
    int status = read_recording_file(path, options, &opened->rec, error);
    if (status != EXIT_DONE)
        return status;
    return load_marker_set(options.markers, &given, error) ? choose_points(opened, given, error) : EXIT_UNUSABLE;
}

int convert_opened(const OpenedRecording &opened, const RecordingOptions &options, Converted *converted,
                   std::string *error)
{
    ConvertResult result =
        convert_recording(opened.rec, opened.selection, opened.set.name, options.convert, converted, error);
    for (const std::string &line : gap_messages(opened.rec, converted->gaps))
        fprintf(stderr, "%s: %s\n", opened.path.c_str(), line.c_str());
    switch (result) {
    case CONVERTED: return EXIT_DONE;
    case CONVERT_BAD_OPTIONS: return EXIT_USAGE;
    case CONVERT_BAD_RECORDING: *error = opened.path + ": " + *error; return EXIT_UNUSABLE;
    case CONVERT_BAD_SET: return EXIT_UNUSABLE;
    }
    return EXIT_UNUSABLE;
}

/* A message that names only the marker set, with the recording's name in
 * front, so that the user of many recordings knows which one the set did
 * not fit; one that names the recording already stays as it is. */
static void name_the_recording(const std::string &path, std::string *error)
{
    if (error->compare(0, path.size() + 2, path + ": ") != 0)
        *error = path + ": " + *error;
}

/* An OpenFace table's 68 landmarks (its points 0 to 67, as its reader gives them), converted as its
 * markers were: the same span, the same rigid points holding the head, the same frames and axes. Left
 * empty for another format, or where they can't be (their gaps are the markers' own, and said). */
static void convert_landmarks(const OpenedRecording &opened, const RecordingOptions &options, Input *input)
{
    if (opened.rec.format != FORMAT_OPENFACE || opened.rec.points.size() < FACE_LANDMARKS)
        return;
    Selection landmarks;
    for (size_t i = 0; i < FACE_LANDMARKS; i++)
        landmarks.markers.push_back(i);
    landmarks.rigid = opened.selection.rigid;
    Converted converted;
    std::string error;
    if (convert_recording(opened.rec, landmarks, opened.set.name, options.convert, &converted, &error) == CONVERTED)
        input->landmarks = std::move(converted.positions);
}

/* A recording's bytes read, its points chosen and converted. */
static int open_recording_input(const std::vector<uint8_t> &bytes, const RecordingOptions &options,
                                const MarkerSet &given, Input *input, std::string *error)
{
    OpenedRecording opened;
    Converted converted;
    opened.path = input->name;
    int status = read_recording_bytes(input->name, bytes, options.read, &opened.rec, error);
    if (status == EXIT_DONE)
        status = choose_points(&opened, given, error);
    if (status == EXIT_DONE)
        status = convert_opened(opened, options, &converted, error);
    if (status == EXIT_UNUSABLE)
        name_the_recording(input->name, error);
    if (status != EXIT_DONE)
        return status;
    input->kind = INPUT_RECORDING;
    input->format = opened.rec.format;
    input->frames = opened.rec.frames;
    input->positions = std::move(converted.positions);
    input->seconds = converted.seconds;
    input->from = converted.from;
    input->set = opened.set;
    convert_landmarks(opened, options, input);
    return EXIT_DONE;
}

int open_input(const std::string &path, const RecordingOptions &options, const MarkerSet &given,
               MarkerFileReading reading, Input *input, std::string *error)
{
    std::vector<uint8_t> bytes;
    *input = Input();
    input->name = path;
    bool video;
    int status = recording_bytes(path, options.tracking, &bytes, &video, error);
    if (status != EXIT_DONE)
        return status;
    input->video = video;
    if (video || is_recording(bytes.data(), bytes.size()))
        return open_recording_input(bytes, options, given, input, error);
    if (memchr(bytes.data(), 0, bytes.size())) {
        *error = path + ": not a recording (C3D, TRC, OpenFace CSV) nor a marker file";
        return EXIT_UNUSABLE;
    }
    input->kind = INPUT_MARKER_FILE;
    if (reading == LEAVE_MARKER_FILES || parse_marker_text((const char *)bytes.data(), bytes.size(), &input->positions, error))
        return EXIT_DONE;
    *error = path + ": " + *error;
    return EXIT_UNUSABLE;
}
