/* OpenFace CSV reader, from a file's bytes in memory.
 *
 * FeatureExtraction writes one row per video frame and face. The first
 * line names the columns; which blocks are present depends on the options
 * OpenFace ran with, so every column is found by its name. Names and
 * values may carry blanks around them: 2.0 writes ", " between fields,
 * 2.2 writes ",", and files saved again by other programs mix both. The 68
 * landmarks' 3D positions are X_0..X_67, Y_0..Y_67, Z_0..Z_67, millimetres
 * in the camera's frame: x to the image's right, y down, z away from the
 * camera. Frames are timed by the timestamp column (seconds), which is not
 * always evenly spaced; the frame column is not used, since real files
 * repeat it. */
#include <math.h>
#include <stdio.h>

#include <unordered_map>

#include "csv.h"
#include "openface.h"
#include "text.h"

enum { LANDMARKS = 68 };

/* Column indices of what the reader uses; face_id is -1 when absent. */
struct Columns {
    long timestamp, confidence, success, face_id;
    long xyz[LANDMARKS][3];
    long xy[LANDMARKS][2]; /* x_i, y_i in pixels; -1 where the table has none */
};

static std::vector<std::string> header_names(const uint8_t *data, size_t size)
{
    size_t end = 0;
    while (end < size && data[end] != '\n')
        end++;
    return csv_fields(std::string((const char *)data, end), ',');
}

static bool find_columns(const std::vector<std::string> &names, Columns *c)
{
    std::unordered_map<std::string, long> index;
    for (size_t i = 0; i < names.size(); i++)
        index.emplace(names[i], (long)i);
    auto column = [&](const std::string &name) { return index.count(name) ? index[name] : -1L; };
    c->timestamp = column("timestamp");
    c->confidence = column("confidence");
    c->success = column("success");
    c->face_id = column("face_id");
    bool all = c->timestamp >= 0 && c->confidence >= 0 && c->success >= 0;
    for (int i = 0; i < LANDMARKS; i++)
        for (int a = 0; a < 3; a++) {
            c->xyz[i][a] = column(std::string(1, "XYZ"[a]) + "_" + std::to_string(i));
            all = all && c->xyz[i][a] >= 0;
        }
    for (int i = 0; i < LANDMARKS; i++)
        for (int a = 0; a < 2; a++)
            c->xy[i][a] = column(std::string(1, "xy"[a]) + "_" + std::to_string(i));
    return all;
}

bool is_openface(const uint8_t *data, size_t size)
{
    Columns columns;
    return find_columns(header_names(data, size), &columns);
}

/* Line numbers of dropped rows, up to five of them, for one warning. */
struct DroppedRows {
    size_t count = 0;
    std::string lines;
};

static void note_dropped(DroppedRows *dropped, size_t line)
{
    if (++dropped->count <= 5)
        dropped->lines += (dropped->count > 1 ? ", " : "") + std::to_string(line);
}

/* One row's landmarks: all missing when OpenFace did not track the face
 * well enough in that frame, since it still writes positions then. */
static void read_landmarks(const std::vector<std::string> &cells, const Columns &c, bool trusted, Recording *rec)
{
    for (int i = 0; i < LANDMARKS; i++) {
        double xyz[3] = {0.0, 0.0, 0.0};
        bool valid = trusted;
        for (int a = 0; a < 3 && valid; a++)
            valid = parse_number(cells[(size_t)c.xyz[i][a]], &xyz[a]) && isfinite((float)xyz[a]);
        for (int a = 0; a < 3; a++)
            rec->xyz.push_back(valid ? (float)xyz[a] : 0.0f);
        rec->valid.push_back(valid);
    }
}

/* Adds one data row, or says why it was left out. */
enum RowResult { ROW_KEPT, ROW_OTHER_FACE, ROW_MALFORMED, ROW_NOT_LATER };

/* The row's pixels into image, where the table has them; false when one is not a number. */
static bool read_pixels(const std::vector<std::string> &cells, const Columns &c, bool trusted, OpenFaceImage *image)
{
    double value;
    for (int i = 0; i < LANDMARKS; i++)
        for (int a = 0; a < 2; a++) {
            if (c.xy[i][a] < 0 || !parse_number(cells[(size_t)c.xy[i][a]], &value))
                return false;
            image->xy.push_back(trusted ? value : 0.0);
        }
    image->found.push_back(trusted);
    return true;
}

