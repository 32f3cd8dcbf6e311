#include "group_tests.h"

#include <map>

#include "csv.h"
#include "group.h"
#include "text.h"

const char groups_header[] = "kind,name,measure,n_a,mean_a,sd_a,n_b,mean_b,sd_b,difference,ci_low,ci_high,t,df,p,q";
const char paired_header[] = "kind,name,measure,n,mean_before,mean_after,change,sd_change,ci_low,ci_high,t,p,q";

/* Below this a standard error or a spread of changes is no spread: no test. */
static const double least_se = 1e-9;

/* The measure's values of these recordings, those that have one. */
static std::vector<double> values_of(const MeasuredStudy &s, const std::vector<size_t> &members, const ComparedMeasure &m)
{
    std::vector<double> values;
    for (size_t r : members) {
        double v = measure_value(s.recordings[r].measured, m);
        if (!isnan(v))
            values.push_back(v);
    }
    return values;
}

static GroupRow test_measure(const MeasuredStudy &s, const GroupComparison &c, const ComparedMeasure &m,
                             const Permutations &how)
{
    GroupRow row;
    std::vector<double> a = values_of(s, c.members_a, m), b = values_of(s, c.members_b, m);
    row.a = summarise(a);
    row.b = summarise(b);
    if (a.size() < 2 || b.size() < 2)
        return row;
    row.welch = welch_test(a, b);
    row.tested = row.welch.se >= least_se;
    if (row.tested)
        row.p = permutation_p(a, b, how);
    else
        row.welch = WelchTest();
    return row;
}

/* Each row's q: its p corrected over all the rows (GroupRow and PairedRow alike). */
template <typename Row> static void fill_q(std::vector<Row> *rows)
{
    std::vector<double> p;
    for (const Row &row : *rows)
        p.push_back(row.p);
    std::vector<double> corrected = benjamini_hochberg(p);
    for (size_t i = 0; i < rows->size(); i++)
        (*rows)[i].q = corrected[i];
}

/* The two groups' movements aligned and decomposed as mienscope-average does, the first of them in the
 * table's order the reference; T-squared on their scores. */
static bool test_shape(const MeasuredStudy &s, GroupComparison *c, const Permutations &how, std::string *error)
{
    std::vector<FacePositions> files;
    std::vector<bool> in_b;
    for (size_t r = 0; r < s.recordings.size(); r++) {
        bool a = s.recordings[r].row.group == c->a, b = s.recordings[r].row.group == c->b;
        if (a || b) {
            files.push_back(s.recordings[r].input.positions);
            in_b.push_back(b);
        }
    }
    Group group;
    if (!analyse_group(files, c->shape.modes, &group, error)) {
        *error = s.table.name + ": the movements of \"" + c->a + "\" and \"" + c->b + "\": " + *error;
        return false;
    }
    Eigen::MatrixXd scores((Eigen::Index)files.size(), (Eigen::Index)c->shape.modes);
    for (size_t i = 0; i < files.size(); i++)
        for (size_t k = 0; k < c->shape.modes; k++)
            scores((Eigen::Index)i, (Eigen::Index)k) = group.scores[i * c->shape.modes + k];
    c->shape.t2 = hotelling_t2(scores, in_b);
    c->shape.p = hotelling_p(scores, in_b, how);
    return true;
}

/* What the groups must be: in the table, not the same, 2 recordings each. */
static bool check_groups(const MeasuredStudy &s, const GroupComparison &c, std::string *error)
{
    for (const auto &group : {std::make_pair(c.a, c.members_a.size()), std::make_pair(c.b, c.members_b.size())}) {
        if (group.second >= 2)
            continue;
        *error = s.table.name + ": " +
                 (group.second == 0 ? not_in_table(s, group.first, false)
                                    : "the group \"" + group.first + "\" holds 1 recording; --groups needs at least 2 "
                                      "in each group");
        return false;
    }
    return true;
}

