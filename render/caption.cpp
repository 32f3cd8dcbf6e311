#include "caption.h"

#include <GL/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <math.h>

#include <algorithm>
#include <vector>

struct CaptionFont {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

/* DejaVu Sans, from Debian's fonts-dejavu-core. */
static const char caption_font_path[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
static const int caption_pixels = 18;

bool open_caption_font(CaptionFont **out, std::string *error)
{
    CaptionFont *font = new CaptionFont;
    if (FT_Init_FreeType(&font->library) != 0 || FT_New_Face(font->library, caption_font_path, 0, &font->face) != 0 ||
        FT_Set_Pixel_Sizes(font->face, 0, caption_pixels) != 0) {
        *error = std::string(caption_font_path) +
                 ": the caption's font can't be read (Debian: apt install fonts-dejavu-core); --no-caption leaves the caption out";
        close_caption_font(font);
        return false;
    }
    *out = font;
    return true;
}

/* glBitmap takes rows from the bottom up, each byte-aligned here. */
static void draw_glyph(const FT_GlyphSlot glyph)
{
    const FT_Bitmap &bitmap = glyph->bitmap;
    size_t row_bytes = (bitmap.width + 7) / 8;
    std::vector<GLubyte> rows(row_bytes * bitmap.rows + 1);
    for (unsigned r = 0; r < bitmap.rows; r++)
        for (size_t b = 0; b < row_bytes; b++)
            rows[(bitmap.rows - 1 - r) * row_bytes + b] = bitmap.buffer[(long)r * bitmap.pitch + (long)b];
    glBitmap((GLsizei)bitmap.width, (GLsizei)bitmap.rows, (GLfloat)-glyph->bitmap_left,
             (GLfloat)((int)bitmap.rows - glyph->bitmap_top), (GLfloat)(glyph->advance.x / 64.0), 0.0f, rows.data());
}

void draw_caption_text(CaptionFont *font, const std::string &text)
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (unsigned char c : text)
        if (FT_Load_Char(font->face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0 &&
            font->face->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
            draw_glyph(font->face->glyph);
}

/* Where glBitmap puts a glyph: its lower-left pixel floor(raster position
 * - origin), with the small epsilon Mesa adds so that a position a hair
 * below a whole pixel still lands on it. */
static int bitmap_corner(float raster, float origin)
{
    return (int)floorf(raster + 0.0001f - origin);
}

CaptionMask caption_mask(CaptionFont *font, const std::string &text, int width, int height)
{
    /* The raster position (0, 0.95) of the whole view in window pixels, as floats, as OpenGL keeps it. */
    float x = (0.0f + 1.0f) * 0.5f * (float)width, y = (0.95f + 1.0f) * 0.5f * (float)height;
    std::vector<std::pair<int, int>> set;
    for (unsigned char c : text) {
        if (FT_Load_Char(font->face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0 ||
            font->face->glyph->bitmap.pixel_mode != FT_PIXEL_MODE_MONO)
            continue;
        const FT_GlyphSlot glyph = font->face->glyph;
        const FT_Bitmap &bitmap = glyph->bitmap;
        int left = bitmap_corner(x, (float)-glyph->bitmap_left);
        int bottom = bitmap_corner(y, (float)((int)bitmap.rows - glyph->bitmap_top));
        for (unsigned r = 0; r < bitmap.rows; r++)
            for (unsigned i = 0; i < bitmap.width; i++)
                if (bitmap.buffer[(long)r * bitmap.pitch + i / 8] & (0x80 >> (i % 8)))
                    set.push_back({left + (int)i, bottom + (int)(bitmap.rows - 1 - r)});
        x += (float)(glyph->advance.x / 64.0);
    }
    CaptionMask mask;
    if (set.empty())
        return mask;
    int x0 = set[0].first, x1 = x0, y0 = set[0].second, y1 = y0;
    for (const auto &p : set) {
        x0 = std::min(x0, p.first), x1 = std::max(x1, p.first);
        y0 = std::min(y0, p.second), y1 = std::max(y1, p.second);
    }
    mask = {x0, y0, x1 - x0 + 1, y1 - y0 + 1, {}};
    size_t row_bytes = ((size_t)mask.width + 7) / 8;
    mask.bits.assign(row_bytes * (size_t)mask.height, 0);
    for (const auto &p : set)
        mask.bits[(size_t)(p.second - y0) * row_bytes + (size_t)(p.first - x0) / 8] |= (uint8_t)(0x80 >> ((p.first - x0) % 8));
    return mask;
}

void close_caption_font(CaptionFont *font)
{
    if (font->face)
        FT_Done_Face(font->face);
    if (font->library)
        FT_Done_FreeType(font->library);
    delete font;
}
