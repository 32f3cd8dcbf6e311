/* The helpers every reader shares: frame times, axes, units. */
#include "recording.h"

#include "text.h"

const char *format_name(RecordingFormat format)
{
    switch (format) {
    case FORMAT_C3D: return "C3D";
    case FORMAT_TRC: return "TRC";
    case FORMAT_OPENFACE: return "OpenFace CSV";
    }
    return "unknown";
}

std::string format_description(const Recording &rec)
{
    std::string name = format_name(rec.format);
    return rec.encoding.empty() ? name : name + ", " + rec.encoding;
}

double recording_end(const Recording &rec)
{
    if (rec.frames == 0)
        return 0.0;
    return rec.even_times ? (double)(rec.frames - 1) / rec.rate : rec.times[rec.frames - 1];
}

void set_even_times(Recording *rec)
{
    rec->even_times = true;
    rec->times.resize(rec->frames);
    for (size_t i = 0; i < rec->frames; i++)
        rec->times[i] = (double)i / rec->rate;
}

bool parse_axis(const std::string &text, AxisDirection *direction)
{
    std::string t = lower(trim(text));
    direction->sign = 1;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        direction->sign = t[0] == '-' ? -1 : 1;
        t.erase(0, 1);
    }
    if (t != "x" && t != "y" && t != "z")
        return false;
    direction->axis = t[0] - 'x';
    return true;
}

std::string axis_name(AxisDirection direction)
{
    return std::string(direction.sign > 0 ? "+" : "-") + "xyz"[direction.axis];
}

bool units_to_mm(const std::string &units, double *mm_per_unit)
{
    std::string u = lower(trim(units));
    if (u == "mm")
        *mm_per_unit = 1.0;
    else if (u == "cm")
        *mm_per_unit = 10.0;
    else if (u == "m")
        *mm_per_unit = 1000.0;
    else
        return false;
    return true;
}

/* A real file spends at least a byte on each sample it holds; a megabyte
 * of slack lets short rows of a text file through. */
bool plausible_sample_count(size_t frames, size_t points, size_t size)
{
    const size_t slack = (size_t)1 << 20;
    return points == 0 || frames <= (size + slack) / points;
}