static RowResult read_row(const std::string &line, size_t fields, const Columns &c, const ReadOptions &options,
                          Recording *rec, OpenFaceImage *image)
{
    std::vector<std::string> cells = csv_fields(line, ',');
    long face;
    double timestamp, success, confidence;
    if (cells.size() != fields)
        return ROW_MALFORMED;
    if (c.face_id >= 0 && !parse_integer(cells[(size_t)c.face_id], &face))
        return ROW_MALFORMED;
    if (c.face_id >= 0 && face != options.face_id)
        return ROW_OTHER_FACE;
    if (!parse_number(cells[(size_t)c.timestamp], &timestamp))
        return ROW_MALFORMED;
    if (!rec->times.empty() && timestamp <= rec->times.back())
        return ROW_NOT_LATER;
    bool trusted = parse_number(cells[(size_t)c.success], &success) && success != 0.0 &&
                   parse_number(cells[(size_t)c.confidence], &confidence) && confidence >= options.min_confidence;
    if (image && !read_pixels(cells, c, trusted, image))
        return ROW_MALFORMED;
    read_landmarks(cells, c, trusted, rec);
    rec->times.push_back(timestamp);
    rec->frames++;
    return ROW_KEPT;
}

static void describe(Recording *rec)
{
    rec->format = FORMAT_OPENFACE;
    rec->units = "mm";
    rec->screen = ScreenAxes{{0, 1}, {1, -1}};
    rec->even_times = false;
    for (int i = 0; i < LANDMARKS; i++)
        rec->points.push_back(Point{std::to_string(i), "", true});
}

/* Times from the first kept row; the rate is their mean. */
static void set_times(Recording *rec)
{
    double first = rec->times.empty() ? 0.0 : rec->times[0];
    for (double &t : rec->times)
        t -= first;
    rec->rate = rec->frames >= 2 ? (rec->frames - 1) / rec->times.back() : 0.0;
}

static void warn_dropped(const DroppedRows &malformed, size_t not_later, size_t fields, Recording *rec)
{
    if (malformed.count > 0)
        rec->warnings.push_back(count_of(malformed.count, "row has", "rows have") + " not the header's " +
                                std::to_string(fields) + " fields or no number where one belongs (" +
                                (malformed.count == 1 ? "line " : "lines ") + malformed.lines +
                                (malformed.count > 5 ? ", ..." : "") + "); dropped " + (malformed.count == 1 ? "it" : "them"));
    if (not_later > 0)
        rec->warnings.push_back(count_of(not_later, "row has", "rows have") +
                                " a timestamp not later than the row kept before them; dropped " +
                                (not_later == 1 ? "it" : "them"));
}

bool read_openface(const uint8_t *data, size_t size, const ReadOptions &options, Recording *rec, std::string *error,
                   OpenFaceImage *image)
{
    std::vector<std::string> names = header_names(data, size);
    Columns columns;
    if (!find_columns(names, &columns)) {
        *error = "the first line does not name OpenFace's timestamp, confidence, success and X_0..Z_67 columns";
        return false;
    }
    if (columns.face_id < 0 && options.face_id != 0) {
        *error = "has no face_id column, so all its rows are of face 0; --face " + std::to_string(options.face_id) +
                 " chooses none";
        return false;
    }
    describe(rec);
    std::vector<std::string> lines = split_lines((const char *)data, size);
    DroppedRows malformed;
    size_t not_later = 0, other_faces = 0;
    for (size_t i = 1; i < lines.size(); i++) {
        if (trim(lines[i]).empty())
            continue;
        RowResult result = read_row(lines[i], names.size(), columns, options, rec, image);
        if (result == ROW_MALFORMED)
            note_dropped(&malformed, i + 1);
        not_later += result == ROW_NOT_LATER;
        other_faces += result == ROW_OTHER_FACE;
    }
    warn_dropped(malformed, not_later, names.size(), rec);
    if (rec->frames == 0 && other_faces > 0) {
        *error = "holds no rows of face " + std::to_string(options.face_id) + ", only of others; --face chooses";
        return false;
    }
    set_times(rec);
    return true;
}

std::string tracker_table_header(void)
{
    std::string h = "frame, face_id, timestamp, confidence, success";
    for (const char *block : {"x", "y", "X", "Y", "Z"})
        for (int i = 0; i < LANDMARKS; i++)
            h += std::string(", ") + block + "_" + std::to_string(i);
    return h + ", mienscope_track\n";
}

bool is_tracker_table(const std::string &path)
{
    std::string first = tracker_table_header();
    std::vector<char> start(first.size());
    FILE *fp = fopen(path.c_str(), "rb");
    bool same = fp && fread(start.data(), 1, start.size(), fp) == start.size() &&
                first.compare(0, first.size(), start.data(), start.size()) == 0;
    if (fp)
        fclose(fp);
    return same;
}
