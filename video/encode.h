/* Pictures to files: a PNG still (libpng) and an H.264 MP4 (FFmpeg's
 * libraries, libx264). Each writes the path it is given; the programs
 * write to a temporary name and put it in place only when complete. */
#ifndef MIENSCOPE_ENCODE_H
#define MIENSCOPE_ENCODE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "picture.h"

struct Mp4Writer;

bool png_bytes(const Picture &picture, std::vector<uint8_t> *bytes); /* the PNG in memory */
bool write_png_file(const Picture &picture, const std::string &path, std::string *error);
/* Even width and height; fps frames a second, carried as the nearest fraction with a denominator up to
 * 100000; frame k of mp4_add plays at k / fps. */
bool mp4_open(const std::string &path, int width, int height, double fps, Mp4Writer **out, std::string *error);
/* The same for frames that come at times of their own (mp4_add_at); fps is their average rate. */
bool mp4_open_timed(const std::string &path, int width, int height, double fps, Mp4Writer **out, std::string *error);
bool mp4_add(Mp4Writer *w, const Picture &picture, std::string *error);
/* A frame shown from seconds after the start, later than the frame before. */
bool mp4_add_at(Mp4Writer *w, const Picture &picture, double seconds, std::string *error);
bool mp4_finish(Mp4Writer *w, std::string *error); /* flushes the encoder, writes the trailer, frees w */
Picture padded_to_even(const Picture &picture); /* a black column or row more where a side is odd, for H.264 */

#endif
