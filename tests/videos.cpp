#include "videos.h"

#include <math.h>
#include <stdlib.h>

#include "testfiles.h"

FaceTable face_table(const std::string &csv)
{
    FaceTable table;
    size_t start = 0;
    bool header = true;
    while (start < csv.size()) {
        size_t end = csv.find('\n', start);
        std::string line = csv.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? csv.size() : end + 1;
        std::vector<std::string> fields;
        for (size_t at = 0;;) {
            size_t comma = line.find(", ", at);
            fields.push_back(line.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
            if (comma == std::string::npos)
                break;
            at = comma + 2;
        }
        if (header) {
            table.columns = fields;
            header = false;
            continue;
        }
        std::map<std::string, std::string> row;
        for (size_t i = 0; i < fields.size() && i < table.columns.size(); i++)
            row[table.columns[i]] = fields[i];
        table.rows.push_back(row);
    }
    return table;
}

double number(const std::map<std::string, std::string> &row, const std::string &column)
{
    auto found = row.find(column);
    return found == row.end() ? NAN : strtod(found->second.c_str(), nullptr);
}

double landmark_distance(const std::map<std::string, std::string> &row, int a, int b, char axis)
{
    std::string x(1, axis), y(1, axis == 'X' ? 'Y' : 'y');
    return hypot(number(row, x + "_" + std::to_string(a)) - number(row, x + "_" + std::to_string(b)),
                 number(row, y + "_" + std::to_string(a)) - number(row, y + "_" + std::to_string(b)));
}

double mean_distance(const FaceTable &table, size_t first, size_t last, int a, int b, char axis)
{
    double sum = 0.0;
    for (size_t r = first; r < last; r++)
        sum += landmark_distance(table.rows[r], a, b, axis);
    return sum / (double)(last - first);
}

bool ffmpeg(const std::vector<std::string> &args, std::string *messages)
{
    std::vector<std::string> all = {"-v", "error", "-nostdin", "-y"};
    all.insert(all.end(), args.begin(), args.end());
    ProgramRun run = run_program("/usr/bin/ffmpeg", all);
    *messages = run.err;
    return run.status == 0;
}

std::string filtered_video(const std::string &folder, const std::string &name, const std::string &filters)
{
    std::string path = folder + "/" + name, messages;
    bool made = ffmpeg({"-i", testdata_path("video/single_face.mp4"), "-an", "-vf", filters, path}, &messages);
    return made ? path : "";
}

std::vector<unsigned char> ffmpeg_gray_frame(const std::string &video, int *width, int *height)
{
    std::string folder = make_temp_folder(), messages;
    std::string picture = folder + "/first.pgm";
    if (!ffmpeg({"-i", video, "-frames:v", "1", "-pix_fmt", "gray", picture}, &messages))
        return {};
    std::string pgm = read_file(picture);
    int maximum = 0, offset = 0;
    if (sscanf(pgm.c_str(), "P5 %d %d %d%n", width, height, &maximum, &offset) != 3 || maximum != 255)
        return {};
    offset++; /* the one blank after the header */
    return std::vector<unsigned char>(pgm.begin() + offset, pgm.end());
}
