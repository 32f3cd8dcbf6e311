/* A picture in memory, as the programs draw, decode and encode them. */
#ifndef MIENSCOPE_PICTURE_H
#define MIENSCOPE_PICTURE_H

#include <stdint.h>

#include <vector>

/* 8-bit RGB, rows from the top, no padding. */
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

#endif
