/* What every reader shares: telling the formats apart, frame times, units. */
#include "recording.h"

#include "text.h"

bool read_recording(const uint8_t *data, size_t size, const ReadOptions &options, Recording *rec, std::string *error)
{
    if (is_c3d(data, size))
        return read_c3d(data, size, rec, error);
    if (is_trc(data, size))
        return read_trc(data, size, rec, error);
    if (is_openface(data, size))
        return read_openface(data, size, options, rec, error);
    *error = "not a C3D, TRC or OpenFace CSV recording";
    return false;
}

void set_even_times(Recording *rec)
{
    rec->even_times = true;
    rec->times.resize(rec->frames);
    for (size_t i = 0; i < rec->frames; i++)
        rec->times[i] = (double)i / rec->rate;
}

bool parse_axis(const std::string &text, int *axis, int *sign)
{
    std::string t = lower(trim(text));
    *sign = 1;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        *sign = t[0] == '-' ? -1 : 1;
        t.erase(0, 1);
    }
    if (t != "x" && t != "y" && t != "z")
        return false;
    *axis = t[0] - 'x';
    return true;
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
