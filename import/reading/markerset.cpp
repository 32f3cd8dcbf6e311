/* Marker-set files: parsing, and matching their labels to a recording's
 * points. */
#include "markerset.h"

#include <map>

#include "text.h"

static std::string at_line(const std::string &name, int line)
{
    return name + ":" + std::to_string(line) + ": ";
}

static std::string quoted(const std::string &label)
{
    return "\"" + printable(label) + "\"";
}

/* Words of one line up to a '#' outside quotes; a quoted word keeps its
 * blanks. False for an unclosed quote or an empty quoted word. */
static bool line_words(const std::string &line, std::vector<std::string> *words)
{
    size_t i = 0;
    for (;;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            i++;
        if (i == line.size() || line[i] == '#')
            return true;
        if (line[i] == '"') {
            size_t close = line.find('"', i + 1);
            if (close == std::string::npos || close == i + 1)
                return false;
            words->push_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '#' && line[i] != '"')
            i++;
        words->push_back(line.substr(start, i - start));
    }
}

/* Adds a marker or rigid label, refusing one the list already names;
 * `lines` maps each label of the list to its line. */
static bool add_label(std::vector<SetLabel> *list, std::map<std::string, int> *lines, const std::string &label, int line,
                      const std::string &name, const char *kind, std::string *error)
{
    auto first = lines->emplace(label, line);
    if (!first.second) {
        *error = at_line(name, line) + kind + " " + quoted(label) + " is named twice (first on line " +
                 std::to_string(first.first->second) + ")";
        return false;
    }
    list->push_back(SetLabel{label, line, ""});
    return true;
}

/* What parsing gathers besides the set itself. */
struct SetParse {
    std::map<std::string, int> marker_lines, rigid_lines, name_lines;
    std::vector<SetLabel> segment_ends, pair_ends;
};

static bool parse_line(const std::string &text, int line, MarkerSet *set, SetParse *parse, std::string *error)
{
    std::vector<std::string> words;
    if (!line_words(text, &words)) {
        *error = at_line(set->name, line) + "a quoted label is empty or not closed: " + printable(trim(text));
        return false;
    }
    if (words.empty())
        return true;
    if (words[0] == "marker" && words.size() == 2)
        return add_label(&set->markers, &parse->marker_lines, words[1], line, set->name, "marker", error);
    if (words[0] == "marker" && words.size() == 4 && words[2] == "as") {
        auto first = parse->name_lines.emplace(words[3], line);
        if (!first.second) {
            *error = at_line(set->name, line) + "the name " + quoted(words[3]) + " is given twice (first on line " +
                     std::to_string(first.first->second) + ")";
            return false;
        }
        if (!add_label(&set->markers, &parse->marker_lines, words[1], line, set->name, "marker", error))
            return false;
        set->markers.back().name = words[3];
        return true;
    }
    if (words[0] == "rigid" && words.size() == 2)
        return add_label(&set->rigid, &parse->rigid_lines, words[1], line, set->name, "rigid point", error);
    if ((words[0] == "segment" || words[0] == "pair") && words.size() == 3) {
        std::vector<SetLabel> *ends = words[0] == "segment" ? &parse->segment_ends : &parse->pair_ends;
        ends->push_back(SetLabel{words[1], line, ""});
        ends->push_back(SetLabel{words[2], line, ""});
        return true;
    }
    *error = at_line(set->name, line) + "\"" + printable(trim(text)) +
             "\" is not a marker LABEL [as NAME], segment LABEL LABEL, rigid LABEL or pair LEFT RIGHT line";
    return false;
}

const std::string &marker_name(const SetLabel &marker)
{
    return marker.name.empty() ? marker.label : marker.name;
}

static int marker_index(const MarkerSet &set, const std::string &label)
{
    for (size_t i = 0; i < set.markers.size(); i++)
        if (set.markers[i].label == label)
            return (int)i;
    return -1;
}

/* The two ends of each segment or pair line as marker indices; kind names the line in messages. */
static bool resolve_ends(const std::vector<SetLabel> &ends, const MarkerSet &set, const char *kind,
                         std::vector<std::array<int, 2>> *resolved, std::string *error)
{
    for (size_t i = 0; i + 1 < ends.size(); i += 2) {
        std::array<int, 2> joined;
        for (int e = 0; e < 2; e++) {
            joined[e] = marker_index(set, ends[i + e].label);
            if (joined[e] < 0) {
                *error = at_line(set.name, ends[i + e].line) + kind + " names " + quoted(ends[i + e].label) +
                         ", which is not one of the set's markers";
                return false;
            }
        }
        resolved->push_back(joined);
    }
    return true;
}

/* A pair joins two different markers, and no marker is in two pairs. */
static bool check_pairs(const std::vector<SetLabel> &ends, const MarkerSet &set, std::string *error)
{
    std::map<int, int> paired_on; /* marker index to the line of its pair */
    for (size_t i = 0; i < set.pairs.size(); i++) {
        const SetLabel &left = ends[2 * i];
        if (set.pairs[i][0] == set.pairs[i][1]) {
            *error = at_line(set.name, left.line) + "pair joins " + quoted(left.label) + " with itself";
            return false;
        }
        for (int e = 0; e < 2; e++) {
            auto first = paired_on.emplace(set.pairs[i][e], left.line);
            if (!first.second) {
                *error = at_line(set.name, left.line) + quoted(ends[2 * i + e].label) + " is in a pair already, on line " +
                         std::to_string(first.first->second);
                return false;
            }
        }
    }
    return true;
}

