/* C3D reader, from a file's bytes in memory.
 *
 * A C3D file is 512-byte blocks: a header block, a parameter section and a
 * data section. Header byte 0 is the parameter section's first block
 * (1-based), byte 1 is 0x50. The parameter section starts with 4 bytes
 * whose last is the processor type, 83 + n: 84 Intel (little-endian, IEEE
 * floats), 85 DEC (little-endian integers, DEC F-floats), 86 MIPS
 * (big-endian throughout). Then comes a chain of group and parameter
 * records, each linked to the next by an offset word. Every access below
 * is checked against the file's size, and no count read from the file
 * sizes an allocation before it has been checked against the bytes that
 * would hold it. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <set>

#include "c3d.h"
#include "text.h"

enum { C3D_INTEL = 84, C3D_DEC = 85, C3D_MIPS = 86 };
static const size_t block_size = 512;

struct C3dFile {
    const uint8_t *data;
    size_t size;
    int processor;
};

struct C3dGroup {
    int id;
    std::string name; /* upper case */
};

struct C3dParameter {
    int group;
    std::string name;         /* upper case */
    int type;                 /* -1 characters, 1 byte, 2 16-bit integer, 4 float */
    std::vector<size_t> dims;
    size_t at;                /* file offset of the first element */
    size_t count;             /* elements, the product of dims */
};

struct C3dParameters {
    std::vector<C3dGroup> groups;
    std::vector<C3dParameter> parameters;
    std::map<std::string, size_t> by_name; /* "GROUP:NAME" to the first such parameter */
};

static size_t parameter_start(const uint8_t *data)
{
    return (size_t)(data[0] - 1) * block_size;
}

bool is_c3d(const uint8_t *data, size_t size)
{
    if (size < 2 || data[1] != 0x50 || data[0] == 0)
        return false;
    size_t start = parameter_start(data);
    return start + 4 <= size && data[start + 3] >= C3D_INTEL && data[start + 3] <= C3D_MIPS;
}

/* A 16-bit word at a byte offset, 0 beyond the file. */
static unsigned word_at(const C3dFile &f, size_t at)
{
    if (at > f.size || f.size - at < 2)
        return 0;
    if (f.processor == C3D_MIPS)
        return (unsigned)(f.data[at] << 8 | f.data[at + 1]);
    return (unsigned)(f.data[at] | f.data[at + 1] << 8);
}

static int signed_word_at(const C3dFile &f, size_t at)
{
    unsigned w = word_at(f, at);
    return w >= 0x8000 ? (int)w - 0x10000 : (int)w;
}

/* A float at a byte offset, 0 beyond the file. A DEC F-float is an IEEE
 * little-endian float with its two 16-bit halves swapped and 4 times too
 * large (its exponent bias is 128 and its mantissa 0.1f rather than 1.f). */
