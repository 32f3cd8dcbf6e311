/* OpenFace CSV files: 68 facial landmarks tracked in a video, read from their bytes in memory. */
#ifndef MIENSCOPE_OPENFACE_H
#define MIENSCOPE_OPENFACE_H

#include "recording.h"

bool is_openface(const uint8_t *data, size_t size); /* first line names the columns OpenFace writes */
/* What read_openface reads besides, when asked: each kept row's landmarks in the picture. */
struct OpenFaceImage {
    std::vector<uint8_t> found; /* a row: 1 where its landmarks are trusted, as in the Recording */
    std::vector<double> xy;     /* [row][landmark][x, y]: x_0..x_67, y_0..y_67 in pixels; 0 where not found */
};
/* options choose the face and the confidence below which a row's landmarks are missing; with image, a row
 * without the pixel columns' numbers is malformed. */
bool read_openface(const uint8_t *data, size_t size, const ReadOptions &options, Recording *rec, std::string *error,
                   OpenFaceImage *image = nullptr);

/* The first line of the table mienscope-track writes: OpenFace's columns ", " apart (frame, face_id,
 * timestamp, confidence, success, x_0..y_67 in pixels, X_0..Z_67 in mm) and a last one, mienscope_track. */
std::string tracker_table_header(void);
bool is_tracker_table(const std::string &path); /* a file whose first line is that header */

#endif
