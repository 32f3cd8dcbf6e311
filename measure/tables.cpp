#include "tables.h"

#include "csv.h"
#include "measure_table.h"

/* Some file knows its time: the seconds columns are written. */
static bool any_seconds(const std::vector<MeasuredFile> &files)
{
    for (const MeasuredFile &file : files)
        if (!isnan(file.seconds))
            return true;
    return false;
}

/* "file" and the names of the columns after it. */
static std::string file_header(const FileColumns &extra)
{
    std::string header = "file";
    for (const std::string &name : extra.names)
        header += "," + name;
    return header;
}

/* The file's path and its fields of the columns after it. */
static std::string file_fields(const MeasuredFile &file, size_t index, const FileColumns &extra)
{
    std::string fields = csv_field(file.path);
    if (index < extra.fields.size())
        for (const std::string &field : extra.fields[index])
            fields += "," + csv_field(field);
    return fields;
}

/* The columns of one kind's measures: their names in the table's order, then their seconds forms when timed. */
static std::string measure_columns(MeasureKind kind, bool timed)
{
    std::string names;
    for (const MeasureDefinition *m : measures_of(kind))
        names += std::string(",") + m->column;
    if (timed)
        for (const MeasureDefinition *m : measures_of(kind))
            if (m->seconds != NO_SECONDS)
                names += std::string(",") + m->seconds_column;
    return names + "\n";
}

/* One marker's or pair's fields of its kind's measures, as measure_columns names them: 4 decimals, frames
 * whole, empty where a measure is. */
static void append_measures(std::string *row, MeasureKind kind, const MeasuredFile &file, size_t index, bool timed)
{
    for (const MeasureDefinition *m : measures_of(kind)) {
        double v = m->value(file, index);
        if (is_whole(*m) && !isnan(v)) /* a lag may be below 0 */
            append_integer(row, (long)v);
        else /* an empty one too: just its comma */
            append_decimal(row, v, 4);
    }
    if (timed)
        for (const MeasureDefinition *m : measures_of(kind))
            if (m->seconds != NO_SECONDS)
                append_decimal(row, seconds_value(*m, file, index), 4);
}

std::string markers_table(const std::vector<MeasuredFile> &files, const Study &study, const FileColumns &extra)
{
    bool timed = any_seconds(files);
    std::string text = file_header(extra) + ",marker,label" + measure_columns(MARKER_MEASURE, timed);
    for (size_t i = 0; i < files.size(); i++) {
        std::string file_part = file_fields(files[i], i, extra);
        for (int m = 0; m < FACE_MARKERS; m++) {
            std::string row = file_part;
            append_integer(&row, m);
            row += "," + csv_field(study.markers.labels[(size_t)m]);
            append_measures(&row, MARKER_MEASURE, files[i], (size_t)m, timed);
            text += row + "\n";
        }
    }
    return text;
}

std::string pairs_table(const std::vector<MeasuredFile> &files, const Study &study, const FileColumns &extra)
{
    bool timed = any_seconds(files);
    const MarkerNames &names = study.markers;
    std::string text = file_header(extra) + ",left,right" + measure_columns(PAIR_MEASURE, timed);
    for (size_t f = 0; f < files.size(); f++)
        for (size_t i = 0; i < names.pairs.size(); i++) {
            std::string row = file_fields(files[f], f, extra) + "," + csv_field(names.labels[(size_t)names.pairs[i][0]]) +
                              "," + csv_field(names.labels[(size_t)names.pairs[i][1]]);
            append_measures(&row, PAIR_MEASURE, files[f], i, timed);
            text += row + "\n";
        }
    return text;
}

std::string curves_table(const std::vector<MeasuredFile> &files, const Study &study)
{
    std::string text = "file,frame,marker,label,displacement_mm\n";
    for (const MeasuredFile &file : files) {
        std::string name = csv_field(file.path);
        for (int m = 0; m < FACE_MARKERS; m++) {
            std::string label = "," + csv_field(study.markers.labels[(size_t)m]);
            const double *d = &file.curves[(size_t)m * FACE_FRAMES];
            for (int f = 0; f < FACE_FRAMES; f++) {
                text += name;
                append_integer(&text, f);
                append_integer(&text, m);
                text += label;
                append_decimal(&text, d[(size_t)f], 4);
                text += '\n';
            }
        }
    }
    return text;
}
