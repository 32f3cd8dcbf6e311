/* The tables Mienscope writes: comma-separated, a header row, '.' as the
 * decimal point, numbers with a fixed count of decimals, an empty field
 * where a value has none. */
#ifndef MIENSCOPE_CSV_H
#define MIENSCOPE_CSV_H

#include <string>

std::string csv_field(const std::string &text);                        /* quoted, quotes doubled, only when it holds , " or a line break */
void append_decimal(std::string *row, double value, int decimals);     /* ",value" with that many decimals; "," alone for NAN */
void append_integer(std::string *row, long value);                     /* ",value" */
void append_frame(std::string *row, long frame);                       /* ",frame"; "," alone for -1 (no such frame) */

#endif
