#include "mp4_comment.h"

#include <stdio.h>
#include <string.h>

#include <vector>

const char mienscope_video_comment[] = "made by Mienscope";

/* No moov box of a face video is near this size; a larger one is not read into memory. */
static const uint64_t largest_moov = (uint64_t)64 << 20;

static uint64_t big_endian(const uint8_t *p, int bytes)
{
    uint64_t value = 0;
    for (int i = 0; i < bytes; i++)
        value = value << 8 | p[i];
    return value;
}

/* A box's header at data[0..size): its type, and where its contents start and end; a size of 0 runs to
 * the end of what holds it, 1 means a 64-bit size follows. False when the header or the box does not fit. */
static bool box_at(const uint8_t *data, uint64_t size, uint64_t *header, uint64_t *length)
{
    if (size < 8)
        return false;
    *length = big_endian(data, 4);
    *header = 8;
    if (*length == 1) {
        if (size < 16)
            return false;
        *length = big_endian(data + 8, 8);
        *header = 16;
    } else if (*length == 0)
        *length = size;
    return *length >= *header && *length <= size;
}

/* The contents of the first child of this type among the boxes in data[0..size). */
static bool child(const uint8_t *data, uint64_t size, const char *type, const uint8_t **inside, uint64_t *inside_size)
{
    for (uint64_t at = 0, header, length; at < size; at += length) {
        if (!box_at(data + at, size - at, &header, &length))
            return false;
        if (memcmp(data + at + 4, type, 4) == 0) {
            *inside = data + at + header;
            *inside_size = length - header;
            return true;
        }
    }
    return false;
}

bool moov_comment(const uint8_t *moov, size_t size, std::string *comment)
{
    const uint8_t *at = moov;
    uint64_t left = size;
    /* meta is a full box: 4 bytes of version and flags before its children; data has 4 bytes of type and
     * 4 of locale before the text. */
    if (!child(at, left, "moov", &at, &left) || !child(at, left, "udta", &at, &left) ||
        !child(at, left, "meta", &at, &left) || left < 4 || !child(at + 4, left - 4, "ilst", &at, &left) ||
        !child(at, left, "\xa9" "cmt", &at, &left) || !child(at, left, "data", &at, &left) || left < 8)
        return false;
    comment->assign((const char *)at + 8, (size_t)(left - 8));
    return true;
}

/* The top-level box at offset: false at the end of the file or where its header can't be read. */
static bool next_box(FILE *fp, uint64_t offset, uint64_t file_size, uint8_t head[16], uint64_t *header, uint64_t *length)
{
    size_t want = (size_t)(file_size - offset < 16 ? file_size - offset : 16);
    return fseeko(fp, (off_t)offset, SEEK_SET) == 0 && fread(head, 1, want, fp) == want &&
           box_at(head, file_size - offset, header, length);
}

static bool comment_of_open_file(FILE *fp, std::string *comment)
{
    if (fseeko(fp, 0, SEEK_END) != 0)
        return false;
    uint64_t file_size = (uint64_t)ftello(fp), header, length;
    uint8_t head[16];
    for (uint64_t at = 0; at < file_size && next_box(fp, at, file_size, head, &header, &length); at += length) {
        if (memcmp(head + 4, "moov", 4) != 0)
            continue;
        if (length > largest_moov)
            return false;
        std::vector<uint8_t> moov((size_t)length);
        return fseeko(fp, (off_t)at, SEEK_SET) == 0 && fread(moov.data(), 1, moov.size(), fp) == moov.size() &&
               moov_comment(moov.data(), moov.size(), comment);
    }
    return false;
}

bool mp4_file_comment(const std::string &path, std::string *comment)
{
    FILE *fp = fopen(path.c_str(), "rb");
    if (!fp)
        return false;
    bool found = comment_of_open_file(fp, comment);
    fclose(fp);
    return found;
}
