/* Videos for the tracker's tests: the shared test videos, and videos made
 * from them with FFmpeg's own command line (moved, turned, zoomed,
 * mirrored, covered, stored turned with a display rotation), and the
 * OpenFace tables the tracker writes, read by their columns' names. */
#ifndef MIENSCOPE_TEST_VIDEOS_H
#define MIENSCOPE_TEST_VIDEOS_H

#include <map>
#include <string>
#include <vector>

/* A table's rows, each field by its column's name, its values as written. */
struct FaceTable {
    std::vector<std::string> columns;
    std::vector<std::map<std::string, std::string>> rows;
};

FaceTable face_table(const std::string &csv);                 /* fields separated by ", " */
double number(const std::map<std::string, std::string> &row, const std::string &column);
/* The distance between landmarks a and b in a row: "X"/"Y" millimetres, or "x"/"y" pixels. */
double landmark_distance(const std::map<std::string, std::string> &row, int a, int b, char axis = 'X');
/* The mean of that distance over rows first .. last - 1. */
double mean_distance(const FaceTable &table, size_t first, size_t last, int a, int b, char axis = 'X');
/* Runs ffmpeg with these arguments (quiet, replacing its output); false with its messages on failure. */
bool ffmpeg(const std::vector<std::string> &args, std::string *messages);
/* single_face.mp4 made into a new video in folder by FFmpeg's filters (no sound); "" when ffmpeg fails. */
std::string filtered_video(const std::string &folder, const std::string &name, const std::string &filters);
/* The video's first frame in grey as FFmpeg's command line decodes it (turned upright by default). */
std::vector<unsigned char> ffmpeg_gray_frame(const std::string &video, int *width, int *height);

#endif
