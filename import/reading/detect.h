/* The entry to the reading layer: a recording file of any format. */
#ifndef MIENSCOPE_DETECT_H
#define MIENSCOPE_DETECT_H

#include "recording.h"

/* Any of the three formats, told by content; false with error set when none fits or the file can't be used. */
bool read_recording(const uint8_t *data, size_t size, const ReadOptions &options, Recording *rec, std::string *error);
bool is_recording(const uint8_t *data, size_t size); /* C3D, TRC or OpenFace CSV, by content */
/* A video container, by content: MP4, MOV and M4V (ISO boxes), Matroska and WebM, or AVI. */
bool is_video(const uint8_t *data, size_t size);
/* Whether the file at path is a recording or a video, by its first bytes; false when it can't be read. */
bool file_is_recording(const std::string &path);
bool file_is_video(const std::string &path); /* the same for a video alone */
/* A whole recording or set file into memory, up to 512 MiB; errors start with the path. */
bool read_input_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error);

#endif
