/* A study table: which recordings a study holds, and the group, subject
 * and condition of each. Comma-separated with RFC 4180 quoting (a field
 * in double quotes may hold commas, line breaks and doubled quotes), a
 * header row that names at least the columns "file" and "group", in any
 * order and any case, and optionally "subject", "condition" and
 * "expression"; other columns are ignored, blank lines skipped. A file is
 * relative to the table's folder unless absolute. A table with an
 * expression column is an exam: each row one expression of the standard
 * set (exam_expressions) of a subject, once. */
#ifndef MIENSCOPE_STUDY_TABLE_H
#define MIENSCOPE_STUDY_TABLE_H

#include <string>
#include <vector>

/* One recording of the study. */
struct StudyRow {
    int line = 0;          /* the physical line its row starts on; the header is line 1 */
    std::string file;      /* as written in the table */
    std::string path;      /* the file as a path from here: joined to the table's folder unless absolute */
    std::string group, subject, condition; /* "" where the table has no such column */
    std::string expression;                /* one of exam_expressions in lower case; "" without the column */
};

struct StudyTable {
    std::string name; /* the table's path, for messages */
    bool has_subject = false, has_condition = false, has_expression = false;
    std::vector<StudyRow> rows;
};

extern const char *const exam_expressions[]; /* rest, brow, eyes_gentle, eyes_tight, smile, teeth, pucker */
extern const size_t exam_expression_count;
/* The table's text parsed; false with "NAME:LINE: what is wrong" (no file or group column, a row with
 * another number of fields, an empty file or group, a file twice, a quote not closed; in an exam, an
 * expression not of the set, a row without a subject, a subject's expression twice). */
bool parse_study_table(const std::string &text, const std::string &name, StudyTable *table, std::string *error);
bool read_study_table(const std::string &path, StudyTable *table, std::string *error); /* the file read, then parsed */
/* Files and folders of a command line as a table without a name: a row each, no group, subject or condition. */
bool table_of_files(const std::vector<std::string> &operands, StudyTable *table, std::string *error);
/* Whether a file is a study table rather than a recording: a .csv file (any case) that is not a recording
 * and whose header names "file" or "group" (any case), so that a typo in the other gets the table's own
 * message. */
bool is_study_table(const std::string &path);
std::string study_location(const StudyTable &table, const StudyRow &row); /* "NAME:LINE: ", or "" without a name */
/* Each row's file's base name without its extension, with -2, -3 ... after names met before, in order;
 * "index" counts as met, so that a recording named index.* never takes the report's index page's name. */
std::vector<std::string> unique_names(const std::vector<std::string> &files);

#endif
