#include "study_table.h"

#include <filesystem>
#include <map>
#include <set>

#include "csv.h"
#include "detect.h"
#include "file_io.h"
#include "inputs.h"
#include "text.h"

/* Where each named column stands; -1 for one the header lacks. */
struct Columns {
    int file = -1, group = -1, subject = -1, condition = -1, expression = -1;
};

const char *const exam_expressions[] = {"rest", "brow", "eyes_gentle", "eyes_tight", "smile", "teeth", "pucker"};
const size_t exam_expression_count = sizeof exam_expressions / sizeof exam_expressions[0];

/* An exam row's expression and subject; false with what is wrong with them. */
static bool check_exam_row(StudyRow *row, std::string *what)
{
    std::string allowed;
    for (size_t i = 0; i < exam_expression_count; i++) {
        if (lower(row->expression) == exam_expressions[i]) {
            row->expression = exam_expressions[i];
            if (row->subject.empty())
                *what = "an exam (a table with an expression column) needs a subject in every row";
            return what->empty();
        }
        allowed += (i == 0 ? "" : i + 1 == exam_expression_count ? " or " : ", ") + std::string(exam_expressions[i]);
    }
    *what = "the expression \"" + printable(row->expression) + "\" is not " + allowed;
    return false;
}

static bool find_columns(const CsvRecord &header, const std::string &name, Columns *c, std::string *error)
{
    std::map<std::string, int *> wanted = {
        {"file", &c->file},           {"group", &c->group}, {"subject", &c->subject}, {"condition", &c->condition},
        {"expression", &c->expression}};
    for (size_t i = 0; i < header.fields.size(); i++) {
        auto column = wanted.find(lower(header.fields[i]));
        if (column == wanted.end())
            continue;
        if (*column->second >= 0) {
            *error = name + ":" + std::to_string(header.line) + ": the column \"" + column->first + "\" is named twice";
            return false;
        }
        *column->second = (int)i;
    }
    if (c->file >= 0 && c->group >= 0)
        return true;
    *error = name + ":" + std::to_string(header.line) + ": the header names no \"" + (c->file < 0 ? "file" : "group") +
             "\" column; a study table needs \"file\" and \"group\"";
    return false;
}

static std::string folder_of(const std::string &path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

/* The same file however it is written: the path made absolute, with its dots and links resolved. */
static std::string same_file_key(const std::string &path)
{
    std::error_code ignored;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(path), ignored);
    return resolved.empty() ? path : resolved.lexically_normal().string();
}

static bool take_row(const CsvRecord &r, const Columns &c, const std::string &name, StudyTable *table, std::string *error)
{
    std::string where = name + ":" + std::to_string(r.line) + ": ";
    StudyRow row;
    row.line = r.line;
    row.file = r.fields[(size_t)c.file];
    row.group = r.fields[(size_t)c.group];
    row.subject = c.subject >= 0 ? r.fields[(size_t)c.subject] : "";
    row.condition = c.condition >= 0 ? r.fields[(size_t)c.condition] : "";
    row.expression = c.expression >= 0 ? r.fields[(size_t)c.expression] : "";
    if (row.file.empty() || row.group.empty()) {
        *error = where + "the " + (row.file.empty() ? "file" : "group") + " is empty";
        return false;
    }
    std::string what;
    if (c.expression >= 0 && !check_exam_row(&row, &what)) {
        *error = where + what;
        return false;
    }
    row.path = row.file[0] == '/' ? row.file : folder_of(name) + row.file;
    table->rows.push_back(row);
    return true;
}

/* In an exam, each subject's expression once. */
static bool check_exam_repeats(const StudyTable &table, std::string *error)
{
    std::map<std::pair<std::string, std::string>, int> seen;
    for (const StudyRow &row : table.rows) {
        auto first = seen.emplace(std::make_pair(row.subject, row.expression), row.line);
        if (first.second)
            continue;
        *error = table.name + ":" + std::to_string(row.line) + ": the subject \"" + printable(row.subject) +
                 "\" has the expression \"" + row.expression + "\" on line " + std::to_string(first.first->second) +
                 " already";
        return false;
    }
    return true;
}

