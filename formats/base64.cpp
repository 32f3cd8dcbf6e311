#include "base64.h"

std::string base64_text(const uint8_t *bytes, size_t size)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((size + 2) / 3 * 4);
    for (size_t i = 0; i < size; i += 3) {
        uint32_t group = (uint32_t)bytes[i] << 16 | (i + 1 < size ? (uint32_t)bytes[i + 1] << 8 : 0) |
                         (i + 2 < size ? bytes[i + 2] : 0);
        text += digits[group >> 18 & 63];
        text += digits[group >> 12 & 63];
        text += i + 1 < size ? digits[group >> 6 & 63] : '=';
        text += i + 2 < size ? digits[group & 63] : '=';
    }
    return text;
}
