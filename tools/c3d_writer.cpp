/* The C3D layout, as the format documentation gives it: a 512-byte header
 * block, the parameter section from block 2, the data after it. */
#include "c3d_writer.h"

#include <math.h>
#include <string.h>

#include <algorithm>

static const size_t block = 512;

typedef std::vector<uint8_t> Bytes;

static void put_word(Bytes *out, int processor, int value)
{
    uint16_t w = (uint16_t)value;
    if (processor == C3D_WRITE_MIPS)
        out->insert(out->end(), {(uint8_t)(w >> 8), (uint8_t)w});
    else
        out->insert(out->end(), {(uint8_t)w, (uint8_t)(w >> 8)});
}

/* Intel: IEEE little-endian. MIPS: IEEE big-endian. DEC: the IEEE bits of
 * 4 times the value, little-endian, with the two 16-bit halves swapped. */
std::vector<uint8_t> c3d_float_bytes(float value, int processor)
{
    float stored = processor == C3D_WRITE_DEC ? value * 4.0f : value;
    uint32_t bits;
    memcpy(&bits, &stored, sizeof bits);
    uint8_t le[4] = {(uint8_t)bits, (uint8_t)(bits >> 8), (uint8_t)(bits >> 16), (uint8_t)(bits >> 24)};
    if (processor == C3D_WRITE_MIPS)
        return {le[3], le[2], le[1], le[0]};
    if (processor == C3D_WRITE_DEC)
        return {le[2], le[3], le[0], le[1]};
    return {le[0], le[1], le[2], le[3]};
}

static void put_float(Bytes *out, int processor, float value)
{
    Bytes b = c3d_float_bytes(value, processor);
    out->insert(out->end(), b.begin(), b.end());
}

struct Record {
    int group;           /* negative: a group's own record */
    std::string name;
    Bytes body;          /* after the offset word */
};

static Record group_record(int id, const char *name)
{
    return Record{-id, name, Bytes{0}};
}

/* type -1 characters, 2 words, 4 floats; dims as the data's shape. */
static Record parameter(int group, const char *name, int type, std::vector<int> dims, const Bytes &data)
{
    Record r{group, name, {}};
    r.body.push_back((uint8_t)(int8_t)type);
    r.body.push_back((uint8_t)dims.size());
    for (int d : dims)
        r.body.push_back((uint8_t)d);
    r.body.insert(r.body.end(), data.begin(), data.end());
    r.body.push_back(0);
    return r;
}

static Record words(int processor, int group, const char *name, std::vector<int> values)
{
    Bytes data;
    for (int v : values)
        put_word(&data, processor, v);
    std::vector<int> dims;
    if (values.size() != 1)
        dims.push_back((int)values.size());
    return parameter(group, name, 2, dims, data);
}

static Record real(int processor, int group, const char *name, float value)
{
    Bytes data;
    put_float(&data, processor, value);
    return parameter(group, name, 4, {}, data);
}

/* Strings padded with blanks to the longest. */
static Record strings(int group, const char *name, const std::vector<std::string> &list)
{
    size_t length = 1;
    for (const std::string &s : list)
        length = s.size() > length ? s.size() : length;
    Bytes data;
    for (const std::string &s : list) {
        data.insert(data.end(), s.begin(), s.end());
        data.insert(data.end(), length - s.size(), ' ');
    }
    return parameter(group, name, -1, {(int)length, (int)list.size()}, data);
}

static void add_labels(std::vector<Record> *records, const char *name, const std::vector<std::string> &list)
{
    for (size_t start = 0, k = 1; start < list.size(); start += 255, k++) {
        std::string key = k == 1 ? name : name + std::to_string(k);
        std::vector<std::string> part(list.begin() + (long)start, list.begin() + (long)std::min(start + 255, list.size()));
        records->push_back(strings(1, key.c_str(), part));
    }
}

