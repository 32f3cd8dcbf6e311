#include "openface_table.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <charconv>

#include "openface.h"

/* Millimetres per pixel in the frame: the eye distance over that of the eyes' centres. */
static double mm_per_pixel(const TrackedFrame &frame, double eye_mm)
{
    double centre[2][2] = {{0, 0}, {0, 0}};
    for (int eye = 0; eye < 2; eye++)
        for (int i = 36 + 6 * eye; i < 42 + 6 * eye; i++)
            for (int a = 0; a < 2; a++)
                centre[eye][a] += frame.xy[2 * i + a] / 6.0;
    double apart = hypot(centre[1][0] - centre[0][0], centre[1][1] - centre[0][1]);
    return apart > 0 ? eye_mm / apart : 0.0;
}

/* ", " and the value with that many decimals, rounded as printf's %.Nf rounds it (to_chars, which is
 * several times faster: a table has 340 numbers a row). */
static void append(std::string *row, int decimals, double value)
{
    char text[64] = {',', ' '};
    std::to_chars_result end = std::to_chars(text + 2, text + sizeof text, value, std::chars_format::fixed, decimals);
    row->append(text, end.ec == std::errc() ? end.ptr : text + 2);
}

static std::string row_of(const TrackedFrame &frame, size_t number, double eye_mm, const char *version)
{
    std::string row = std::to_string(number) + ", 0";
    append(&row, 6, frame.seconds);
    row += frame.found ? ", 1, 1" : ", 0, 0";
    double k = frame.found ? mm_per_pixel(frame, eye_mm) : 0.0;
    for (int a = 0; a < 2; a++)
        for (int i = 0; i < FACE_LANDMARKS; i++)
            append(&row, 3, frame.found ? frame.xy[2 * i + a] : 0.0);
    double centre[2] = {frame.width / 2.0, frame.height / 2.0};
    for (int a = 0; a < 2; a++)
        for (int i = 0; i < FACE_LANDMARKS; i++)
            append(&row, 4, frame.found ? (frame.xy[2 * i + a] - centre[a]) * k : 0.0);
    for (int i = 0; i < FACE_LANDMARKS; i++)
        row += ", 0";
    return row + ", mienscope-track " + version + "\n";
}

std::string openface_table(const TrackedVideo &video, double eye_mm, const char *version)
{
    std::string table = tracker_table_header();
    for (size_t f = 0; f < video.frames.size(); f++)
        table += row_of(video.frames[f], f + 1, eye_mm, version);
    return table;
}

/* Read by the importer's reader of OpenFace tables, as any program reads it; a table this program wrote
 * has no row that reader drops or warns of. */
bool read_openface_table(const std::string &text, TrackedVideo *video)
{
    *video = TrackedVideo();
    std::string first = tracker_table_header(), error;
    Recording rec;
    OpenFaceImage image;
    if (text.compare(0, first.size(), first) != 0 ||
        !read_openface((const uint8_t *)text.data(), text.size(), ReadOptions(), &rec, &error, &image) ||
        !rec.warnings.empty() || rec.frames == 0 || image.xy.size() != rec.frames * 2 * FACE_LANDMARKS)
        return false;
    for (size_t f = 0; f < rec.frames; f++) {
        TrackedFrame frame;
        frame.seconds = rec.times[f];
        frame.found = image.found[f];
        if (frame.found)
            frame.xy.assign(image.xy.begin() + f * 2 * FACE_LANDMARKS, image.xy.begin() + (f + 1) * 2 * FACE_LANDMARKS);
        video->frames.push_back(std::move(frame));
    }
    return true;
}
