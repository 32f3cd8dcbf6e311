/* Writing the output files so that a failure leaves no trace: each is
 * written to a temporary file in its own folder and put in place only
 * when all are complete. */
#ifndef MIENSCOPE_OUTPUT_FILES_H
#define MIENSCOPE_OUTPUT_FILES_H

#include <string>
#include <vector>

struct OutputFile {
    std::string path;
    std::string text;
};

/* Without force, a file that exists is refused and left untouched. Errors start with the path. */
bool check_replaceable(const std::string &path, bool force, std::string *error);
/* All or none: on any error no file has been created or changed. */
bool write_all_or_none(const std::vector<OutputFile> &files, bool force, std::string *error);

#endif
