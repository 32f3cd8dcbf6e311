/* Pictures to files: a PNG still (libpng), an H.264 MP4 (FFmpeg's
 * libraries, libx264) and a looping GIF (giflib). Each writes the path
 * it is given; the program writes to a temporary name and puts it in
 * place only when complete. */
#ifndef MIENSCOPE_ENCODE_H
#define MIENSCOPE_ENCODE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "offscreen.h"

struct Mp4Writer;
struct GifWriter;

bool png_bytes(const Picture &picture, std::vector<uint8_t> *bytes); /* the PNG in memory */
bool write_png_file(const Picture &picture, const std::string &path, std::string *error);
/* Even width and height; fps frames a second, carried as the nearest fraction with a denominator up to 100000. */
bool mp4_open(const std::string &path, int width, int height, double fps, Mp4Writer **out, std::string *error);
bool mp4_add(Mp4Writer *w, const Picture &picture, std::string *error);
bool mp4_finish(Mp4Writer *w, std::string *error); /* flushes the encoder, writes the trailer, frees w */
extern const char mienscope_video_comment[]; /* the comment every MP4 of Mienscope carries */
bool made_by_mienscope(const std::string &path); /* a video whose comment is that one */
/* Each frame lasts delay hundredths of a second; the animation loops. */
bool gif_open(const std::string &path, int width, int height, int delay, GifWriter **out, std::string *error);
bool gif_add(GifWriter *w, const Picture &picture, std::string *error);
bool gif_finish(GifWriter *w, std::string *error); /* closes the file, frees w */

#endif
