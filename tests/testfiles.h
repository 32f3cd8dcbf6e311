/* Small file helpers shared by the unit and window tests. */
#ifndef MIENSCOPE_TESTFILES_H
#define MIENSCOPE_TESTFILES_H

#include <string>

std::string make_temp_folder();                                    /* a new empty folder under TMPDIR, removed at exit */
void write_file(const std::string &path, const std::string &text); /* creates or replaces */
std::string read_file(const std::string &path);                    /* "" if it can't be read */
std::string temp_file(const std::string &text);                    /* text in a new file; returns its path */

#endif
