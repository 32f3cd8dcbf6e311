#include "study.h"

#include <algorithm>

#include "csv.h"
#include "face_tables.h"

int measure_study(const std::string &table_path, const MeasureOptions &o, MeasuredStudy *s, std::string *error)
{
    return read_study_table(table_path, &s->table, error) ? measure_table(o, s, error) : EXIT_UNUSABLE;
}

int measure_table(const MeasureOptions &o, MeasuredStudy *s, std::string *error)
{
    s->study.settings = o.settings;
    std::vector<std::string> paths, files;
    for (const StudyRow &row : s->table.rows) {
        paths.push_back(row.path);
        files.push_back(row.file);
    }
    std::vector<Input> inputs;
    auto where = [&](size_t i) { return study_location(s->table, s->table.rows[i]); };
    int status = read_inputs(paths, o.inputs, &inputs, &s->study.markers, error, where);
    if (status != EXIT_DONE)
        return status;
    std::vector<std::string> names = unique_names(files);
    for (size_t i = 0; i < inputs.size(); i++) {
        if (!check_smoothing(inputs[i], o.settings, error)) {
            *error = where(i) + *error;
            return EXIT_USAGE;
        }
        if (s->table.has_expression && inputs[i].landmarks.empty()) { /* an exam is graded by its face measures */
            *error = where(i) + no_face_message(inputs[i].name);
            return EXIT_UNUSABLE;
        }
        StudyRecording r;
        r.row = s->table.rows[i];
        r.name = names[i];
        r.measured = measure_file(r.row.file, inputs[i].positions, inputs[i].seconds, s->study, inputs[i].landmarks);
        r.input = std::move(inputs[i]);
        s->recordings.push_back(std::move(r));
    }
    return EXIT_DONE;
}

OutputGuard study_guard(bool force, const std::string &writes, const MeasuredStudy &s, const MeasureOptions &options)
{
    std::vector<std::string> paths;
    for (const StudyRow &row : s.table.rows)
        paths.push_back(row.path);
    OutputGuard guard = inputs_guard(force, writes, paths, options.inputs);
    if (!s.table.name.empty())
        guard_input(&guard, s.table.name, "study table");
    return guard;
}

bool every_time_known(const MeasuredStudy &s)
{
    for (const StudyRecording &r : s.recordings)
        if (isnan(r.input.seconds))
            return false;
    return !s.recordings.empty();
}

bool every_face_known(const MeasuredStudy &s)
{
    for (const StudyRecording &r : s.recordings)
        if (!has_face(r.measured))
            return false;
    return !s.recordings.empty();
}

/* One marker's, pair's or face row's compared measures (those it has), then their seconds forms when timed. */
static void add_compared(MeasureKind kind, int index, const std::string &name, bool timed,
                         std::vector<ComparedMeasure> *list)
{
    for (const MeasureDefinition *m : compared_of(kind))
        if (!m->applies || m->applies((size_t)index))
            list->push_back({m, kind, index, name, m->column, is_whole(*m), false});
    if (timed)
        for (const MeasureDefinition *m : compared_of(kind))
            if (m->seconds != NO_SECONDS)
                list->push_back({m, kind, index, name, m->seconds_column, false, true});
}

/* Every face row's measures ("eye_opening_mm/R"; "mouth_opening_mm" alone), then every two-sided face
 * measure's sides. */
static void add_face_compared(std::vector<ComparedMeasure> *list)
{
    std::vector<FaceRow> rows = face_rows();
    for (size_t r = 0; r < rows.size(); r++)
        add_compared(FACE_MEASURE, (int)r, std::string(rows[r].measure->name) +
                     (rows[r].measure->sided ? std::string("/") + face_side_name(*rows[r].measure, rows[r].side) : ""),
                     false, list);
    for (size_t r = 0; r < rows.size(); r++)
        if (rows[r].measure->sided && rows[r].side == FACE_R)
            add_compared(FACE_SIDE_MEASURE, (int)r, rows[r].measure->name, false, list);
}

std::vector<ComparedMeasure> compared_measures(const MeasuredStudy &s)
{
    std::vector<ComparedMeasure> list;
    const MarkerNames &n = s.study.markers;
    bool timed = every_time_known(s);
    for (int m = 0; m < FACE_MARKERS; m++)
        add_compared(MARKER_MEASURE, m, n.labels[(size_t)m], timed, &list);
    for (size_t p = 0; p < n.pairs.size(); p++)
        add_compared(PAIR_MEASURE, (int)p, n.labels[(size_t)n.pairs[p][0]] + "/" + n.labels[(size_t)n.pairs[p][1]],
                     timed, &list);
    if (every_face_known(s))
        add_face_compared(&list);
    return list;
}

double measure_value(const MeasuredFile &file, const ComparedMeasure &m)
{
    return m.in_seconds ? seconds_value(*m.definition, file, (size_t)m.index) : m.definition->value(file, (size_t)m.index);
}

std::vector<size_t> recordings_of_group(const MeasuredStudy &s, const std::string &group)
{
    std::vector<size_t> members;
    for (size_t i = 0; i < s.recordings.size(); i++)
        if (s.recordings[i].row.group == group)
            members.push_back(i);
    return members;
}

std::string not_in_table(const MeasuredStudy &s, const std::string &name, bool condition)
{
    std::vector<std::string> present;
    for (const StudyRecording &r : s.recordings) {
        const std::string &value = condition ? r.row.condition : r.row.group;
        if (!value.empty() && std::find(present.begin(), present.end(), value) == present.end())
            present.push_back(value);
    }
    std::string list;
    for (const std::string &value : present)
        list += (list.empty() ? "\"" : ", \"") + value + "\"";
    return std::string("the ") + (condition ? "condition" : "group") + " \"" + name + "\" is not in the table" +
           (list.empty() ? std::string("; it has none") : "; it has " + list);
}

bool has_condition(const MeasuredStudy &s, const std::string &condition)
{
    for (const StudyRecording &r : s.recordings)
        if (r.row.condition == condition)
            return true;
    return false;
}

std::string measure_key(const std::string &kind, const std::string &name, const std::string &measure)
{
    return kind + "," + csv_field(name) + "," + measure;
}

std::string measure_fields(const ComparedMeasure &m)
{
    return measure_key(kind_name(m.kind), m.name, m.measure);
}