static bool check_marker_count(const MarkerSet &set, std::string *error)
{
    if (set.markers.size() == FACE_MARKERS)
        return true;
    *error = set.name + ": has " + count_of(set.markers.size(), "marker line", "marker lines") +
             "; a set names exactly " + std::to_string(FACE_MARKERS);
    return false;
}

static bool check_other_counts(const MarkerSet &set, std::string *error)
{
    if (set.segments.size() > FACE_SEGMENTS)
        *error = set.name + ": has " + std::to_string(set.segments.size()) + " segment lines; the viewer draws at most " +
                 std::to_string(FACE_SEGMENTS);
    else if (!set.rigid.empty() && set.rigid.size() < SET_MIN_RIGID)
        *error = set.name + ": has " + count_of(set.rigid.size(), "rigid point", "rigid points") +
                 "; holding the head still needs at least 3";
    else if (set.rigid.size() > SET_MAX_RIGID)
        *error = set.name + ": has " + std::to_string(set.rigid.size()) + " rigid points; a set names at most " +
                 std::to_string(SET_MAX_RIGID);
    return error->empty();
}

bool parse_marker_set(const char *text, size_t size, const std::string &name, MarkerSet *set, std::string *error)
{
    set->name = name;
    std::vector<std::string> lines = split_lines(text, size);
    SetParse parse;
    for (size_t i = 0; i < lines.size(); i++)
        if (!parse_line(lines[i], (int)i + 1, set, &parse, error))
            return false;
    error->clear();
    return check_marker_count(*set, error) && resolve_ends(parse.segment_ends, *set, "segment", &set->segments, error) &&
           resolve_ends(parse.pair_ends, *set, "pair", &set->pairs, error) && check_pairs(parse.pair_ends, *set, error) &&
           check_other_counts(*set, error);
}

/* Up to five labels of the recording that contain `label`, ignoring case. */
static std::string suggestions(const Recording &rec, const std::string &label)
{
    std::string list;
    int shown = 0;
    for (const Point &p : rec.points)
        if (shown < 5 && contains_ignoring_case(p.label, label))
            list += (shown++ ? ", " : "") + quoted(p.label);
    return shown ? "; labels that contain it: " + list : "; no label contains it";
}

static std::vector<size_t> points_matching(const Recording &rec, const std::string &label, bool by_suffix)
{
    std::vector<size_t> found;
    for (size_t i = 0; i < rec.points.size(); i++) {
        const std::string &l = rec.points[i].label;
        if (by_suffix ? ends_with(l, ":" + label) : l == label)
            found.push_back(i);
    }
    return found;
}

/* The one point that a label names: its own label, else one ending in
 * ":LABEL" (a subject prefix). */
static bool find_point(const MarkerSet &set, const SetLabel &wanted, const Recording &rec, size_t *index,
                       std::string *error)
{
    std::string label = wanted.label;
    while (!label.empty() && label.back() == ' ')
        label.pop_back();
    std::vector<size_t> found = points_matching(rec, label, false);
    if (found.empty())
        found = points_matching(rec, label, true);
    if (found.size() == 1) {
        *index = found[0];
        return true;
    }
    *error = at_line(set.name, wanted.line) + quoted(wanted.label);
    if (found.empty()) {
        *error += " matches no point of the recording" + suggestions(rec, label);
    } else {
        *error += " matches " + std::to_string(found.size()) + " points:";
        for (size_t i : found)
            *error += " " + std::to_string(i) + " " + quoted(rec.points[i].label);
    }
    return false;
}

/* Finds every label; a point that two labels of the list both name is refused. */
static bool find_points(const MarkerSet &set, const std::vector<SetLabel> &labels, const Recording &rec,
                        std::vector<size_t> *indices, std::string *error)
{
    for (const SetLabel &wanted : labels) {
        size_t index;
        if (!find_point(set, wanted, rec, &index, error))
            return false;
        for (size_t k = 0; k < indices->size(); k++)
            if ((*indices)[k] == index) {
                *error = at_line(set.name, wanted.line) + quoted(wanted.label) + " is point " + std::to_string(index) +
                         " " + quoted(rec.points[index].label) + ", which line " + std::to_string(labels[k].line) +
                         " already chose";
                return false;
            }
        indices->push_back(index);
    }
    return true;
}

bool select_by_set(const MarkerSet &set, const Recording &rec, Selection *selection, std::string *error)
{
    selection->segments = set.segments;
    return find_points(set, set.markers, rec, &selection->markers, error) &&
           find_points(set, set.rigid, rec, &selection->rigid, error);
}

bool select_in_file_order(const Recording &rec, Selection *selection, std::string *error)
{
    for (size_t i = 0; i < rec.points.size(); i++)
        if (rec.points[i].is_marker)
            selection->markers.push_back(i);
    if (selection->markers.size() == FACE_MARKERS)
        return true;
    *error = "holds " + count_of(selection->markers.size(), "marker", "markers") + ", not " +
             std::to_string(FACE_MARKERS) + "; --markers SET chooses 24 of them";
    selection->markers.clear();
    return false;
}
