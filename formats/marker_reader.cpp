/* The strict marker-file reader. The viewer reads a marker file
 * tolerantly (what it can't read becomes 0 and a warning); a measure taken
 * on such a 0 would be a wrong number, so here every problem is an error
 * that names the position it was met at. Numbers are taken in every form
 * the viewer's "%f" takes (signs, exponents, hexadecimal, inf and nan),
 * and must fit a float, as they must for the viewer. */
#include <float.h>
#include <math.h>
#include <stdlib.h>

#include <charconv>

#include "face_files.h"
#include "file_io.h"

/* No marker file comes near this; a larger one, or an endless stream, is
 * refused rather than read. */
static const size_t largest_marker_file = (size_t)64 << 20;

static bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

/* One whole token as a number: from_chars for the common plain decimals,
 * strtod (as "%f" reads) for the rest, such as "+1", "0x1p3" or "infinity". */
static bool token_number(const char *start, const char *end, double *value)
{
    std::from_chars_result r = std::from_chars(start, end, *value);
    if (r.ec == std::errc() && r.ptr == end)
        return true;
    std::string token(start, end);
    char *stop;
    *value = strtod(token.c_str(), &stop);
    return !token.empty() && stop == token.c_str() + token.size();
}

static std::string excerpt(const char *start, const char *end)
{
    std::string text(start, (size_t)(end - start) < 20 ? end : start + 20);
    for (char &c : text)
        if ((unsigned char)c < 0x21 || (unsigned char)c > 0x7e)
            c = '?';
    return text;
}

/* "position K (frame F, marker M)", counting from 0 as the viewer does. */
static std::string position_name(size_t number)
{
    return "position " + std::to_string(number) + " (frame " + std::to_string(number / FACE_MARKERS) + ", marker " +
           std::to_string(number % FACE_MARKERS) + ")";
}

bool parse_marker_text(const char *text, size_t size, FacePositions *xyz, std::string *what)
{
    const size_t wanted = (size_t)FACE_FRAMES * FACE_MARKERS * 3;
    const size_t positions = (size_t)FACE_FRAMES * FACE_MARKERS;
    xyz->assign(wanted, 0.0);
    const char *p = text, *end = text + size;
    for (size_t n = 0; n < wanted; n++) {
        while (p < end && is_blank(*p))
            p++;
        const char *start = p;
        while (p < end && !is_blank(*p))
            p++;
        double value;
        if (start == p) {
            *what = "ends after " + std::to_string(n / 3) + " of " + std::to_string(positions) + " marker positions";
            return false;
        }
        if (!token_number(start, p, &value)) {
            *what = "\"" + excerpt(start, p) + "\" in " + position_name(n / 3) + " is not a number";
            return false;
        }
        if (!(fabs(value) <= FLT_MAX)) {
            *what = "\"" + excerpt(start, p) + "\" in " + position_name(n / 3) + " is not a finite number a float holds";
            return false;
        }
        /* The file's triple is (-z, y, x). */
        size_t axis = 2 - n % 3;
        (*xyz)[n - n % 3 + axis] = axis == 2 ? -value : value;
    }
    return true;
}

bool read_marker_file(const std::string &path, FacePositions *xyz, std::string *error)
{
    std::vector<uint8_t> bytes;
    std::string what;
    if (!read_whole_file(path, largest_marker_file, "is over 64 MiB, far more than a marker file holds; refused", &bytes,
                         error))
        return false;
    if (parse_marker_text((const char *)bytes.data(), bytes.size(), xyz, &what))
        return true;
    *error = path + ": " + what;
    return false;
}
