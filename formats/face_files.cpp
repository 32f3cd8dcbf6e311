#include "face_files.h"

#include <float.h>
#include <math.h>

#include <charconv>

bool positions_fit_marker_file(const FacePositions &xyz)
{
    for (double v : xyz)
        if (!(fabs(v) <= FLT_MAX))
            return false;
    return true;
}

/* "%.4f" and a separator; to_chars rounds as printf does, several times
 * faster. Adding 0.0 writes a zero as 0.0000, never -0.0000. */
static void append_fixed(std::string *text, double value, char separator)
{
    char number[400];
    std::to_chars_result end = std::to_chars(number, number + sizeof number, value + 0.0, std::chars_format::fixed, 4);
    text->append(number, end.ptr);
    text->push_back(separator);
}

std::string marker_file_text(const FacePositions &xyz)
{
    std::string text;
    text.reserve(xyz.size() / 3 * 40);
    for (size_t p = 0; p + 2 < xyz.size(); p += 3) {
        append_fixed(&text, -xyz[p + 2], ' ');
        append_fixed(&text, xyz[p + 1], ' ');
        append_fixed(&text, xyz[p], '\n');
    }
    return text;
}

std::string line_file_text(const std::vector<std::array<int, 2>> &segments)
{
    std::string text = std::to_string(segments.size()) + "\n";
    for (const auto &s : segments)
        text += std::to_string(s[0]) + " " + std::to_string(s[1]) + "\n";
    return text;
}
