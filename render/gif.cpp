/* Animated GIF through giflib: one global palette, a NETSCAPE2.0 block
 * that loops the animation for ever, and a graphic control block before
 * every frame with its delay in hundredths of a second. */
#include <gif_lib.h>

#include <vector>

#include "gif.h"

struct GifWriter {
    GifFileType *gif = nullptr;
    int width = 0, height = 0, delay = 0;
    std::string path;
};

/* A 6 x 6 x 6 colour cube: levels 0, 51, ..., 255 on each channel, so the
 * viewer's flat colours (black, white, green, red, blue) are exact. */
static const int levels = 6;

static ColorMapObject *colour_cube()
{
    ColorMapObject *map = GifMakeMapObject(256, nullptr);
    if (!map)
        return nullptr;
    for (int i = 0; i < 256; i++) {
        int r = i / 36, g = i / 6 % 6, b = i % 6;
        map->Colors[i] = i < levels * levels * levels ? GifColorType{(GifByteType)(r * 51), (GifByteType)(g * 51), (GifByteType)(b * 51)}
                                                      : GifColorType{0, 0, 0};
    }
    return map;
}

static bool failed(GifWriter *w, std::string *error)
{
    *error = w->path + ": the GIF can't be written";
    return false;
}

static bool put_loop_block(GifFileType *gif)
{
    static const GifByteType netscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType forever[] = {1, 0, 0};
    return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
           EGifPutExtensionBlock(gif, sizeof netscape, netscape) == GIF_OK &&
           EGifPutExtensionBlock(gif, sizeof forever, forever) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
}

bool gif_open(const std::string &path, int width, int height, int delay, GifWriter **out, std::string *error)
{
    GifWriter *w = new GifWriter;
    w->path = path;
    w->width = width;
    w->height = height;
    w->delay = delay;
    int code = 0;
    w->gif = EGifOpenFileName(path.c_str(), false, &code);
    ColorMapObject *map = w->gif ? colour_cube() : nullptr;
    bool ok = map != nullptr;
    if (ok) {
        EGifSetGifVersion(w->gif, true);
        ok = EGifPutScreenDesc(w->gif, width, height, 8, 0, map) == GIF_OK && put_loop_block(w->gif);
    }
    GifFreeMapObject(map);
    if (!ok) {
        failed(w, error);
        gif_finish(w, nullptr);
        return false;
    }
    *out = w;
    return true;
}

static GifByteType palette_index(const uint8_t *rgb)
{
    int r = (rgb[0] + 25) / 51, g = (rgb[1] + 25) / 51, b = (rgb[2] + 25) / 51;
    return (GifByteType)(r * 36 + g * 6 + b);
}

bool gif_add(GifWriter *w, const Picture &picture, std::string *error)
{
    GraphicsControlBlock control = {DISPOSAL_UNSPECIFIED, false, w->delay, NO_TRANSPARENT_COLOR};
    GifByteType extension[4];
    size_t length = EGifGCBToExtension(&control, extension);
    bool ok = EGifPutExtension(w->gif, GRAPHICS_EXT_FUNC_CODE, (int)length, extension) == GIF_OK &&
              EGifPutImageDesc(w->gif, 0, 0, w->width, w->height, false, nullptr) == GIF_OK;
    std::vector<GifByteType> row((size_t)w->width);
    for (int y = 0; y < w->height && ok; y++) {
        for (int x = 0; x < w->width; x++)
            row[(size_t)x] = palette_index(&picture.rgb[((size_t)y * w->width + x) * 3]);
        ok = EGifPutLine(w->gif, row.data(), w->width) == GIF_OK;
    }
    return ok || failed(w, error);
}

bool gif_finish(GifWriter *w, std::string *error)
{
    int code = 0;
    bool ok = !w->gif || EGifCloseFile(w->gif, &code) == GIF_OK;
    if (!ok && error)
        failed(w, error);
    delete w;
    return ok;
}
