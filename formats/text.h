/* Small text helpers every layer shares: lines and cells, numbers as the
 * readers and the command lines take them, messages, and getopt_long. */
#ifndef MIENSCOPE_TEXT_H
#define MIENSCOPE_TEXT_H

#include <stddef.h>

#include <functional>
#include <string>
#include <vector>

struct option;

std::vector<std::string> split_lines(const char *data, size_t size); /* on \n, each without a trailing \r */
std::vector<std::string> split_on(const std::string &line, char separator); /* every cell, empty ones too */
std::vector<std::string> split_blanks(const std::string &line);    /* on runs of blanks and tabs, no empty cells */
std::string trim(const std::string &text);                         /* without leading and trailing blanks, tabs, CR */
std::string lower(const std::string &text);                        /* ASCII letters in lower case */
std::string printable(const std::string &text);                    /* control bytes as '?', for messages */
bool parse_number(const std::string &cell, double *value);         /* the whole cell, blanks aside, as a finite number */
bool parse_integer(const std::string &cell, long *value);          /* the whole cell, blanks aside, as a decimal integer */
bool contains_ignoring_case(const std::string &text, const std::string &part);
bool ends_with(const std::string &text, const std::string &end); /* end, with something before it */
std::string count_of(size_t count, const char *one, const char *many); /* "1 row", "2 rows" */
/* A command line through getopt_long (options may follow operands): take(code, value) for each option,
 * the operands in order; false with a usage message for an unknown option or one take refuses. */
bool read_options(int argc, char **argv, const struct option *options,
                  const std::function<bool(int, const char *)> &take, std::vector<std::string> *operands,
                  std::string *error);

#endif
