#include "face_tables.h"

#include "csv.h"

const char face_header[] = "file,measure,side,rest,extreme,change,extreme_frame,extreme_s,closure_pct";
const char face_sides_header[] = "file,measure,rest_R,rest_L,rest_ratio,rest_asymmetry_pct,change_R,change_L,"
                                 "change_ratio,change_asymmetry_pct";

std::string face_table(const std::vector<MeasuredFile> &files)
{
    std::string text = std::string(face_header) + "\n";
    std::vector<FaceRow> rows = face_rows();
    for (const MeasuredFile &file : files)
        for (size_t r = 0; r < rows.size() && has_face(file); r++) {
            const FaceSummary &s = file.face[r];
            text += csv_field(file.path) + "," + rows[r].measure->name + "," +
                    face_side_name(*rows[r].measure, rows[r].side);
            for (double v : {s.rest, s.extreme, s.change})
                append_decimal(&text, v, 4);
            append_integer(&text, s.extreme_frame);
            append_decimal(&text, s.extreme_frame * frame_seconds(file), 4);
            append_decimal(&text, s.closure_pct, 4);
            text += "\n";
        }
    return text;
}

/* The two sides' values, then their ratio and asymmetry. */
static void append_sides(std::string *text, double right, double left)
{
    FaceSides sides = compare_face_sides(right, left);
    for (double v : {right, left, sides.ratio, sides.asymmetry_pct})
        append_decimal(text, v, 4);
}

std::string face_sides_table(const std::vector<MeasuredFile> &files)
{
    std::string text = std::string(face_sides_header) + "\n";
    std::vector<FaceRow> rows = face_rows();
    for (const MeasuredFile &file : files)
        for (size_t r = 0; r + 1 < rows.size() && has_face(file); r++)
            if (rows[r].measure->sided && rows[r].side == FACE_R) { /* R, and L the row after */
                text += csv_field(file.path) + "," + rows[r].measure->name;
                append_sides(&text, file.face[r].rest, file.face[r + 1].rest);
                append_sides(&text, file.face[r].change, file.face[r + 1].change);
                text += "\n";
            }
    return text;
}

std::string face_curves_table(const std::vector<MeasuredFile> &files)
{
    std::string text = "file,measure,side,frame,value\n";
    std::vector<FaceRow> rows = face_rows();
    for (const MeasuredFile &file : files)
        for (size_t r = 0; r < rows.size() && has_face(file); r++) {
            std::string start = csv_field(file.path) + "," + rows[r].measure->name + "," +
                                face_side_name(*rows[r].measure, rows[r].side);
            for (int f = 0; f < FACE_FRAMES; f++) {
                text += start;
                append_integer(&text, f);
                append_decimal(&text, file.face_series[r][(size_t)f], 4);
                text += "\n";
            }
        }
    return text;
}

std::string no_face_message(const std::string &path)
{
    return path + ": face measures need the 68 face landmarks (a video or an OpenFace table)";
}
