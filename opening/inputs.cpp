#include "inputs.h"

#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>

#include "text.h"
#include "tracker.h"

static bool is_folder(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static bool is_regular_file(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

/* Names that a recording, a video or a marker file goes by, in any case. */
static bool takes_name(const std::string &name)
{
    std::string low = lower(name);
    for (const char *extension : {".c3d", ".trc", ".csv", ".dat", ".mp4", ".mov", ".m4v", ".mkv", ".webm", ".avi"})
        if (ends_with(low, extension))
            return true;
    return false;
}

/* A file Mienscope's programs write: a table, an average or mode, a line file. A folder they wrote into is
 * no folder of recordings for them. */
static bool written_by_programs(const std::string &name)
{
    static const char *const tables[] = {"markers.csv", "pairs.csv", "curves.csv", "modes.csv", "scores.csv",
                                         "norm.csv", "bands.csv", "groups.csv", "shape.csv", "paired.csv",
                                         "reliability.csv", "bland-altman.csv", "changes.csv", "face.csv",
                                         "face-sides.csv", "face-curves.csv", "average.dat", "line.dat"};
    for (const char *table : tables)
        if (name == table)
            return true;
    return name.compare(0, 4, "mode") == 0 && (ends_with(name, "-plus.dat") || ends_with(name, "-minus.dat"));
}

/* The folder's files that take_name takes, as FOLDER/NAME in byte order of the names; those the programs
 * write are left out, with a line saying how many. */
static bool folder_files(const std::string &folder, std::vector<std::string> *files, std::string *error)
{
    DIR *dir = opendir(folder.c_str());
    if (!dir) {
        *error = folder + ": can't be read: " + strerror(errno);
        return false;
    }
    std::string prefix = folder.back() == '/' ? folder : folder + "/";
    std::vector<std::string> names, ours;
    while (struct dirent *entry = readdir(dir))
        if (entry->d_name[0] != '.' && takes_name(entry->d_name) && is_regular_file(prefix + entry->d_name))
            (written_by_programs(entry->d_name) ? ours : names).push_back(entry->d_name);
    closedir(dir);
    if (!ours.empty()) {
        std::sort(ours.begin(), ours.end());
        std::string list;
        for (const std::string &name : ours)
            list += (list.empty() ? "" : ", ") + name;
        fprintf(stderr, "%s: %s that Mienscope's programs write left out (%s)\n", folder.c_str(),
                count_of(ours.size(), "file", "files").c_str(), list.c_str());
    }
    if (names.empty()) {
        *error = folder + ": holds no .c3d, .trc, .csv or .dat file, nor a video";
        return false;
    }
    std::sort(names.begin(), names.end());
    for (const std::string &name : names)
        files->push_back(prefix + name);
    return true;
}

bool expand_folders(const std::vector<std::string> &operands, std::vector<std::string> *files, std::string *error)
{
    for (const std::string &operand : operands)
        if (!is_folder(operand))
            files->push_back(operand);
        else if (!folder_files(operand, files, error))
            return false;
    return true;
}

OutputGuard inputs_guard(bool force, const std::string &writes, const std::vector<std::string> &files,
                         const InputOptions &options)
{
    OutputGuard guard = output_guard(force, writes);
    for (const std::string &file : files)
        guard_input(&guard, file, "recording");
    if (!options.recording.markers.empty())
        guard_input(&guard, options.recording.markers, "marker set");
    return guard;
}

static void names_from_set(const MarkerSet &set, MarkerNames *names)
{
    names->set = set.name;
    names->labels.clear();
    for (const SetLabel &marker : set.markers)
        names->labels.push_back(marker_name(marker));
    names->segments = set.segments;
    names->pairs = set.pairs;
}

static void numbered_names(MarkerNames *names)
{
    *names = MarkerNames();
    for (int m = 0; m < FACE_MARKERS; m++)
        names->labels.push_back(std::to_string(m));
}

/* One file opened as every program opens it, its points chosen by given (the parsed --markers set, or
 * empty); brought: the set a recording was converted with. */
static int read_input(const std::string &name, const InputOptions &options, const MarkerSet &given, Input *input,
                      MarkerSet *brought, std::string *error)
{
    int status = open_input(name, options.recording, given, READ_MARKER_FILES, input, error);
    if (status != EXIT_DONE)
        return status;
    if (input->kind == INPUT_MARKER_FILE)
        input->seconds = options.duration;
    *brought = std::move(input->set);
    return EXIT_DONE;
}

/* How a message names a set a file was measured with. */
static std::string set_description(const MarkerSet &set)
{
    if (set.markers.empty())
        return "no set";
    return set.name == openface_set_name ? "the built-in OpenFace set" : "the set " + set.name;
}

static bool same_markers(const MarkerSet &a, const MarkerSet &b)
{
    if (a.markers.size() != b.markers.size())
        return false;
    for (size_t m = 0; m < a.markers.size(); m++)
        if (marker_name(a.markers[m]) != marker_name(b.markers[m]))
            return false;
    return true;
}

int read_inputs(const std::vector<std::string> &files, const InputOptions &options, std::vector<Input> *inputs,
                MarkerNames *names, std::string *error, const std::function<std::string(size_t)> &where)
{
    MarkerSet given, brought, first;
    if (!load_marker_set(options.recording.markers, &given, error))
        return EXIT_UNUSABLE;
    if (!given.markers.empty())
        names_from_set(given, names);
    else
        numbered_names(names);
    inputs->resize(files.size());
    track_videos_ahead(files, options.recording.tracking);
    for (size_t i = 0; i < files.size(); i++) {
        int status = read_input(files[i], options, given, &(*inputs)[i], &brought, error);
        if (status != EXIT_DONE && where)
            *error = where(i) + *error;
        if (status != EXIT_DONE)
            return status;
        if (given.markers.empty() && i == 0 && !brought.markers.empty())
            names_from_set(brought, names);
        if (i == 0)
            first = brought;
        else if (given.markers.empty() && !same_markers(first, brought)) {
            *error = files[0] + " (" + set_description(first) + ") and " + files[i] + " (" +
                     set_description(brought) + ") are not measured alike: give --markers, or keep them apart";
            return EXIT_UNUSABLE;
        }
    }
    return EXIT_DONE;
}
