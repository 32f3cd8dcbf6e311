/* Telling the formats apart by content, and reading a file whole. */
#include "detect.h"

#include "c3d.h"
#include "file_io.h"
#include "openface.h"
#include "trc.h"

bool is_recording(const uint8_t *data, size_t size)
{
    return is_c3d(data, size) || is_trc(data, size) || is_openface(data, size);
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
