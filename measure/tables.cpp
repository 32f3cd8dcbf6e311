#include "tables.h"

#include "csv.h"
#include "smoothing.h"

MeasuredFile measure_file(const std::string &path, const FacePositions &xyz, double seconds, const Study &study)
{
    MeasuredFile file;
    file.path = path;
    file.seconds = seconds;
    const MeasureSettings &s = study.settings;
    FacePositions smoothed = s.smooth_hz > 0.0 ? smooth_positions(xyz, s.smooth_hz, (FACE_FRAMES - 1) / seconds)
                                               : s.in_plane ? xyz : FacePositions();
    if (s.in_plane) /* every depth the same: distances, speeds and peaks in the picture's plane */
        for (size_t i = 2; i < smoothed.size(); i += 3)
            smoothed[i] = 0.0;
    const FacePositions &measured = s.smooth_hz > 0.0 || s.in_plane ? smoothed : xyz;
    for (int m = 0; m < FACE_MARKERS; m++) {
        file.markers.push_back(measure_marker(measured, m, s));
        std::vector<double> d = displacement_curve(measured, m, s);
        file.curves.insert(file.curves.end(), d.begin(), d.end());
    }
    for (const auto &pair : study.markers.pairs)
        file.pairs.push_back(measure_pair(file.markers[(size_t)pair[0]], file.markers[(size_t)pair[1]]));
    return file;
}

double frame_seconds(const MeasuredFile &file)
{
    return file.seconds / (FACE_FRAMES - 1);
}

/* Some file knows its time: the seconds columns are written. */
static bool any_seconds(const std::vector<MeasuredFile> &files)
{
    for (const MeasuredFile &file : files)
        if (!isnan(file.seconds))
            return true;
    return false;
}

/* A frame's time in seconds; NAN (an empty field) for no frame or no known time. */
static double seconds(int frame, double step)
{
    return frame < 0 ? NAN : frame * step;
}

/* "file" and the names of the columns after it. */
static std::string file_header(const FileColumns &extra)
{
    std::string header = "file";
    for (const std::string &name : extra.names)
        header += "," + name;
    return header;
}

/* The file's path and its fields of the columns after it. */
static std::string file_fields(const MeasuredFile &file, size_t index, const FileColumns &extra)
{
    std::string fields = csv_field(file.path);
    if (index < extra.fields.size())
        for (const std::string &field : extra.fields[index])
            fields += "," + csv_field(field);
    return fields;
}

static void append_marker_row(std::string *text, const std::string &file_part, const MeasuredFile &file, int m,
                              const Study &study, bool timed)
{
    const MarkerMeasure &mm = file.markers[(size_t)m];
    std::string row = file_part;
    append_integer(&row, m);
    row += "," + csv_field(study.markers.labels[(size_t)m]);
    append_decimal(&row, mm.peak, 4);
    append_frame(&row, mm.peak_frame);
    append_frame(&row, mm.onset_frame);
    append_frame(&row, mm.offset_frame);
    append_decimal(&row, mm.peak_speed, 4);
    for (double component : mm.peak_vector)
        append_decimal(&row, component, 4);
    if (timed) {
        double step = frame_seconds(file);
        append_decimal(&row, seconds(mm.peak_frame, step), 4);
        append_decimal(&row, seconds(mm.onset_frame, step), 4);
        append_decimal(&row, seconds(mm.offset_frame, step), 4);
        append_decimal(&row, mm.peak_speed / step, 4);
    }
    *text += row + "\n";
}

std::string markers_table(const std::vector<MeasuredFile> &files, const Study &study, const FileColumns &extra)
{
    bool timed = any_seconds(files);
    std::string text = file_header(extra) +
                       ",marker,label,peak_mm,peak_frame,onset_frame,offset_frame,peak_speed_mm_per_frame,dx_mm,dy_mm,dz_mm";
    text += timed ? ",peak_s,onset_s,offset_s,peak_speed_mm_per_s\n" : "\n";
    for (size_t i = 0; i < files.size(); i++) {
        std::string file_part = file_fields(files[i], i, extra);
        for (int m = 0; m < FACE_MARKERS; m++)
            append_marker_row(&text, file_part, files[i], m, study, timed);
    }
    return text;
}

std::string pairs_table(const std::vector<MeasuredFile> &files, const Study &study, const FileColumns &extra)
{
    bool timed = any_seconds(files);
    const MarkerNames &names = study.markers;
    std::string text = file_header(extra) +
                       ",left,right,left_peak_mm,right_peak_mm,ratio,difference_mm,asymmetry_pct,direction_cos,lag_frames";
    text += timed ? ",lag_s\n" : "\n";
    for (size_t f = 0; f < files.size(); f++)
        for (size_t i = 0; i < names.pairs.size(); i++) {
            const MeasuredFile &file = files[f];
            const PairMeasure &p = file.pairs[i];
            std::string row = file_fields(file, f, extra) + "," + csv_field(names.labels[(size_t)names.pairs[i][0]]) +
                              "," + csv_field(names.labels[(size_t)names.pairs[i][1]]);
            for (double value : {p.left_peak, p.right_peak, p.ratio, p.difference, p.asymmetry, p.direction})
                append_decimal(&row, value, 4);
            if (p.lag == NO_LAG)
                row += ",";
            else
                append_integer(&row, p.lag);
            if (timed)
                append_decimal(&row, p.lag == NO_LAG ? NAN : p.lag * frame_seconds(file), 4);
            text += row + "\n";
        }
    return text;
}

std::string curves_table(const std::vector<MeasuredFile> &files, const Study &study)
{
    std::string text = "file,frame,marker,label,displacement_mm\n";
    for (const MeasuredFile &file : files) {
        std::string name = csv_field(file.path);
        for (int m = 0; m < FACE_MARKERS; m++) {
            std::string label = "," + csv_field(study.markers.labels[(size_t)m]);
            const double *d = &file.curves[(size_t)m * FACE_FRAMES];
            for (int f = 0; f < FACE_FRAMES; f++) {
                text += name;
                append_integer(&text, f);
                append_integer(&text, m);
                text += label;
                append_decimal(&text, d[(size_t)f], 4);
                text += '\n';
            }
        }
    }
    return text;
}
