#include "norm.h"

#include <math.h>
#include <stdio.h>

#include <algorithm>
#include <map>

#include "csv.h"
#include "text.h"

/* Below this a group's standard deviation is no spread: no z-score. */
static const double least_sd = 1e-9;
static const size_t least_norm_n = 3;
static const double outside_z = 1.96;

Summary summarise(const std::vector<double> &values)
{
    Summary s;
    double sum = 0.0;
    for (double v : values)
        if (!isnan(v)) {
            s.n++;
            sum += v;
        }
    if (s.n == 0)
        return s;
    s.mean = sum / (double)s.n;
    if (s.n < 2)
        return s;
    double squares = 0.0;
    for (double v : values)
        if (!isnan(v))
            squares += (v - s.mean) * (v - s.mean);
    s.sd = sqrt(squares / (double)(s.n - 1));
    return s;
}

bool is_outside(const MeasureDefinition &measure, double z)
{
    return measure.outside == OUTSIDE_ABOVE ? z > outside_z : fabs(z) > outside_z;
}

double z_score(double value, const Summary &norm)
{
    if (isnan(value) || norm.n < least_norm_n || !(norm.sd >= least_sd))
        return NAN;
    return (value - norm.mean) / norm.sd;
}

/* The group's displacement curves, frame by frame: their mean and sd. */
static void find_band(const MeasuredStudy &s, NormComparison *c)
{
    size_t values = (size_t)FACE_MARKERS * FACE_FRAMES;
    c->band_mean.assign(values, 0.0);
    c->band_sd.assign(values, 0.0);
    std::vector<double> at(c->members.size());
    for (size_t j = 0; j < values; j++) {
        for (size_t k = 0; k < c->members.size(); k++)
            at[k] = s.recordings[c->members[k]].measured.curves[j];
        Summary band = summarise(at);
        c->band_mean[j] = band.mean;
        c->band_sd[j] = band.sd;
    }
}

/* Every compared measure summed up over the group's recordings of the expression (in an exam, where each
 * recording is set against the group's of its own expression; "" in a study, all of them). */
static std::vector<Summary> group_norms(const MeasuredStudy &s, const NormComparison &c, const std::string &expression)
{
    std::vector<Summary> norms;
    std::vector<double> values;
    for (const ComparedMeasure &m : c.measures) {
        values.clear();
        for (size_t member : c.members)
            if (s.recordings[member].row.expression == expression)
                values.push_back(measure_value(s.recordings[member].measured, m));
        norms.push_back(summarise(values));
    }
    return norms;
}

bool compare_with_norm(const MeasuredStudy &s, const std::string &group, NormComparison *c, std::string *error)
{
    c->group = group;
    c->members = recordings_of_group(s, group);
    if (c->members.empty()) {
        *error = s.table.name + ": " + not_in_table(s, group, false);
        return false;
    }
    if (c->members.size() < least_norm_n) {
        *error = s.table.name + ": the group \"" + group + "\" holds " +
                 count_of(c->members.size(), "recording", "recordings") + "; a normal range needs at least 3";
        return false;
    }
    c->measures = compared_measures(s);
    std::map<std::string, std::vector<Summary>> norms; /* by expression: "" for all of the group in a study */
    for (size_t r = 0; r < s.recordings.size(); r++) {
        const StudyRow &row = s.recordings[r].row;
        if (row.group == group)
            continue;
        auto norm = norms.find(row.expression);
        if (norm == norms.end())
            norm = norms.emplace(row.expression, group_norms(s, *c, row.expression)).first;
        for (size_t m = 0; m < c->measures.size(); m++) {
            double value = measure_value(s.recordings[r].measured, c->measures[m]);
            c->scores.push_back({r, m, value, norm->second[m], z_score(value, norm->second[m])});
        }
    }
    find_band(s, c);
    return true;
}

/* A measure's value: frames as whole numbers, all else with 4 decimals. */
static void append_value(std::string *row, double value, bool whole)
{
    if (whole && !isnan(value))
        append_integer(row, lround(value));
    else
        append_decimal(row, value, 4);
}

std::string norm_table(const MeasuredStudy &s, const NormComparison &c)
{
    std::string text = "file,group,subject,condition,kind,name,measure,value,norm_n,norm_mean,norm_sd,z,outside\n";
    for (const NormScore &score : c.scores) {
        const StudyRow &row = s.recordings[score.recording].row;
        const ComparedMeasure &m = c.measures[score.measure];
        text += csv_field(row.file) + "," + csv_field(row.group) + "," + csv_field(row.subject) + "," +
                csv_field(row.condition) + "," + kind_name(m.kind) + "," +
                csv_field(m.name) + "," + m.measure;
        append_value(&text, score.value, m.whole);
        append_integer(&text, (long)score.norm.n);
        append_decimal(&text, score.norm.mean, 4);
        append_decimal(&text, score.norm.sd, 4);
        append_decimal(&text, score.z, 4);
        text += isnan(score.z) ? ",\n" : is_outside(*m.definition, score.z) ? ",yes\n" : ",no\n";
    }
    return text;
}

std::string bands_table(const MeasuredStudy &s, const NormComparison &c)
{
    std::string text = "frame,marker,label,norm_mean_mm,norm_sd_mm\n";
    for (int m = 0; m < FACE_MARKERS; m++) {
        std::string label = "," + csv_field(s.study.markers.labels[(size_t)m]);
        for (int f = 0; f < FACE_FRAMES; f++) {
            size_t j = (size_t)m * FACE_FRAMES + (size_t)f;
            text += std::to_string(f);
            append_integer(&text, m);
            text += label;
            append_decimal(&text, c.band_mean[j], 4);
            append_decimal(&text, c.band_sd[j], 4);
            text += "\n";
        }
    }
    return text;
}

/* One recording's line: how many of its measures are outside (each once: its seconds form is its frame
 * form again), and the three largest |z|. */
static std::string summary_line(const MeasuredStudy &s, const NormComparison &c, size_t first, size_t end)
{
    std::vector<const NormScore *> scored;
    size_t outside = 0;
    for (size_t i = first; i < end; i++) {
        const ComparedMeasure &m = c.measures[c.scores[i].measure];
        if (isnan(c.scores[i].z) || m.in_seconds)
            continue;
        scored.push_back(&c.scores[i]);
        outside += is_outside(*m.definition, c.scores[i].z);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const NormScore *a, const NormScore *b) { return fabs(a->z) > fabs(b->z); });
    std::string line = s.recordings[c.scores[first].recording].row.file + ": " + std::to_string(outside) + " of " +
                       std::to_string(scored.size()) + " outside";
    for (size_t k = 0; k < scored.size() && k < 3; k++) {
        char z[32];
        snprintf(z, sizeof z, "%.2f", scored[k]->z);
        const ComparedMeasure &m = c.measures[scored[k]->measure];
        line += (k ? ", " : "; largest |z|: ") + m.name + " " + m.measure + " " + z;
    }
    return line + "\n";
}

std::string norm_summary(const MeasuredStudy &s, const NormComparison &c)
{
    std::string text;
    size_t per_recording = c.measures.size();
    for (size_t first = 0; per_recording > 0 && first < c.scores.size(); first += per_recording)
        text += summary_line(s, c, first, first + per_recording);
    return text;
}
