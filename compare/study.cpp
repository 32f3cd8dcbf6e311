#include "study.h"

#include <algorithm>

#include "csv.h"

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
        StudyRecording r;
        r.row = s->table.rows[i];
        r.name = names[i];
        r.measured = measure_file(r.row.file, inputs[i].positions, inputs[i].seconds, s->study);
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

std::vector<ComparedMeasure> compared_measures(const Study &study, bool timed)
{
    std::vector<ComparedMeasure> list;
    const MarkerNames &n = study.markers;
    for (int m = 0; m < FACE_MARKERS; m++) {
        for (const char *measure : {"peak_mm", "onset_frame", "peak_speed_mm_per_frame"})
            list.push_back({MARKER_MEASURE, m, n.labels[(size_t)m], measure, std::string(measure) == "onset_frame", false});
        if (timed)
            for (const char *measure : {"onset_s", "peak_speed_mm_per_s"})
                list.push_back({MARKER_MEASURE, m, n.labels[(size_t)m], measure, false, true});
    }
    for (size_t p = 0; p < n.pairs.size(); p++) {
        std::string name = n.labels[(size_t)n.pairs[p][0]] + "/" + n.labels[(size_t)n.pairs[p][1]];
        for (const char *measure : {"asymmetry_pct", "ratio", "difference_mm", "direction_cos", "lag_frames"})
            list.push_back({PAIR_MEASURE, (int)p, name, measure, std::string(measure) == "lag_frames", false});
        if (timed)
            list.push_back({PAIR_MEASURE, (int)p, name, "lag_s", false, true});
    }
    return list;
}

static double marker_value(const MeasuredFile &file, const MarkerMeasure &m, const std::string &measure)
{
    double step = frame_seconds(file);
    if (measure == "peak_mm")
        return m.peak;
    if (measure == "peak_speed_mm_per_frame")
        return m.peak_speed;
    if (measure == "peak_speed_mm_per_s")
        return m.peak_speed / step;
    double onset = m.onset_frame < 0 ? NAN : m.onset_frame;
    return measure == "onset_frame" ? onset : onset * step;
}

static double pair_value(const MeasuredFile &file, const PairMeasure &p, const std::string &measure)
{
    double lag = p.lag == NO_LAG ? NAN : p.lag;
    if (measure == "asymmetry_pct")
        return p.asymmetry;
    if (measure == "ratio")
        return p.ratio;
    if (measure == "difference_mm")
        return p.difference;
    if (measure == "direction_cos")
        return p.direction;
    return measure == "lag_frames" ? lag : lag * frame_seconds(file);
}

double measure_value(const MeasuredFile &file, const ComparedMeasure &m)
{
    return m.kind == MARKER_MEASURE ? marker_value(file, file.markers[(size_t)m.index], m.measure)
                                    : pair_value(file, file.pairs[(size_t)m.index], m.measure);
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

const char *kind_name(MeasureKind kind)
{
    return kind == MARKER_MEASURE ? "marker" : "pair";
}

std::string measure_key(const std::string &kind, const std::string &name, const std::string &measure)
{
    return kind + "," + csv_field(name) + "," + measure;
}

std::string measure_fields(const ComparedMeasure &m)
{
    return measure_key(kind_name(m.kind), m.name, m.measure);
}
