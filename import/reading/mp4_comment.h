/* The comment an MP4 file carries (moov/udta/meta/ilst/"\xa9cmt"/data, as
 * FFmpeg's MP4 writer stores the "comment" tag), read without FFmpeg so
 * that every program, the viewer's importer among them, can tell a video
 * Mienscope made from one it must never replace. */
#ifndef MIENSCOPE_MP4_COMMENT_H
#define MIENSCOPE_MP4_COMMENT_H

#include <stddef.h>
#include <stdint.h>

#include <string>

extern const char mienscope_video_comment[]; /* the comment every MP4 of Mienscope carries */
/* The comment in an ISO media file's moov box, given the box's bytes (its header included); false when
 * it has none or the boxes don't fit in the bytes. */
bool moov_comment(const uint8_t *moov, size_t size, std::string *comment);
/* The file's comment: its top-level boxes walked by their headers to moov (of at most 64 MiB), read and
 * searched; false when the file can't be read, is no ISO media file or has no comment. */
bool mp4_file_comment(const std::string &path, std::string *comment);

#endif