static bool check_repeats(const StudyTable &table, std::string *error)
{
    std::map<std::string, int> seen;
    for (const StudyRow &row : table.rows) {
        auto first = seen.emplace(same_file_key(row.path), row.line);
        if (first.second)
            continue;
        *error = table.name + ":" + std::to_string(row.line) + ": \"" + printable(row.file) +
                 "\" is the file of line " + std::to_string(first.first->second) + " again";
        return false;
    }
    return true;
}

bool parse_study_table(const std::string &text, const std::string &name, StudyTable *table, std::string *error)
{
    std::vector<CsvRecord> records;
    Columns c;
    *table = StudyTable();
    table->name = name;
    if (!csv_records(text, name, &records, error))
        return false;
    if (records.empty()) {
        *error = name + ":1: the table is empty; a study table needs a header naming \"file\" and \"group\"";
        return false;
    }
    if (!find_columns(records[0], name, &c, error))
        return false;
    if (records.size() == 1) {
        *error = name + ": no recordings in the table";
        return false;
    }
    table->has_subject = c.subject >= 0;
    table->has_condition = c.condition >= 0;
    table->has_expression = c.expression >= 0;
    for (size_t i = 1; i < records.size(); i++) {
        if (records[i].fields.size() != records[0].fields.size()) {
            *error = name + ":" + std::to_string(records[i].line) + ": the row has " +
                     count_of(records[i].fields.size(), "field", "fields") + ", the header " +
                     std::to_string(records[0].fields.size());
            return false;
        }
        if (!take_row(records[i], c, name, table, error))
            return false;
    }
    return check_repeats(*table, error) && (!table->has_expression || check_exam_repeats(*table, error));
}

bool read_study_table(const std::string &path, StudyTable *table, std::string *error)
{
    std::vector<uint8_t> bytes;
    if (!read_input_file(path, &bytes, error))
        return false;
    return parse_study_table(std::string(bytes.begin(), bytes.end()), path, table, error);
}

std::string study_location(const StudyTable &table, const StudyRow &row)
{
    return table.name.empty() ? "" : table.name + ":" + std::to_string(row.line) + ": ";
}

bool table_of_files(const std::vector<std::string> &operands, StudyTable *table, std::string *error)
{
    std::vector<std::string> files;
    *table = StudyTable();
    if (!expand_folders(operands, &files, error))
        return false;
    for (const std::string &file : files) {
        StudyRow row;
        row.file = row.path = file;
        table->rows.push_back(row);
    }
    return true;
}

bool is_study_table(const std::string &path)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ends_with(lower(path), ".csv") || !read_input_file(path, &bytes, &error) ||
        is_recording(bytes.data(), bytes.size()))
        return false;
    std::string text(bytes.begin(), bytes.end());
    std::vector<CsvRecord> records;
    if (!csv_records(text.substr(0, text.find('\n') + 1), path, &records, &error) || records.empty())
        return false;
    for (const std::string &field : records[0].fields)
        if (lower(field) == "file" || lower(field) == "group")
            return true;
    return false;
}

/* The base name without its last extension; a name that starts with its only dot keeps it. */
static std::string stem(const std::string &file)
{
    std::string base = base_name(file);
    size_t dot = base.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

std::vector<std::string> unique_names(const std::vector<std::string> &files)
{
    std::vector<std::string> names;
    std::set<std::string> used = {"index"}; /* the report's index page is index.html */
    std::map<std::string, int> count;
    for (const std::string &file : files) {
        std::string base = stem(file), name = base;
        while (used.count(name))
            name = base + "-" + std::to_string(++count[base] + 1);
        used.insert(name);
        names.push_back(name);
    }
    return names;
}
