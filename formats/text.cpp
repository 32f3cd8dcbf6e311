#include "text.h"

#include <errno.h>
#include <getopt.h>
#include <math.h>
#include <stdlib.h>

std::vector<std::string> split_lines(const char *data, size_t size)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < size) {
        size_t end = start;
        while (end < size && data[end] != '\n')
            end++;
        size_t stop = end > start && data[end - 1] == '\r' ? end - 1 : end;
        lines.emplace_back(data + start, stop - start);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> split_on(const std::string &line, char separator)
{
    std::vector<std::string> cells;
    size_t start = 0;
    for (;;) {
        size_t end = line.find(separator, start);
        cells.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return cells;
        start = end + 1;
    }
}

static bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::vector<std::string> split_blanks(const std::string &line)
{
    std::vector<std::string> cells;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && is_blank(line[i]))
            i++;
        size_t start = i;
        while (i < line.size() && !is_blank(line[i]))
            i++;
        if (i > start)
            cells.push_back(line.substr(start, i - start));
    }
    return cells;
}

std::string trim(const std::string &text)
{
    size_t start = 0, end = text.size();
    while (start < end && is_blank(text[start]))
        start++;
    while (end > start && is_blank(text[end - 1]))
        end--;
    return text.substr(start, end - start);
}

std::string lower(const std::string &text)
{
    std::string out = text;
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return out;
}

std::string printable(const std::string &text)
{
    std::string out = text;
    for (char &c : out)
        if ((unsigned char)c < 0x20 || c == 0x7f)
            c = '?';
    return out;
}

bool parse_number(const std::string &cell, double *value)
{
    std::string text = trim(cell);
    if (text.empty())
        return false;
    char *end;
    double v = strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !isfinite(v))
        return false;
    *value = v;
    return true;
}

bool parse_integer(const std::string &cell, long *value)
{
    std::string text = trim(cell);
    if (text.empty())
        return false;
    char *end;
    errno = 0;
    long v = strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + text.size() || errno == ERANGE)
        return false;
    *value = v;
    return true;
}

bool read_options(int argc, char **argv, const struct option *options,
                  const std::function<bool(int, const char *)> &take, std::vector<std::string> *operands,
                  std::string *error)
{
    opterr = 0;
    optind = 1;
    int code;
    while ((code = getopt_long(argc, argv, "", options, nullptr)) != -1) {
        if (code == '?') {
            *error = std::string("\"") + printable(argv[optind - 1]) + "\" is not an option or lacks its value";
            return false;
        }
        if (!take(code, optarg))
            return false;
    }
    operands->assign(argv + optind, argv + argc);
    return true;
}

std::string count_of(size_t count, const char *one, const char *many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

bool ends_with(const std::string &text, const std::string &end)
{
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool contains_ignoring_case(const std::string &text, const std::string &part)
{
    return lower(text).find(lower(part)) != std::string::npos;
}