static std::vector<Record> point_records(const C3dContent &c, int data_start)
{
    int p = c.processor;
    std::vector<Record> r;
    r.push_back(words(p, 1, "USED", {(int)c.labels.size()}));
    if (c.frames_as_float)
        r.push_back(real(p, 1, "FRAMES", (float)c.frames));
    else
        r.push_back(words(p, 1, "FRAMES", {c.frames_in_trial ? 65535 : (int)c.frames}));
    r.push_back(real(p, 1, "SCALE", c.integers ? c.scale : -c.scale));
    r.push_back(real(p, 1, "RATE", c.rate));
    r.push_back(words(p, 1, "DATA_START", {c.data_start_zero ? 0 : data_start}));
    r.push_back(strings(1, "UNITS", {c.units}));
    r.push_back(strings(1, "X_SCREEN", {c.x_screen}));
    r.push_back(strings(1, "Y_SCREEN", {c.y_screen}));
    add_labels(&r, "LABELS", c.labels);
    if (!c.descriptions.empty())
        add_labels(&r, "DESCRIPTIONS", c.descriptions);
    if (!c.angles.empty())
        r.push_back(strings(1, "ANGLES", c.angles));
    return r;
}

static std::vector<Record> all_records(const C3dContent &c, int data_start)
{
    int p = c.processor;
    std::vector<Record> params = point_records(c, data_start);
    params.push_back(words(p, 2, "USED", {c.analog_channels}));
    params.push_back(real(p, 2, "RATE", c.rate * (float)c.analog_per_frame));
    if (c.frames_in_trial) {
        params.push_back(words(p, 3, "ACTUAL_START_FIELD", {1, 0}));
        params.push_back(words(p, 3, "ACTUAL_END_FIELD", {(int)(c.frames & 0xffff), (int)(c.frames >> 16)}));
    }
    std::vector<Record> groups = {group_record(1, "POINT"), group_record(2, "ANALOG"), group_record(3, "TRIAL")};
    std::vector<Record> all = c.groups_last ? params : groups;
    const std::vector<Record> &rest = c.groups_last ? groups : params;
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

/* The chain of records; each offset counts from its own word to the next
 * record, the last is 0. */
static Bytes parameter_section(const C3dContent &c, int data_start)
{
    std::vector<Record> records = all_records(c, data_start);
    Bytes out = {1, 0x50, 0, (uint8_t)c.processor};
    for (size_t i = 0; i < records.size(); i++) {
        const Record &r = records[i];
        out.push_back((uint8_t)r.name.size());
        out.push_back((uint8_t)(int8_t)r.group);
        out.insert(out.end(), r.name.begin(), r.name.end());
        put_word(&out, c.processor, i + 1 < records.size() ? (int)r.body.size() + 2 : 0);
        out.insert(out.end(), r.body.begin(), r.body.end());
    }
    size_t blocks = (out.size() + block - 1) / block;
    out.resize(blocks * block, 0);
    out[2] = (uint8_t)blocks;
    return out;
}

static Bytes header(const C3dContent &c, int data_start)
{
    int p = c.processor;
    Bytes out = {2, 0x50};
    put_word(&out, p, (int)c.labels.size());
    put_word(&out, p, c.analog_channels * c.analog_per_frame);
    put_word(&out, p, 1);
    put_word(&out, p, c.frames > 65535 ? 65535 : (int)c.frames);
    put_word(&out, p, 10);
    put_float(&out, p, c.integers ? c.scale : -c.scale);
    put_word(&out, p, data_start);
    put_word(&out, p, c.analog_per_frame);
    put_float(&out, p, c.rate);
    out.resize(block, 0);
    return out;
}

static void put_value(Bytes *out, const C3dContent &c, float value)
{
    if (c.integers)
        put_word(out, c.processor, (int)lrintf(value / c.scale));
    else
        put_float(out, c.processor, value);
}

static Bytes data_section(const C3dContent &c)
{
    Bytes out;
    size_t points = c.labels.size();
    for (size_t f = 0; f < c.frames; f++) {
        for (size_t p = 0; p < points; p++) {
            bool valid = c.valid.empty() || c.valid[f * points + p];
            for (int a = 0; a < 3; a++)
                put_value(&out, c, valid ? c.xyz[(f * points + p) * 3 + a] : 0.0f);
            if (c.integers)
                put_word(&out, c.processor, valid ? 0 : -1);
            else
                put_float(&out, c.processor, valid ? 0.0f : -1.0f);
        }
        for (int s = 0; s < c.analog_channels * c.analog_per_frame; s++)
            put_value(&out, c, c.integers ? (float)(s % 7) * c.scale : -(float)(s + 1));
    }
    return out;
}

std::vector<uint8_t> write_c3d(const C3dContent &content)
{
    Bytes params = parameter_section(content, 0);
    int data_start = 2 + (int)(params.size() / block);
    params = parameter_section(content, data_start);
    Bytes out = header(content, data_start);
    out.insert(out.end(), params.begin(), params.end());
    Bytes data = data_section(content);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}
