/* TRC files (tab-separated marker trajectories), read from their bytes in memory. */
#ifndef MIENSCOPE_TRC_H
#define MIENSCOPE_TRC_H

#include "recording.h"

bool is_trc(const uint8_t *data, size_t size); /* first line starts with PathFileType */
bool read_trc(const uint8_t *data, size_t size, Recording *rec, std::string *error); /* false with error when it can't be used */

#endif
