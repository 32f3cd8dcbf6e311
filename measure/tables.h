/* The measures as CSV tables (../formats/csv.h): one row per file and
 * marker, per file and pair, and per file, marker and frame. */
#ifndef MIENSCOPE_TABLES_H
#define MIENSCOPE_TABLES_H

#include <array>
#include <string>
#include <vector>

#include "measured_file.h"

/* Columns that stand after "file" in the rows of markers.csv and pairs.csv: their names, and each file's fields. */
struct FileColumns {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> fields; /* one list per file, or none at all */
};

std::string markers_table(const std::vector<MeasuredFile> &files, const Study &study,
                          const FileColumns &extra = FileColumns()); /* markers.csv */
std::string pairs_table(const std::vector<MeasuredFile> &files, const Study &study,
                        const FileColumns &extra = FileColumns()); /* pairs.csv */
std::string curves_table(const std::vector<MeasuredFile> &files, const Study &study);  /* curves.csv: file, then marker, then frame */

#endif
