/* TRC reader, from a file's bytes in memory.
 *
 *   PathFileType  4  (X/Y/Z)  name.trc
 *   DataRate  CameraRate  NumFrames  NumMarkers  Units  ...
 *   60.00  60.00  151  41  mm  ...
 *   Frame#  Time  R.ASIS      L.ASIS      ...
 *                 X1  Y1  Z1  X2  Y2  Z2  ...
 *   (an optional blank line)
 *   1  0.000  617.2  1055.3  170.8  ...
 *
 * Lines 2 and 3 are split on any run of blanks and tabs, since real files
 * pad values and double their tabs; the other lines are tab-separated.
 * The Time column is not used: real files start at negative times, so
 * frame i is at i / DataRate. */
#include <math.h>
#include <string.h>

#include "text.h"
#include "trc.h"

static const size_t header_lines = 5;

bool is_trc(const uint8_t *data, size_t size)
{
    return size >= 12 && memcmp(data, "PathFileType", 12) == 0;
}

/* The value under `key` in lines 2 and 3, "" when there is none. */
static std::string header_value(const std::vector<std::string> &lines, const char *key)
{
    std::vector<std::string> keys = split_blanks(lines[1]), values = split_blanks(lines[2]);
    for (size_t i = 0; i < keys.size() && i < values.size(); i++)
        if (keys[i] == key)
            return values[i];
    return "";
}

static bool read_header(const std::vector<std::string> &lines, Recording *rec, std::string *error)
{
    if (!parse_number(header_value(lines, "DataRate"), &rec->rate) || rec->rate <= 0.0) {
        *error = "the TRC header gives no DataRate above 0";
        return false;
    }
    long declared;
    if (parse_integer(header_value(lines, "NumFrames"), &declared) && declared >= 0)
        rec->declared_frames = declared;
    rec->units = header_value(lines, "Units");
    if (!units_to_mm(rec->units, &rec->mm_per_unit))
        rec->warnings.push_back("Units \"" + printable(rec->units) + "\" is not mm, cm or m; positions are taken as millimetres");
    return true;
}

/* Line 4: Frame#, Time, then a name above each marker's three columns. */
static void read_names(const std::vector<std::string> &lines, Recording *rec)
{
    std::vector<std::string> cells = split_on(lines[3], '\t');
    for (size_t i = 2; i < cells.size(); i++) {
        std::string name = trim(cells[i]);
        if (!name.empty())
            rec->points.push_back(Point{printable(name), "", true});
    }
    long declared;
    if (parse_integer(header_value(lines, "NumMarkers"), &declared) && declared != (long)rec->points.size())
        rec->warnings.push_back("NumMarkers is " + std::to_string(declared) + " but line 4 names " +
                                std::to_string(rec->points.size()) + " markers; read those");
}

/* One data row: frame number, time, then x, y, z of each marker. A marker
 * with an empty cell, a cell that is not a number, or no cells is missing. */
static void read_row(const std::string &line, Recording *rec)
{
    std::vector<std::string> cells = split_on(line, '\t');
    for (size_t m = 0; m < rec->points.size(); m++) {
        double xyz[3] = {0.0, 0.0, 0.0};
        bool valid = cells.size() >= 5 + 3 * m;
        for (size_t a = 0; a < 3 && valid; a++)
            valid = parse_number(cells[2 + 3 * m + a], &xyz[a]) && isfinite((float)xyz[a]);
        for (size_t a = 0; a < 3; a++)
            rec->xyz.push_back(valid ? (float)xyz[a] : 0.0f);
        rec->valid.push_back(valid);
    }
}

static bool read_rows(const std::vector<std::string> &lines, size_t size, Recording *rec, std::string *error)
{
    size_t i = header_lines;
    while (i < lines.size() && trim(lines[i]).empty())
        i++;
    for (; i < lines.size() && !trim(lines[i]).empty(); i++) {
        if (!plausible_sample_count(rec->frames + 1, rec->points.size(), size)) {
            *error = "holds more rows of " + std::to_string(rec->points.size()) + " markers than its size allows; refused";
            return false;
        }
        read_row(lines[i], rec);
        rec->frames++;
    }
    return true;
}

bool read_trc(const uint8_t *data, size_t size, Recording *rec, std::string *error)
{
    std::vector<std::string> lines = split_lines((const char *)data, size);
    if (lines.size() < 4 || !is_trc(data, size)) {
        *error = "the TRC header is cut short: it ends before the marker names of line 4";
        return false;
    }
    rec->format = FORMAT_TRC;
    rec->screen = ScreenAxes{{0, 1}, {1, 1}};
    if (!read_header(lines, rec, error))
        return false;
    read_names(lines, rec);
    if (rec->points.empty()) {
        *error = "holds no marker positions";
        return false;
    }
    if (!read_rows(lines, size, rec, error))
        return false;
    if (rec->declared_frames > (long)rec->frames)
        rec->warnings.push_back("NumFrames is " + std::to_string(rec->declared_frames) + " but the file holds " +
                                count_of(rec->frames, "row; read it", "rows; read those"));
    set_even_times(rec);
    return true;
}
