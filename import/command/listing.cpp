/* What --list prints: the recording's layout, then one line a point. */
#include <stdio.h>

#include <algorithm>

#include "program.h"

static std::string field(const char *name, const std::string &value)
{
    return std::string(name) + ": " + value + "\n";
}

static std::string number(const char *format, double value)
{
    char text[64];
    snprintf(text, sizeof text, format, value);
    return text;
}

static std::string summary(const Recording &rec)
{
    size_t markers = 0;
    for (const Point &p : rec.points)
        markers += p.is_marker;
    std::string text = field("format", format_description(rec));
    text += field("points", std::to_string(rec.points.size()) +
                                (markers < rec.points.size() ? " (" + std::to_string(markers) + " markers)" : ""));
    std::string frames = std::to_string(rec.frames);
    if (rec.declared_frames >= 0 && (size_t)rec.declared_frames != rec.frames)
        frames += " held, " + std::to_string(rec.declared_frames) + " declared";
    text += field("frames", frames);
    text += field("rate", number("%g Hz", rec.rate) + (rec.even_times ? "" : " (mean; each frame has its own time)"));
    text += field("span", number("%.3f s", recording_end(rec)) + " from the first frame to the last");
    text += field("units", rec.units.empty() ? "none given, taken as mm" : rec.units);
    text += field("screen axes", "right " + axis_name(rec.screen.right) + ", up " + axis_name(rec.screen.up));
    return text;
}

static double valid_percent(const Recording &rec, size_t point)
{
    size_t valid = 0;
    for (size_t f = 0; f < rec.frames; f++)
        valid += rec.valid[f * rec.points.size() + point];
    return rec.frames ? 100.0 * valid / rec.frames : 0.0;
}

/* Labels and descriptions are cut there: C3D keeps them under 256 bytes. */
static const size_t longest_shown = 255;

std::string recording_listing(const Recording &rec)
{
    size_t label_width = 5, description_width = 0;
    for (const Point &p : rec.points) {
        label_width = std::min(std::max(label_width, p.label.size()), longest_shown);
        description_width = std::min(std::max(description_width, p.description.size()), longest_shown);
    }
    if (description_width > 0)
        description_width = std::max(description_width, sizeof "description" - 1);
    std::string text = summary(rec);
    char line[1024];
    snprintf(line, sizeof line, "%5s  %-*s  %-*s%svalid\n", "index", (int)label_width, "label", (int)description_width,
             description_width ? "description" : "", description_width ? "  " : "");
    text += line;
    for (size_t i = 0; i < rec.points.size(); i++) {
        const Point &p = rec.points[i];
        snprintf(line, sizeof line, "%5zu  %-*.*s  %-*.*s%s%5.1f%%%s\n", i, (int)label_width, 255, p.label.c_str(),
                 (int)description_width, 255, p.description.c_str(), description_width ? "  " : "", valid_percent(rec, i),
                 p.is_marker ? "" : "  not a marker");
        text += line;
    }
    return text;
}