int compare_groups(const MeasuredStudy &s, const std::string &a, const std::string &b, long modes,
                   const Permutations &how, GroupComparison *c, std::string *error)
{
    c->a = a;
    c->b = b;
    c->members_a = recordings_of_group(s, a);
    c->members_b = recordings_of_group(s, b);
    if (a == b) {
        *error = s.table.name + ": --groups \"" + a + "\" \"" + b + "\" names one group twice";
        return EXIT_UNUSABLE;
    }
    if (!check_groups(s, *c, error))
        return EXIT_UNUSABLE;
    long most = (long)(c->members_a.size() + c->members_b.size()) - 3;
    if (modes > most || (modes == 0 && most < 1)) {
        *error = "--modes " + std::to_string(modes ? modes : 1) + " is not from 1 to n_a + n_b - 3 = " +
                 std::to_string(most) + " for \"" + a + "\" and \"" + b + "\"";
        return EXIT_USAGE;
    }
    c->shape = {(size_t)(modes ? modes : std::min(3L, most)), c->members_a.size(), c->members_b.size(), NAN, NAN};
    c->measures = compared_measures(s);
    for (const ComparedMeasure &m : c->measures)
        c->rows.push_back(test_measure(s, *c, m, how));
    fill_q(&c->rows);
    return test_shape(s, c, how, error) ? EXIT_DONE : EXIT_UNUSABLE;
}

/* The subjects with a recording in each condition, and those with one; false when a subject has two
 * recordings in one condition or the table lacks a column. */
static bool collect_pairs(const MeasuredStudy &s, const std::string &first, const std::string &second, const char *option,
                          std::vector<std::array<size_t, 2>> *pairs, std::vector<std::string> *left_out,
                          std::string *error)
{
    if (!s.table.has_subject || !s.table.has_condition) {
        *error = s.table.name + ": " + option + " needs a \"" + (s.table.has_subject ? "condition" : "subject") +
                 "\" column, and the table has none";
        return false;
    }
    std::vector<std::string> order;
    std::map<std::string, std::array<long, 2>> found;
    for (size_t r = 0; r < s.recordings.size(); r++) {
        const StudyRow &row = s.recordings[r].row;
        int side = row.condition == first ? 0 : row.condition == second ? 1 : -1;
        if (row.subject.empty() || side < 0)
            continue;
        auto slot = found.emplace(row.subject, std::array<long, 2>{-1, -1});
        if (slot.second)
            order.push_back(row.subject);
        long &recording = slot.first->second[(size_t)side];
        if (recording >= 0) {
            *error = s.table.name + ": the subject \"" + row.subject + "\" has two recordings in the condition \"" +
                     row.condition + "\" (lines " + std::to_string(s.recordings[(size_t)recording].row.line) +
                     " and " + std::to_string(row.line) + ")";
            return false;
        }
        recording = (long)r;
    }
    for (const std::string &subject : order) {
        const std::array<long, 2> &pair = found[subject];
        if (pair[0] >= 0 && pair[1] >= 0)
            pairs->push_back({(size_t)pair[0], (size_t)pair[1]});
        else
            left_out->push_back(subject);
    }
    return true;
}

bool pair_subjects(const MeasuredStudy &s, const std::string &first, const std::string &second, const char *option,
                   size_t least, std::vector<std::array<size_t, 2>> *pairs, std::vector<std::string> *left_out,
                   std::string *error)
{
    if (!collect_pairs(s, first, second, option, pairs, left_out, error))
        return false;
    for (const std::string &condition : {first, second})
        if (!has_condition(s, condition)) {
            *error = s.table.name + ": " + not_in_table(s, condition, true);
            return false;
        }
    if (pairs->size() < least) {
        *error = s.table.name + ": " + count_of(pairs->size(), "subject has", "subjects have") +
                 " a recording in both \"" + first + "\" and \"" + second + "\"; " + option + " needs at least " +
                 std::to_string(least);
        return false;
    }
    return true;
}

