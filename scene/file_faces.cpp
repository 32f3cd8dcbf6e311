#include "file_faces.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "file_io.h"
#include "tracker.h"

const char exhibit_line_file[] = "face-data/line.dat";

const char *const exhibit_marker_files[5][2] = {
    {"face-data/sm1.dat", "face-data/sm2.dat"},   {"face-data/smaa.dat", "face-data/sm2.dat"},
    {"face-data/smnn.dat", "face-data/smll.dat"}, {"face-data/smnn.dat", "face-data/smnl.dat"},
    {"face-data/smpcu.dat", "face-data/smpcd.dat"},
};

static void set_segments(FACE *face, const std::vector<std::array<int, 2>> &segments)
{
    face->nlines = 0;
    for (const auto &s : segments)
        if (face->nlines < FACE_SEGMENTS) {
            face->linemap[face->nlines][0] = s[0];
            face->linemap[face->nlines][1] = s[1];
            face->nlines++;
        }
}

/* --line-file when given; else the set's segments; else face-data/line.dat where it exists; else none. */
static void choose_segments(FACE *face, const FaceFileOptions &o, const MarkerSet &set)
{
    if (!o.line_file.empty())
        read_line_info(o.line_file.c_str(), face);
    else if (!set.markers.empty())
        set_segments(face, set.segments);
    else if (access(exhibit_line_file, R_OK) == 0)
        read_line_info(exhibit_line_file, face);
}

int load_file_face(const std::string &path, const FaceFileOptions &o, FACE **out, double *seconds, std::string *usage)
{
    Input input;
    MarkerSet given;
    std::string error;
    if (!load_marker_set(o.recording.markers, &given, &error))
        return unusable(error);
    std::vector<uint8_t> lines;
    if (!o.line_file.empty() && !read_whole_file(o.line_file, (size_t)64 << 20, "is over 64 MiB; no line file is",
                                                 &lines, &error))
        return unusable(error); /* the file the user named, said as the importer says it, before any window */
    int status = open_input(path, o.recording, given, LEAVE_MARKER_FILES, &input, &error);
    if (status == EXIT_USAGE)
        *usage = error;
    if (status != EXIT_DONE)
        return status == EXIT_USAGE ? status : unusable(error);
    const MarkerSet &set = input.kind == INPUT_RECORDING ? input.set : given;
    FACE *face = (FACE *)calloc(1, sizeof(FACE));
    if (!face)
        return unusable(path + ": no memory for a face record; stopping");
    face->nvertices = FACE_MARKERS;
    face->nframes = FACE_FRAMES;
    choose_segments(face, o, set);
    if (input.kind == INPUT_RECORDING)
        face_from_positions(face, input.positions.data(), path.c_str());
    else
        load_face_markers(path.c_str(), face);
    *seconds = input.kind == INPUT_RECORDING ? input.seconds : o.duration;
    *out = face;
    return EXIT_DONE;
}

void track_file_videos_ahead(const std::vector<std::string> &paths, const FaceFileOptions &options)
{
    track_videos_ahead(paths, options.recording.tracking);
}

std::string files_caption(const std::vector<std::string> &files)
{
    std::string caption;
    for (const std::string &file : files)
        caption += (caption.empty() ? "" : ", ") + base_name(file);
    return caption;
}
