/* libFuzzer target: arbitrary bytes as a study table. What it accepts has a
 * file and a group in every row, and no file twice; what it refuses says
 * where, as TABLE:LINE. */
#include <stdint.h>
#include <stdlib.h>

#include <set>
#include <string>

#include "study_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    StudyTable table;
    std::string error;
    if (!parse_study_table(std::string((const char *)data, size), "fuzz.csv", &table, &error)) {
        if (error.compare(0, 9, "fuzz.csv:") != 0)
            abort();
        return 0;
    }
    std::set<std::string> paths;
    int line = 1;
    for (const StudyRow &row : table.rows) {
        if (row.file.empty() || row.group.empty() || row.line <= line || !paths.insert(row.path).second)
            abort();
        line = row.line;
    }
    unique_names(std::vector<std::string>(paths.begin(), paths.end()));
    return 0;
}
