/* C3D files from marker capture systems, read from their bytes in memory. */
#ifndef MIENSCOPE_C3D_H
#define MIENSCOPE_C3D_H

#include "recording.h"

bool is_c3d(const uint8_t *data, size_t size); /* second byte 0x50 and a known processor byte */
bool read_c3d(const uint8_t *data, size_t size, Recording *rec, std::string *error); /* false with error when it can't be used */

#endif
