#include <png.h>
#include <stdio.h>

#include "encode.h"

/* libpng's output into memory. */
static void append_bytes(png_structp png, png_bytep data, png_size_t size)
{
    std::vector<uint8_t> *bytes = (std::vector<uint8_t> *)png_get_io_ptr(png);
    bytes->insert(bytes->end(), data, data + size);
}

static void no_flush(png_structp) {}

bool png_bytes(const Picture &picture, std::vector<uint8_t> *bytes)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = info && setjmp(png_jmpbuf(png)) == 0;
    if (ok) {
        png_set_write_fn(png, bytes, append_bytes, no_flush);
        png_set_IHDR(png, info, (png_uint_32)picture.width, (png_uint_32)picture.height, 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        /* zlib's level 3 takes half the time of its default (6) for about a tenth more bytes on a video's
         * frame; a report holds dozens of these. */
        png_set_compression_level(png, 3);
        png_write_info(png, info);
        for (int y = 0; y < picture.height; y++)
            png_write_row(png, &picture.rgb[(size_t)y * picture.width * 3]);
        png_write_end(png, nullptr);
    }
    if (png)
        png_destroy_write_struct(&png, &info);
    return ok;
}

bool write_png_file(const Picture &picture, const std::string &path, std::string *error)
{
    std::vector<uint8_t> bytes;
    FILE *fp = fopen(path.c_str(), "wb");
    bool ok = fp && png_bytes(picture, &bytes) && fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    ok = fp && fclose(fp) == 0 && ok;
    if (!ok)
        *error = path + ": the PNG can't be written";
    return ok;
}
