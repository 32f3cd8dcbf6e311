/* Telling the formats apart by content, and reading a file whole. */
#include "detect.h"

#include <stdio.h>
#include <string.h>

#include "c3d.h"
#include "file_io.h"
#include "openface.h"
#include "trc.h"

bool is_recording(const uint8_t *data, size_t size)
{
    return is_c3d(data, size) || is_trc(data, size) || is_openface(data, size);
}

/* ISO base media (MP4, MOV, M4V, 3GP): a box of 8 or more bytes, or 1 for a 64-bit size, whose type
 * is one that opens such a file; QuickTime files written before "ftyp" existed open with the others. */
static bool is_iso_media(const uint8_t *data, size_t size)
{
    static const char *const first_boxes[] = {"ftyp", "moov", "mdat", "wide", "free", "pnot"};
    if (size < 12)
        return false;
    uint32_t box = (uint32_t)data[0] << 24 | (uint32_t)data[1] << 16 | (uint32_t)data[2] << 8 | data[3];
    for (const char *type : first_boxes)
        if (memcmp(data + 4, type, 4) == 0 && (box == 1 || box >= 8))
            return true;
    return false;
}

bool is_video(const uint8_t *data, size_t size)
{
    static const uint8_t ebml[4] = {0x1a, 0x45, 0xdf, 0xa3}; /* Matroska and WebM */
    return is_iso_media(data, size) || (size >= 4 && memcmp(data, ebml, 4) == 0) ||
           (size >= 12 && memcmp(data, "RIFF", 4) == 0 && memcmp(data + 8, "AVI ", 4) == 0);
}

/* A C3D file's parameter section starts within its first 255 blocks of 512 bytes, and the other formats
 * are told by their first line or bytes: this much of a file's start tells them all. */
enum { RECORDING_START_BYTES = 256 * 512 };

bool file_is_recording(const std::string &path)
{
    FILE *fp = fopen(path.c_str(), "rb");
    if (!fp)
        return false;
    std::vector<uint8_t> start(RECORDING_START_BYTES);
    size_t got = fread(start.data(), 1, start.size(), fp);
    fclose(fp);
    return is_recording(start.data(), got) || is_video(start.data(), got);
}

bool file_is_video(const std::string &path)
{
    uint8_t start[12];
    FILE *fp = fopen(path.c_str(), "rb");
    if (!fp)
        return false;
    size_t got = fread(start, 1, sizeof start, fp);
    fclose(fp);
    return is_video(start, got);
}

bool read_recording(const uint8_t *data, size_t size, const ReadOptions &options, Recording *rec, std::string *error)
{
    if (is_c3d(data, size))
        return read_c3d(data, size, rec, error);
    if (is_trc(data, size))
        return read_trc(data, size, rec, error);
    if (is_openface(data, size))
        return read_openface(data, size, options, rec, error);
    *error = "not a C3D, TRC or OpenFace CSV recording";
    return false;
}

/* No recording is this large; a larger file, or an endless one, is refused
 * rather than read into memory. */
bool read_input_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error)
{
    return read_whole_file(path, (size_t)512 << 20, "is over 512 MiB; no recording is", bytes, error);
}
