/* The caption without the toolkit's bitmap font (which needs a display):
 * a packaged font's glyphs rendered one bit a pixel by FreeType and drawn
 * with glBitmap at the current raster position, as a bitmap font is. */
#ifndef MIENSCOPE_CAPTION_H
#define MIENSCOPE_CAPTION_H

#include <string>

struct CaptionFont;

bool open_caption_font(CaptionFont **font, std::string *error); /* 18 pixels high, as the viewer's font */
void draw_caption_text(CaptionFont *font, const std::string &text); /* at the raster position, in the current colour */
void close_caption_font(CaptionFont *font);

#endif