static PairedRow test_change(const MeasuredStudy &s, const PairedComparison &c, const ComparedMeasure &m,
                             const Permutations &how)
{
    PairedRow row;
    std::vector<double> before, after, changes;
    for (const auto &pair : c.pairs) {
        double b = measure_value(s.recordings[pair[0]].measured, m), a = measure_value(s.recordings[pair[1]].measured, m);
        if (isnan(b) || isnan(a))
            continue;
        before.push_back(b);
        after.push_back(a);
        changes.push_back(a - b);
    }
    row.before = summarise(before);
    row.after = summarise(after);
    Summary change = summarise(changes);
    row.test.n = change.n;
    row.test.change = change.mean;
    row.test.sd_change = change.sd;
    row.tested = change.n >= 2 && change.sd >= least_se;
    if (row.tested) {
        row.test = paired_test(changes);
        row.p = sign_flip_p(changes, how);
    }
    return row;
}

bool compare_paired(const MeasuredStudy &s, const std::string &before, const std::string &after,
                    const Permutations &how, PairedComparison *c, std::string *error)
{
    c->before = before;
    c->after = after;
    if (!pair_subjects(s, before, after, "--paired", 2, &c->pairs, &c->left_out, error))
        return false;
    c->measures = compared_measures(s);
    for (const ComparedMeasure &m : c->measures)
        c->rows.push_back(test_change(s, *c, m, how));
    fill_q(&c->rows);
    return true;
}

std::string groups_table(const GroupComparison &c)
{
    std::string text = std::string(groups_header) + "\n";
    for (size_t i = 0; i < c.rows.size(); i++) {
        const GroupRow &r = c.rows[i];
        text += measure_fields(c.measures[i]);
        append_integer(&text, (long)r.a.n);
        append_decimal(&text, r.a.mean, 4);
        append_decimal(&text, r.a.sd, 4);
        append_integer(&text, (long)r.b.n);
        append_decimal(&text, r.b.mean, 4);
        append_decimal(&text, r.b.sd, 4);
        for (double v : {r.welch.difference, r.welch.ci_low, r.welch.ci_high, r.welch.t, r.welch.df})
            append_decimal(&text, v, 4);
        append_decimal(&text, r.p, 6);
        append_decimal(&text, r.q, 6);
        text += "\n";
    }
    return text;
}

std::string shape_table(const GroupComparison &c)
{
    std::string text = "modes,n_a,n_b,t2,p\n" + std::to_string(c.shape.modes);
    append_integer(&text, (long)c.shape.n_a);
    append_integer(&text, (long)c.shape.n_b);
    append_decimal(&text, c.shape.t2, 4);
    append_decimal(&text, c.shape.p, 6);
    return text + "\n";
}

std::string paired_table(const PairedComparison &c)
{
    std::string text = std::string(paired_header) + "\n";
    for (size_t i = 0; i < c.rows.size(); i++) {
        const PairedRow &r = c.rows[i];
        text += measure_fields(c.measures[i]);
        append_integer(&text, (long)r.test.n);
        for (double v : {r.before.mean, r.after.mean, r.test.change, r.test.sd_change})
            append_decimal(&text, v, 4);
        for (double v : {r.test.ci_low, r.test.ci_high, r.test.t})
            append_decimal(&text, r.tested ? v : NAN, 4);
        append_decimal(&text, r.p, 6);
        append_decimal(&text, r.q, 6);
        text += "\n";
    }
    return text;
}

std::string left_out_warning(const MeasuredStudy &s, const char *option, const std::string &first,
                             const std::string &second, const std::vector<std::string> &left_out)
{
    if (left_out.empty())
        return "";
    std::string names;
    for (const std::string &subject : left_out)
        names += (names.empty() ? "" : ", ") + subject;
    return s.table.name + ": left out of " + option + ", with a recording in only one of \"" + first + "\" and \"" +
           second + "\": " + names + "\n";
}