static float float_at(const C3dFile &f, size_t at)
{
    if (at > f.size || f.size - at < 4)
        return 0.0f;
    const uint8_t *p = f.data + at;
    uint8_t b[4] = {p[0], p[1], p[2], p[3]};
    if (f.processor == C3D_MIPS) {
        b[0] = p[3], b[1] = p[2], b[2] = p[1], b[3] = p[0];
    } else if (f.processor == C3D_DEC) {
        b[0] = p[2], b[1] = p[3], b[2] = p[0], b[3] = p[1];
    }
    uint32_t bits = (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
    float value;
    memcpy(&value, &bits, sizeof value);
    return f.processor == C3D_DEC ? value / 4.0f : value;
}

/* Header words are numbered from 1, as the C3D format documentation does. */
static unsigned header_word(const C3dFile &f, int word)
{
    return word_at(f, 2 * (size_t)(word - 1));
}

static float header_float(const C3dFile &f, int word)
{
    return float_at(f, 2 * (size_t)(word - 1));
}

static std::string upper_name(const C3dFile &f, size_t at, size_t length)
{
    std::string name((const char *)f.data + at, length);
    for (char &c : name)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return printable(name);
}

static std::string damaged(size_t at)
{
    return "parameter section is damaged at byte " + std::to_string(at);
}

/* The type, dimensions and data of a parameter record whose body starts at
 * `body`; false when any of it runs past the section's end. */
static bool parse_parameter(const C3dFile &f, size_t body, size_t end, C3dParameter *p)
{
    if (body + 2 > end)
        return false;
    p->type = (int8_t)f.data[body];
    if (p->type != -1 && p->type != 1 && p->type != 2 && p->type != 4)
        return false;
    size_t ndims = f.data[body + 1];
    if (body + 2 + ndims > end)
        return false;
    p->count = 1;
    for (size_t d = 0; d < ndims; d++) {
        size_t dim = f.data[body + 2 + d];
        if (dim != 0 && p->count > end / dim)
            return false;
        p->count *= dim;
        p->dims.push_back(dim);
    }
    p->at = body + 2 + ndims;
    size_t bytes = p->count * (size_t)abs(p->type);
    return bytes <= end - p->at;
}

/* Walks the chain of records. A record: name length (negative when
 * locked), group id (negative for a group, the group's id for one of its
 * parameters), the name, then the offset from that offset word to the next
 * record; 0 ends the chain, as does a name length of 0. */
static bool parse_parameters(const C3dFile &f, C3dParameters *out, std::string *error)
{
    size_t start = parameter_start(f.data);
    size_t end = start + (size_t)f.data[start + 2] * block_size;
    if (end > f.size)
        end = f.size;
    size_t pos = start + 4;
    while (pos + 2 <= end) {
        size_t name_length = (size_t)abs((int8_t)f.data[pos]);
        int id = (int8_t)f.data[pos + 1];
        if (name_length == 0)
            return true;
        size_t link = pos + 2 + name_length;
        if (link + 2 > end) {
            *error = damaged(pos);
            return false;
        }
        std::string name = upper_name(f, pos + 2, name_length);
        int offset = signed_word_at(f, link);
        if (id < 0) {
            out->groups.push_back(C3dGroup{-id, name});
        } else if (id > 0) {
            C3dParameter p;
            p.group = id;
            p.name = name;
            if (!parse_parameter(f, link + 2, end, &p)) {
                *error = damaged(pos);
                return false;
            }
            out->parameters.push_back(p);
        }
        if (offset == 0)
            return true;
        if (offset < 2 || (size_t)offset > end - link) {
            *error = damaged(link);
            return false;
        }
        pos = link + (size_t)offset;
    }
    return true;
}

/* Files may list a parameter before its group, so names are joined to
 * groups only once the whole chain is read. */
static void index_parameters(C3dParameters *ps)
{
    std::map<int, std::string> group_names;
    for (const C3dGroup &g : ps->groups)
        group_names.emplace(g.id, g.name);
    for (size_t i = 0; i < ps->parameters.size(); i++) {
        auto group = group_names.find(ps->parameters[i].group);
        if (group != group_names.end())
            ps->by_name.emplace(group->second + ":" + ps->parameters[i].name, i);
    }
}

static const C3dParameter *find_parameter(const C3dParameters &ps, const char *group, const std::string &name)
{
    auto found = ps.by_name.find(group + (":" + name));
    return found == ps.by_name.end() ? nullptr : &ps.parameters[found->second];
}

static bool has_group(const C3dParameters &ps, const char *group)
{
    for (const C3dGroup &g : ps.groups)
        if (g.name == group)
            return true;
    return false;
}

/* Element `index` of a numeric parameter; 16-bit words as unsigned when
 * asked, since counts and block numbers past 32767 are written so. */
static bool parameter_number(const C3dFile &f, const C3dParameter *p, size_t index, bool unsigned_words, double *value)
{
    if (!p || index >= p->count)
        return false;
    switch (p->type) {
    case 1: *value = f.data[p->at + index]; return true;
    case 2:
        *value = unsigned_words ? (double)word_at(f, p->at + 2 * index) : (double)signed_word_at(f, p->at + 2 * index);
        return true;
    case 4: *value = float_at(f, p->at + 4 * index); return isfinite(*value);
    default: return false;
    }
}

static bool find_number(const C3dFile &f, const C3dParameters &ps, const char *group, const char *name, bool unsigned_words,
                        double *value)
{
    return parameter_number(f, find_parameter(ps, group, name), 0, unsigned_words, value);
}

/* A character parameter as strings of its first dimension, trailing
 * blanks and NULs removed. */
static std::vector<std::string> parameter_strings(const C3dFile &f, const C3dParameter *p)
{
    std::vector<std::string> strings;
    if (!p || p->type != -1)
        return strings;
    size_t length = p->dims.empty() ? 1 : p->dims[0];
    if (length == 0)
        return strings;
    for (size_t i = 0; i < p->count / length; i++) {
        std::string s((const char *)f.data + p->at + i * length, length);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
            s.pop_back();
        strings.push_back(printable(s));
    }
    return strings;
}

/* NAME, then NAME2, NAME3, ... for files with more than 255 points. */
static std::vector<std::string> continued_strings(const C3dFile &f, const C3dParameters &ps, const char *name, size_t wanted)
{
    std::vector<std::string> all = parameter_strings(f, find_parameter(ps, "POINT", name));
    for (int k = 2; all.size() < wanted; k++) {
        const C3dParameter *more = find_parameter(ps, "POINT", name + std::to_string(k));
        if (!more)
            break;
        std::vector<std::string> part = parameter_strings(f, more);
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

static void read_points(const C3dFile &f, const C3dParameters &ps, size_t count, Recording *rec)
{
    std::vector<std::string> labels = continued_strings(f, ps, "LABELS", count);
    std::vector<std::string> descriptions = continued_strings(f, ps, "DESCRIPTIONS", count);
    std::set<std::string> outputs;
    for (const char *kind : {"ANGLES", "FORCES", "MOMENTS", "POWERS", "SCALARS"}) {
        std::vector<std::string> named = parameter_strings(f, find_parameter(ps, "POINT", kind));
        outputs.insert(named.begin(), named.end());
    }
    rec->points.resize(count);
    for (size_t i = 0; i < count; i++) {
        Point &p = rec->points[i];
        p.label = i < labels.size() && !labels[i].empty() ? labels[i] : "point " + std::to_string(i);
        p.description = i < descriptions.size() ? descriptions[i] : "";
        p.is_marker = outputs.count(p.label) == 0;
    }
}

/* POINT:FRAMES, unsigned or a float; at 65535 the real count may be in
 * TRIAL:ACTUAL_START_FIELD and ACTUAL_END_FIELD, each two 16-bit words,
 * low word first; failing both, the header's first and last frames. */
static long declared_frames(const C3dFile &f, const C3dParameters &ps)
{
    double frames = -1.0;
    if (!find_number(f, ps, "POINT", "FRAMES", true, &frames) || frames < 0.0 || frames > 4294967295.0)
        frames = -1.0;
    const C3dParameter *first = find_parameter(ps, "TRIAL", "ACTUAL_START_FIELD");
    const C3dParameter *last = find_parameter(ps, "TRIAL", "ACTUAL_END_FIELD");
    double words[4];
    if ((frames < 0.0 || frames == 65535.0) && parameter_number(f, first, 0, true, &words[0]) &&
        parameter_number(f, first, 1, true, &words[1]) && parameter_number(f, last, 0, true, &words[2]) &&
        parameter_number(f, last, 1, true, &words[3])) {
        double start = words[0] + words[1] * 65536.0, end = words[2] + words[3] * 65536.0;
        if (end >= start)
            frames = end - start + 1.0;
    }
    if (frames < 0.0) {
        long header_first = header_word(f, 4), header_last = header_word(f, 5);
        frames = header_last >= header_first ? (double)(header_last - header_first + 1) : 0.0;
    }
    return (long)frames;
}

/* POINT:DATA_START, or the header's word 9 when it is 0 or past the end. */
static size_t data_offset(const C3dFile &f, const C3dParameters &ps)
{
    double block = 0.0;
    if (!find_number(f, ps, "POINT", "DATA_START", true, &block) || block < 1.0 ||
        (size_t)(block - 1.0) * block_size >= f.size)
        block = header_word(f, 9);
    return block >= 1.0 ? (size_t)(block - 1.0) * block_size : f.size;
}

/* Values of analog channels stored after the points of each frame. */
static size_t analog_values_per_frame(const C3dFile &f, const C3dParameters &ps, double point_rate)
{
    double used = 0.0, analog_rate = 0.0;
    if (!find_number(f, ps, "ANALOG", "USED", true, &used))
        return header_word(f, 3);
    double per_frame = header_word(f, 10);
    if (find_number(f, ps, "ANALOG", "RATE", false, &analog_rate) && analog_rate > 0.0 &&
        analog_rate / point_rate <= 65535.0)
        per_frame = floor(analog_rate / point_rate + 0.5);
    return (size_t)used * (size_t)per_frame;
}

static std::string encoding(const C3dFile &f, float scale)
{
    const char *processor = f.processor == C3D_INTEL ? "Intel" : f.processor == C3D_DEC ? "DEC" : "MIPS";
    if (scale < 0.0f)
        return std::string(processor) + ", float";
    char text[64];
    snprintf(text, sizeof text, "%s, 16-bit integers x %.4g", processor, scale);
    return text;
}

static void read_units(const C3dFile &f, const C3dParameters &ps, Recording *rec)
{
    std::vector<std::string> units = parameter_strings(f, find_parameter(ps, "POINT", "UNITS"));
    rec->units = units.empty() ? "" : trim(units[0]);
    if (units_to_mm(rec->units, &rec->mm_per_unit))
        return;
    rec->mm_per_unit = 1.0;
    rec->warnings.push_back(units.empty() ? "POINT:UNITS is missing; positions are taken as millimetres"
                                          : "POINT:UNITS \"" + rec->units + "\" is not mm, cm or m; positions are taken as millimetres");
}

/* POINT:X_SCREEN and Y_SCREEN, such as "+X" and "+Z", when both name an
 * axis and not the same one. */
static void read_screen_axes(const C3dFile &f, const C3dParameters &ps, Recording *rec)
{
    std::vector<std::string> x = parameter_strings(f, find_parameter(ps, "POINT", "X_SCREEN"));
    std::vector<std::string> y = parameter_strings(f, find_parameter(ps, "POINT", "Y_SCREEN"));
    if (x.empty() || y.empty())
        return;
    ScreenAxes screen;
    if (!parse_axis(x[0], &screen.right) || !parse_axis(y[0], &screen.up) || screen.right.axis == screen.up.axis) {
        rec->warnings.push_back("POINT:X_SCREEN \"" + x[0] + "\" and Y_SCREEN \"" + y[0] +
                                "\" are not two different axes; the screen axes are right +x, up +z");
        return;
    }
    rec->screen = screen;
}

/* Each frame: per point x, y, z and a fourth word whose negative value
 * marks the sample missing, then the analog values. */
static void read_samples(const C3dFile &f, size_t at, size_t frame_bytes, float scale, Recording *rec)
{
    size_t points = rec->points.size();
    bool integers = scale > 0.0f;
    size_t word = integers ? 2 : 4;
    rec->xyz.assign(rec->frames * points * 3, 0.0f);
    rec->valid.assign(rec->frames * points, 0);
    for (size_t i = 0; i < rec->frames; i++)
        for (size_t p = 0; p < points; p++) {
            size_t sample = at + i * frame_bytes + p * 4 * word;
            float *xyz = &rec->xyz[(i * points + p) * 3];
            float residual;
            for (int a = 0; a < 3; a++)
                xyz[a] = integers ? (float)(signed_word_at(f, sample + 2 * a) * (double)scale) : float_at(f, sample + 4 * a);
            residual = integers ? (float)signed_word_at(f, sample + 6) : float_at(f, sample + 12);
            rec->valid[i * points + p] = residual >= 0.0f && isfinite(xyz[0]) && isfinite(xyz[1]) && isfinite(xyz[2]);
        }
}

static bool read_rate(const C3dFile &f, const C3dParameters &ps, Recording *rec, std::string *error)
{
    double rate = 0.0;
    if (!find_number(f, ps, "POINT", "RATE", false, &rate))
        rate = header_float(f, 11);
    if (!(rate > 0.0) || !isfinite(rate)) {
        *error = "frame rate (POINT:RATE, or the header's) is not above 0";
        return false;
    }
    rec->rate = rate;
    return true;
}

static bool read_scale(const C3dFile &f, const C3dParameters &ps, float *scale, std::string *error)
{
    double value = 0.0;
    if (!find_number(f, ps, "POINT", "SCALE", false, &value))
        value = header_float(f, 7);
    *scale = (float)value;
    if (value == 0.0 || !isfinite(*scale)) {
        *error = "POINT:SCALE is 0 or not a number, so how positions are stored is unknown";
        return false;
    }
    return true;
}

bool read_c3d(const uint8_t *data, size_t size, Recording *rec, std::string *error)
{
    if (!is_c3d(data, size)) {
        *error = "not a C3D file";
        return false;
    }
    C3dFile f = {data, size, data[parameter_start(data) + 3]};
    C3dParameters ps;
    if (!parse_parameters(f, &ps, error))
        return false;
    index_parameters(&ps);
    double points = 0.0;
    if (has_group(ps, "POINT") && !find_number(f, ps, "POINT", "USED", true, &points))
        points = header_word(f, 2);
    if (!has_group(ps, "POINT") || points < 1.0) {
        *error = "holds no marker positions";
        return false;
    }
    float scale;
    if (!read_rate(f, ps, rec, error) || !read_scale(f, ps, &scale, error))
        return false;
    rec->format = FORMAT_C3D;
    rec->encoding = encoding(f, scale);
    read_points(f, ps, (size_t)points, rec);
    read_units(f, ps, rec);
    read_screen_axes(f, ps, rec);

    size_t frame_bytes = ((size_t)points * 4 + analog_values_per_frame(f, ps, rec->rate)) * (scale > 0.0f ? 2 : 4);
    size_t at = data_offset(f, ps);
    size_t room = at < size ? (size - at) / frame_bytes : 0;
    rec->declared_frames = declared_frames(f, ps);
    rec->frames = (size_t)rec->declared_frames < room ? (size_t)rec->declared_frames : room;
    if (rec->frames < (size_t)rec->declared_frames)
        rec->warnings.push_back("holds " + std::to_string(rec->frames) + " of the " +
                                std::to_string(rec->declared_frames) + " frames it declares; read " +
                                (rec->frames == 1 ? "it" : "those"));
    read_samples(f, at, frame_bytes, scale, rec);
    set_even_times(rec);
    return true;
}
