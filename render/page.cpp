#include "page.h"

#include <stdio.h>

#include "base64.h"
#include "file_io.h"

std::string html_text(const std::string &text)
{
    std::string out;
    for (char c : text)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : std::string(1, c);
    return out;
}

/* A string as a script literal that can't end the script element it stands in. */
static std::string script_string(const std::string &text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        char escaped[8];
        if (c == '"' || c == '\\')
            out += std::string("\\") + (char)c;
        else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else
            out += (char)c;
    }
    return out + "\"";
}

static std::string number(double value)
{
    char text[32];
    snprintf(text, sizeof text, "%.9g", value);
    return text;
}

/* The written frames' positions as 16-bit whole numbers of 1/scale each:
 * 0.00005 of the face's size at most off, a hundredth of a pixel, at a
 * quarter of the space that decimals take. */
static std::string face_data(const FACE *face, int first, int last)
{
    double largest = 1e-6;
    for (int f = first; f <= last; f++)
        for (int m = 0; m < FACE_MARKERS; m++)
            for (int a = 0; a < 3; a++)
                largest = std::max(largest, (double)fabsf(face->ff[f][m][a]));
    double scale = 32767.0 / largest;
    std::vector<uint8_t> bytes;
    for (int f = first; f <= last; f++)
        for (int m = 0; m < FACE_MARKERS; m++)
            for (int a = 0; a < 3; a++) {
                long whole = lround(face->ff[f][m][a] * scale);
                bytes.push_back((uint8_t)(whole & 0xff));
                bytes.push_back((uint8_t)((whole >> 8) & 0xff));
            }
    std::string lines;
    for (int i = 0; i < face->nlines; i++)
        lines += (i ? ",[" : "[") + std::to_string(face->linemap[i][0]) + "," + std::to_string(face->linemap[i][1]) + "]";
    return "{\"scale\":" + number(scale) + ",\"positions\":\"" + base64_text(bytes.data(), bytes.size()) +
           "\",\"lines\":[" + lines + "]}";
}

static std::string caption_data(const CaptionMask &c)
{
    if (c.width == 0)
        return "null";
    return "{\"x\":" + std::to_string(c.x) + ",\"y\":" + std::to_string(c.y) + ",\"width\":" + std::to_string(c.width) +
           ",\"height\":" + std::to_string(c.height) + ",\"bits\":\"" + base64_text(c.bits.data(), c.bits.size()) + "\"}";
}

std::string page_view_data(const PageData &p, bool fragment)
{
    std::string faces;
    for (const FACE *face : p.faces)
        faces += (faces.empty() ? "" : ",") + face_data(face, p.first, p.last);
    return "{\"width\":" + std::to_string(p.width) + ",\"height\":" + std::to_string(p.height) +
           ",\"names\":" + script_string(p.names) + ",\"seconds\":" + (isnan(p.seconds) ? "null" : number(p.seconds)) +
           ",\"first\":" + std::to_string(p.first) + ",\"last\":" + std::to_string(p.last) + ",\"faces\":[" + faces +
           "],\"caption\":" + caption_data(p.caption) + ",\"start\":{\"frame\":" + std::to_string(p.frame) +
           ",\"turnX\":" + number(p.turn_x) + ",\"turnY\":" + number(p.turn_y) + ",\"distance\":" + number(p.distance) +
           ",\"faces\":" + script_string(p.faces_shown) + "},\"fragment\":" + (fragment ? "true" : "false") + "}";
}

static const char page_style[] = R"css(
body { background: #1c1c1c; color: #e6e6e6; font: 15px/1.45 sans-serif; margin: 16px; }
.keys { color: #b4b4b4; font-size: 13px; max-width: 640px; }
kbd { border: 1px solid #666; border-radius: 3px; padding: 0 4px; font: 12px monospace; }
)css";

static const char page_keys[] =
    "<p class=\"keys\">Turn with the arrow keys or by dragging; <kbd>&lt;</kbd> and <kbd>&gt;</kbd> move the camera "
    "away and nearer; <kbd>a</kbd>, <kbd>b</kbd> and <kbd>c</kbd> play the first (green), the second (red) or both "
    "faces; <kbd>space</kbd> pauses and resumes; <kbd>,</kbd> and <kbd>.</kbd> step a frame; <kbd>Home</kbd> and "
    "<kbd>End</kbd> go to the first and last frame. The address keeps the view, so a copied link shows it.</p>\n";

std::string page_document(const PageData &p)
{
    return std::string("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>") +
           html_text(p.names) + " - Mienscope</title>\n<style>" + page_style + page_view_style +
           "</style>\n</head>\n<body>\n<div class=\"mienscope-view\" id=\"view\"></div>\n" + page_keys + "<script>\n" +
           page_view_script + "\nmienscopeView(document.getElementById('view'), " + page_view_data(p, true) +
           ");\n</script>\n</body>\n</html>\n";
}
