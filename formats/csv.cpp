#include "csv.h"

#include <string.h>

#include <math.h>

#include <charconv>

std::string csv_field(const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

/* to_chars rounds as printf's %.Nf does, and is several times faster. */
void append_decimal(std::string *row, double value, int decimals)
{
    row->push_back(',');
    if (isnan(value))
        return;
    char number[400];
    std::to_chars_result end = std::to_chars(number, number + sizeof number, value, std::chars_format::fixed, decimals);
    row->append(number, end.ptr);
}

void append_integer(std::string *row, long value)
{
    *row += "," + std::to_string(value);
}

void append_frame(std::string *row, long frame)
{
    if (frame >= 0)
        append_integer(row, frame);
    else
        row->push_back(',');
}

size_t csv_column(const char *header, const char *name)
{
    size_t place = 1;
    for (const char *field = header;; place++) {
        const char *end = strchr(field, ',');
        size_t length = end ? (size_t)(end - field) : strlen(field);
        if (length == strlen(name) && strncmp(field, name, length) == 0)
            return place;
        if (!end)
            return 0;
        field = end + 1;
    }
}

/* An unquoted field without the blanks around it, as a table written by hand has them. */
static std::string unquoted(const std::string &text)
{
    size_t first = text.find_first_not_of(" \t"), last = text.find_last_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

/* A quoted field from just after its opening quote; false when no quote closes it. */
static bool read_quoted(const std::string &text, size_t *at, int *line, std::string *field)
{
    for (size_t i = *at; i < text.size(); i++) {
        if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            *field += '"';
            i++;
        } else if (text[i] == '"') {
            *at = i + 1;
            return true;
        } else {
            *line += text[i] == '\n';
            *field += text[i];
        }
    }
    return false;
}

/* The separator a table uses: ';' where its first line has semicolons and no comma, as spreadsheets in
 * much of Europe write it; else ','. */
static char separator_of(const std::string &text, size_t from)
{
    size_t end = text.find('\n', from);
    std::string first = text.substr(from, end == std::string::npos ? std::string::npos : end - from);
    return first.find(',') == std::string::npos && first.find(';') != std::string::npos ? ';' : ',';
}

/* Where a table's text starts: after the byte-order mark a spreadsheet's "CSV UTF-8" writes first. */
static size_t text_start(const std::string &text)
{
    return text.compare(0, 3, "\xef\xbb\xbf") == 0 ? 3 : 0;
}

bool csv_record(const std::string &text, size_t *at, char separator, int *line, CsvRecord *record,
                std::string *what)
{
    const char stops[] = {separator, '\n', '\0'};
    *record = CsvRecord();
    record->line = *line;
    for (bool more = true; more;) {
        std::string field;
        if (*at < text.size() && text[*at] == '"') {
            int start = *line;
            (*at)++;
            if (!read_quoted(text, at, line, &field)) {
                *line = start;
                *what = "a quoted field has no closing quote";
                return false;
            }
            record->quoted = true;
            while (*at < text.size() && (text[*at] == ' ' || text[*at] == '\t' || text[*at] == '\r'))
                (*at)++;
            if (*at < text.size() && text[*at] != separator && text[*at] != '\n') {
                *what = "text follows a quoted field's closing quote";
                return false;
            }
        } else {
            size_t stop = text.find_first_of(stops, *at);
            stop = stop == std::string::npos ? text.size() : stop;
            field = text.substr(*at, stop - *at);
            if (!field.empty() && field.back() == '\r' && (stop == text.size() || text[stop] == '\n'))
                field.pop_back();
            field = unquoted(field);
            *at = stop;
        }
        record->fields.push_back(field);
        more = *at < text.size() && text[*at] == separator;
        if (*at < text.size()) {
            *line += text[*at] == '\n';
            (*at)++;
        }
    }
    return true;
}

bool csv_records(const std::string &text, const std::string &name, std::vector<CsvRecord> *records,
                 std::string *error)
{
    int line = 1;
    size_t at = text_start(text);
    const char separator = separator_of(text, at);
    while (at < text.size()) {
        CsvRecord record;
        std::string what;
        if (!csv_record(text, &at, separator, &line, &record, &what)) {
            *error = name + ":" + std::to_string(line) + ": " + what;
            return false;
        }
        if (record.fields.size() > 1 || record.quoted || !record.fields[0].empty())
            records->push_back(record);
    }
    return true;
}

std::vector<std::string> csv_fields(const std::string &line, char separator)
{
    size_t at = 0;
    int number = 1;
    CsvRecord record;
    std::string what;
    csv_record(line + "\n", &at, separator, &number, &record, &what);
    return record.fields;
}
