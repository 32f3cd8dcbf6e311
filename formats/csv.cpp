#include "csv.h"

#include <math.h>

#include <charconv>

std::string csv_field(const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

/* to_chars rounds as printf's %.Nf does, and is several times faster. */
void append_decimal(std::string *row, double value, int decimals)
{
    row->push_back(',');
    if (isnan(value))
        return;
    char number[400];
    std::to_chars_result end = std::to_chars(number, number + sizeof number, value, std::chars_format::fixed, decimals);
    row->append(number, end.ptr);
}

void append_integer(std::string *row, long value)
{
    *row += "," + std::to_string(value);
}

void append_frame(std::string *row, long frame)
{
    if (frame >= 0)
        append_integer(row, frame);
    else
        row->push_back(',');
}
