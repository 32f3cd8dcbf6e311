#include "study.h"

#include "detect.h"
#include "markerset.h"

bool load_study_set(const std::string &set_path, Study *study, std::string *error)
{
    study->labels.clear();
    if (set_path.empty()) {
        for (int m = 0; m < FACE_MARKERS; m++)
            study->labels.push_back(std::to_string(m));
        return true;
    }
    std::vector<uint8_t> text;
    MarkerSet set;
    if (!read_input_file(set_path, &text, error) ||
        !parse_marker_set((const char *)text.data(), text.size(), set_path, &set, error))
        return false;
    for (const SetLabel &marker : set.markers)
        study->labels.push_back(marker.label);
    study->segments = set.segments;
    study->pairs = set.pairs;
    return true;
}

double frame_seconds(const Study &study)
{
    return study.duration / (FACE_FRAMES - 1);
}

bool read_marker_files(const std::vector<std::string> &paths, std::vector<FacePositions> *positions, std::string *error)
{
    positions->resize(paths.size());
    for (size_t i = 0; i < paths.size(); i++)
        if (!read_marker_file(paths[i], &(*positions)[i], error))
            return false;
    return true;
}
