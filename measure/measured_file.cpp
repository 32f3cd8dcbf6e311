#include "measured_file.h"

#include <stdio.h>

#include "smoothing.h"

bool check_smoothing(const Input &input, const MeasureSettings &s, std::string *error)
{
    if (s.smooth_hz <= 0.0)
        return true;
    if (isnan(input.seconds)) {
        *error = "--smooth needs the frames' rate: a recording's own, or --duration SECONDS for marker files";
        return false;
    }
    double half_rate = (FACE_FRAMES - 1) / input.seconds / 2.0;
    if (s.smooth_hz < half_rate)
        return true;
    char half[32];
    snprintf(half, sizeof half, "%.1f", half_rate);
    *error = "--smooth \"" + s.smooth_text + "\" is not below " + half + " Hz, half the rate of the frames of " +
             input.name;
    return false;
}

/* Every face measure of every frame of the landmarks (smoothed first when asked), and its sum against rest. */
static void measure_face(const FacePositions &landmarks, const MeasureSettings &s, double seconds, MeasuredFile *file)
{
    FacePositions smoothed =
        s.smooth_hz > 0.0 ? smooth_positions(landmarks, s.smooth_hz, (FACE_FRAMES - 1) / seconds) : FacePositions();
    const FacePositions &measured = s.smooth_hz > 0.0 ? smoothed : landmarks;
    std::vector<FaceRow> rows = face_rows();
    file->face_series.assign(rows.size(), std::vector<double>(FACE_FRAMES));
    for (int f = 0; f < FACE_FRAMES; f++) {
        FacePoints points = frame_points(measured, f);
        for (size_t r = 0; r < rows.size(); r++)
            file->face_series[r][(size_t)f] = rows[r].measure->value(points, rows[r].side);
    }
    for (size_t r = 0; r < rows.size(); r++)
        file->face.push_back(
            summarise_face_series(file->face_series[r], s.rest_first, s.rest_last, rows[r].measure->closure));
}

bool has_face(const MeasuredFile &file)
{
    return !file.face.empty();
}

MeasuredFile measure_file(const std::string &path, const FacePositions &xyz, double seconds, const Study &study,
                          const FacePositions &landmarks)
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
    if (landmarks.size() == (size_t)FACE_FRAMES * FACE_LANDMARKS * 3)
        measure_face(landmarks, s, seconds, &file);
    return file;
}

double frame_seconds(const MeasuredFile &file)
{
    return file.seconds / (FACE_FRAMES - 1);
}
