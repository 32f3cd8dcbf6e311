#include "changes.h"

#include <math.h>
#include <stdio.h>

#include <algorithm>

#include "csv.h"
#include "file_io.h"
#include "reliability.h"
#include "text.h"

/* One row of the table into it; false with what is wrong with it. */
static bool take_mdc_row(const CsvRecord &row, const std::vector<std::string> &columns, MdcTable *table,
                         std::map<std::string, int> *lines, std::string *what)
{
    if (row.fields.size() != columns.size()) {
        *what = "the row has " + count_of(row.fields.size(), "field", "fields") + ", the header " +
                std::to_string(columns.size());
        return false;
    }
    const std::string &kind = row.fields[0], &mdc = row.fields[csv_column(reliability_header, "mdc95") - 1];
    std::string key = measure_key(kind, row.fields[1], row.fields[2]);
    double value = NAN;
    auto first = lines->emplace(key, row.line);
    if (!is_kind_name(kind))
        *what = "the kind \"" + printable(kind) + "\" is not marker, pair, face or face-side";
    else if (!mdc.empty() && !(parse_number(mdc, &value) && value >= 0))
        *what = "the mdc95 \"" + printable(mdc) + "\" is not empty nor a number from 0";
    else if (!first.second)
        *what = kind + " " + printable(row.fields[1]) + " " + printable(row.fields[2]) + " is named again after line " +
                std::to_string(first.first->second);
    else
        (*table)[key] = value > 0 ? value : NAN;
    return what->empty();
}

bool parse_mdc_table(const std::string &text, const std::string &name, MdcTable *table, std::string *error)
{
    std::vector<CsvRecord> rows;
    table->clear();
    if (!csv_records(text, name, &rows, error))
        return false;
    std::vector<std::string> columns = split_on(reliability_header, ',');
    if (rows.empty() || rows[0].fields != columns) {
        *error = name + ":" + std::to_string(rows.empty() ? 1 : rows[0].line) + ": not a reliability.csv: its header "
                 "is not \"" + reliability_header + "\"";
        return false;
    }
    std::map<std::string, int> lines;
    for (size_t i = 1; i < rows.size(); i++) {
        std::string what;
        if (!take_mdc_row(rows[i], columns, table, &lines, &what)) {
            *error = name + ":" + std::to_string(rows[i].line) + ": " + what;
            return false;
        }
    }
    return true;
}

bool read_mdc_table(const std::string &path, MdcTable *table, std::string *error)
{
    std::vector<uint8_t> bytes;
    return read_whole_file(path, (size_t)64 << 20, "is over 64 MiB; no reliability.csv is", &bytes, error) &&
           parse_mdc_table(std::string(bytes.begin(), bytes.end()), path, table, error);
}

/* One subject's change of one measure, against the MDC the table gives it. */
struct Change {
    double before = NAN, after = NAN, change = NAN, mdc = NAN;
    const char *beyond = ""; /* "yes", "no", or "" without a change or an MDC */
};

static Change change_of(const MeasuredStudy &s, const std::array<size_t, 2> &pair, const ComparedMeasure &m,
                        const MdcTable &mdc)
{
    Change c;
    c.before = measure_value(s.recordings[pair[0]].measured, m);
    c.after = measure_value(s.recordings[pair[1]].measured, m);
    c.change = c.after - c.before;
    auto found = mdc.find(measure_fields(m));
    c.mdc = found == mdc.end() ? NAN : found->second;
    if (!isnan(c.change) && !isnan(c.mdc))
        c.beyond = fabs(c.change) > c.mdc ? "yes" : "no";
    return c;
}

std::string changes_table(const MeasuredStudy &s, const PairedComparison &c, const MdcTable &mdc)
{
    std::string text = "subject,kind,name,measure,before,after,change,mdc95,beyond\n";
    for (const auto &pair : c.pairs)
        for (const ComparedMeasure &m : c.measures) {
            Change ch = change_of(s, pair, m, mdc);
            text += csv_field(s.recordings[pair[0]].row.subject) + "," + measure_fields(m);
            for (double v : {ch.before, ch.after, ch.change, ch.mdc})
                append_decimal(&text, v, 4);
            text += std::string(",") + ch.beyond + "\n";
        }
    return text;
}

std::string changes_summary(const MeasuredStudy &s, const PairedComparison &c, const MdcTable &mdc)
{
    std::string text;
    for (const auto &pair : c.pairs) {
        std::vector<std::pair<double, std::string>> ratios;
        size_t beyond = 0;
        for (const ComparedMeasure &m : c.measures) {
            Change ch = change_of(s, pair, m, mdc);
            if (*ch.beyond == '\0' || m.in_seconds) /* a measure once: its seconds form is its frame form again */
                continue;
            beyond += *ch.beyond == 'y';
            ratios.push_back({fabs(ch.change) / ch.mdc, m.name + " " + m.measure});
        }
        std::stable_sort(ratios.begin(), ratios.end(), [](const auto &x, const auto &y) { return x.first > y.first; });
        text += s.recordings[pair[0]].row.subject + ": " + std::to_string(beyond) + " of " +
                count_of(ratios.size(), "measure", "measures") + " changed beyond the MDC";
        for (size_t i = 0; i < ratios.size() && i < 3; i++) {
            char ratio[32];
            snprintf(ratio, sizeof ratio, " %.2f", ratios[i].first);
            text += (i == 0 ? "; largest change/MDC: " : ", ") + ratios[i].second + ratio;
        }
        text += "\n";
    }
    return text;
}
