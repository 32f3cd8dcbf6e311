/* Telling the formats apart by content, and reading a file whole. */
#include "detect.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "c3d.h"
#include "openface.h"
#include "trc.h"

/* No recording is this large; a larger file, or an endless one, is refused
 * rather than read into memory. */
static const size_t largest_file = (size_t)512 << 20;

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

bool read_whole_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error)
{
    FILE *fp = fopen(path.c_str(), "rb");
    struct stat st;
    if (!fp || fstat(fileno(fp), &st) != 0 || S_ISDIR(st.st_mode)) {
        *error = path + ": can't be read: " + (fp ? "it is a folder" : strerror(errno));
        if (fp)
            fclose(fp);
        return false;
    }
    if (S_ISREG(st.st_mode) && (size_t)st.st_size <= largest_file)
        bytes->reserve((size_t)st.st_size);
    uint8_t chunk[65536];
    size_t got;
    while (bytes->size() <= largest_file && (got = fread(chunk, 1, sizeof chunk, fp)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + got);
    bool failed = ferror(fp);
    fclose(fp);
    if (failed || bytes->size() > largest_file) {
        *error = path + (failed ? ": can't be read: " + std::string(strerror(errno)) : ": is over 512 MiB; no recording is");
        return false;
    }
    return true;
}
