/* CSV as Mienscope writes it (comma-separated, a header row, '.' as the
 * decimal point, numbers with a fixed count of decimals, an empty field
 * where a value has none) and as every table it reads is split: RFC 4180
 * quoting, a field in double quotes holding separators, line breaks and
 * doubled quotes. */
#ifndef MIENSCOPE_CSV_H
#define MIENSCOPE_CSV_H

#include <stddef.h>

#include <string>
#include <vector>

std::string csv_field(const std::string &text);                        /* quoted, quotes doubled, only when it holds , " or a line break */
void append_decimal(std::string *row, double value, int decimals);     /* ",value" with that many decimals; "," alone for NAN */
void append_integer(std::string *row, long value);                     /* ",value" */
void append_frame(std::string *row, long frame);                       /* ",frame"; "," alone for -1 (no such frame) */
size_t csv_column(const char *header, const char *name);              /* name's place among header's comma-separated names, from 1 as gnuplot counts; 0: absent */

/* One row of a CSV text as the text holds it. */
struct CsvRecord {
    int line = 0;                    /* the physical line it starts on, from 1 */
    std::vector<std::string> fields; /* unquoted; an unquoted field without the blanks around it */
    bool quoted = false;             /* a field was quoted: a row of one empty quoted field is not blank */
};

/* A CSV text's records (RFC 4180: a field in double quotes may hold the separator, line breaks and doubled
 * quotes), blank lines skipped, CR before LF dropped, a UTF-8 byte-order mark at the start skipped, and ';'
 * the separator throughout when the first line has semicolons and no comma (as spreadsheets in much of
 * Europe save); false with "NAME:LINE: what is wrong" for a quote not closed or text after one. */
bool csv_records(const std::string &text, const std::string &name, std::vector<CsvRecord> *records,
                 std::string *error);
/* The record at *at, which is left after it and its line break, *line counting the lines it spans; false
 * with what is wrong (a quote not closed, text after one) and *line where it is. */
bool csv_record(const std::string &text, size_t *at, char separator, int *line, CsvRecord *record,
                std::string *what);
/* A CSV text's records (RFC 4180: a field in double quotes may hold the separator, line breaks and doubled
 * quotes), blank lines skipped, CR before LF dropped, a UTF-8 byte-order mark at the start skipped, and ';'
 * the separator throughout when the first line has semicolons and no comma (as spreadsheets in much of
 * Europe save); false with "NAME:LINE: what is wrong" for a quote not closed or text after one. */
bool csv_records(const std::string &text, const std::string &name, std::vector<CsvRecord> *records,
                 std::string *error);
/* One line's fields as csv_record splits them; a field whose quote is not closed, and any after it, are left out. */
std::vector<std::string> csv_fields(const std::string &line, char separator);

#endif
