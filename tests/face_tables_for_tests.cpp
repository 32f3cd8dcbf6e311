/* OpenFace tables of a real face moved by construction. */
#include "face_tables_for_tests.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "csv.h"
#include "face_files.h"
#include "testfiles.h"

std::string closing_left_eye(double closed, double corner_mm)
{
    std::vector<CsvRecord> rows;
    std::string error;
    if (!csv_records(read_file(testdata_path("openface/smile_demo.csv")), "smile_demo.csv", &rows, &error) ||
        rows.size() < 2)
        return "";
    const std::vector<std::string> &names = rows[0].fields;
    auto column = [&](const std::string &name) {
        return (size_t)(std::find(names.begin(), names.end(), name) - names.begin());
    };
    std::string table;
    for (size_t i = 0; i < names.size(); i++)
        table += (i ? ", " : "") + names[i];
    for (int f = 0; f < FACE_FRAMES; f++) {
        std::vector<std::string> row = rows[1].fields;
        double along = 1.0 - fabs(f - 90) / 90.0, closing = closed * along;
        for (auto [upper, lower] : {std::pair<int, int>{43, 47}, {44, 46}})
            for (const char *axis : {"X_", "Y_", "Z_"}) {
                double top = atof(row[column(axis + std::to_string(upper))].c_str());
                double bottom = atof(row[column(axis + std::to_string(lower))].c_str());
                char moved[64];
                snprintf(moved, sizeof moved, "%.9f", top + closing * (bottom - top));
                row[column(axis + std::to_string(upper))] = moved;
            }
        char corner[64];
        snprintf(corner, sizeof corner, "%.9f", atof(row[column("X_48")].c_str()) - corner_mm * along);
        row[column("X_48")] = corner;
        row[column("frame")] = std::to_string(f + 1);
        row[column("timestamp")] = std::to_string(f / 30.0);
        table += "\n";
        for (size_t i = 0; i < row.size(); i++)
            table += (i ? ", " : "") + row[i];
    }
    return table + "\n";
}
