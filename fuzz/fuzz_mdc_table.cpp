/* libFuzzer target: arbitrary bytes as the --mdc table (a reliability.csv).
 * What it accepts holds only MDCs above 0; what it refuses says where, as
 * TABLE:LINE. */
#include <math.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "changes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MdcTable table;
    std::string error;
    if (!parse_mdc_table(std::string((const char *)data, size), "fuzz.csv", &table, &error)) {
        if (error.compare(0, 9, "fuzz.csv:") != 0)
            abort();
        return 0;
    }
    for (const auto &entry : table)
        if (!(isnan(entry.second) || entry.second > 0))
            abort();
    return 0;
}
