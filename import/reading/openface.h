/* OpenFace CSV files: 68 facial landmarks tracked in a video, read from their bytes in memory. */
#ifndef MIENSCOPE_OPENFACE_H
#define MIENSCOPE_OPENFACE_H

#include "recording.h"

bool is_openface(const uint8_t *data, size_t size); /* first line names the columns OpenFace writes */
/* options choose the face and the confidence below which a row's landmarks are missing. */
bool read_openface(const uint8_t *data, size_t size, const ReadOptions &options, Recording *rec, std::string *error);

#endif
