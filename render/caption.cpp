#include "caption.h"

#include <GL/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H

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

void close_caption_font(CaptionFont *font)
{
    if (font->face)
        FT_Done_Face(font->face);
    if (font->library)
        FT_Done_FreeType(font->library);
    delete font;
}
