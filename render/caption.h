/* The caption without the toolkit's bitmap font (which needs a display):
 * a packaged font's glyphs rendered one bit a pixel by FreeType and drawn
 * with glBitmap at the current raster position, as a bitmap font is. */
#ifndef MIENSCOPE_CAPTION_H
#define MIENSCOPE_CAPTION_H

#include <stdint.h>

#include <string>
#include <vector>

struct CaptionFont;

/* The pixels the caption sets in a picture, as a one-bit mask. */
struct CaptionMask {
    int x = 0, y = 0;          /* its lower-left pixel, window pixels from the lower left of the picture */
    int width = 0, height = 0; /* 0 for an empty caption */
    std::vector<uint8_t> bits; /* rows from the bottom, (width + 7) / 8 bytes each, the first pixel the highest bit */
};

bool open_caption_font(CaptionFont **font, std::string *error); /* 18 pixels high, as the viewer's font */
void draw_caption_text(CaptionFont *font, const std::string &text); /* at the raster position, in the current colour */
/* The pixels draw_caption_text sets in a picture of this size, at the caption's place (0, 0.95). */
CaptionMask caption_mask(CaptionFont *font, const std::string &text, int width, int height);
void close_caption_font(CaptionFont *font);

#endif
