/* The importer's road from a command line to its files and messages. */
#include "program.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "convert.h"
#include "markerset.h"
#include "output.h"
#include "text.h"

/* No recording is this large; a larger file, or an endless one, is refused
 * rather than read into memory. */
static const size_t largest_file = (size_t)512 << 20;

const char import_usage[] =
    "Usage: mienscope-import [OPTION]... RECORDING OUTPUT\n"
    "  or:  mienscope-import --list [--face N] [--min-confidence C] RECORDING\n"
    "  or:  mienscope-import --help | --version\n";

int usage_error(const std::string &message)
{
    fprintf(stderr, "mienscope-import: %s\n%s", message.c_str(), import_usage);
    return EXIT_USAGE;
}

static int unusable(const std::string &message)
{
    fprintf(stderr, "%s\n", message.c_str());
    return EXIT_UNUSABLE;
}

/* A whole file, up to largest_file bytes. */
bool read_whole_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error)
{
    FILE *fp = fopen(path.c_str(), "rb");
    struct stat st;
    if (!fp || fstat(fileno(fp), &st) != 0 || S_ISDIR(st.st_mode)) {
        *error = path + ": can't be read: " + (fp ? "it is a folder" : strerror(errno));
        if (fp)
            fclose(fp);
        return false;
    }
    if (S_ISREG(st.st_mode) && (size_t)st.st_size <= largest_file)
        bytes->reserve((size_t)st.st_size);
    uint8_t chunk[65536];
    size_t got;
    while (bytes->size() <= largest_file && (got = fread(chunk, 1, sizeof chunk, fp)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + got);
    bool failed = ferror(fp);
    fclose(fp);
    if (failed || bytes->size() > largest_file) {
        *error = path + (failed ? ": can't be read: " + std::string(strerror(errno)) : ": is over 512 MiB; no recording is");
        return false;
    }
    return true;
}

static void print_warnings(const std::string &file, const std::vector<std::string> &warnings)
{
    for (const std::string &w : warnings)
        fprintf(stderr, "%s: %s\n", file.c_str(), w.c_str());
}

/* The set from --markers, the built-in one for OpenFace, or none. */
static bool load_set(const ImportRequest &o, const Recording &rec, MarkerSet *set, bool *have_set, std::string *error)
{
    *have_set = !o.markers.empty() || rec.format == openface_format;
    if (o.markers.empty())
        return !*have_set || parse_marker_set(openface_set_text, strlen(openface_set_text), openface_set_name, set, error);
    std::vector<uint8_t> text;
    return read_whole_file(o.markers, &text, error) &&
           parse_marker_set((const char *)text.data(), text.size(), o.markers, set, error);
}

static bool select_points(const ImportRequest &o, const Recording &rec, Selection *selection, MarkerSet *set,
                          std::string *error)
{
    bool have_set;
    if (!load_set(o, rec, set, &have_set, error))
        return false;
    if (have_set && o.markers.empty())
        fprintf(stderr, "%s: no --markers given, so the built-in set %s was used\n", o.recording.c_str(),
                openface_set_name);
    if (have_set)
        return select_by_set(*set, rec, selection, error);
    if (select_in_file_order(rec, selection, error))
        return true;
    *error = o.recording + ": " + *error;
    return false;
}

/* From the filled tracks to the marker file's text. */
static int convert(const ImportRequest &o, const Recording &rec, const Selection &selection, const MarkerSet &set,
                   const Axes &axes, const Span &span)
{
    const std::string &name = o.recording;
    Tracks tracks = gather_tracks(rec, selection);
    std::vector<GapReport> gaps;
    std::string error, text;
    if (!fill_gaps(rec, selection, span, &tracks, &gaps, &error))
        return unusable(name + ": " + error);
    for (const GapReport &gap : gaps)
        fprintf(stderr, "%s: %s\n", name.c_str(), gap_message(rec, gap).c_str());
    if (!align_to_first_frame(rec, span, selection.markers.size(), &tracks, set.name, &error))
        return unusable(error);
    if (!marker_file_text(resample(rec, tracks, span), axes, &text, &error))
        return unusable(name + ": " + error);
    std::vector<OutputFile> files = {{o.output, text}};
    if (!o.line_file.empty())
        files.push_back({o.line_file, line_file_text(selection)});
    return write_all_or_none(files, o.force, &error) ? EXIT_DONE : unusable(error);
}

static int convert_recording(const ImportRequest &o, const Recording &rec)
{
    const std::string &name = o.recording;
    Selection selection;
    MarkerSet set;
    std::string error;
    if (!select_points(o, rec, &selection, &set, &error))
        return unusable(error);
    if (!o.line_file.empty() && set.markers.empty())
        return usage_error("--line-file needs --markers: without a set there are no segments to write");
    if (rec.frames < 2)
        return unusable(name + ": holds " + std::to_string(rec.frames) + " frames; a movement needs at least 2");
    Axes axes;
    Span span;
    if (!parse_axes(o.right.empty() ? rec.right : o.right, o.up.empty() ? rec.up : o.up, &axes, &error) ||
        !check_span(rec, o.from, o.to, &span, &error))
        return usage_error(error);
    return convert(o, rec, selection, set, axes, span);
}

int import_recording(const ImportRequest &o)
{
    std::string error;
    if (!o.list && (!check_replaceable(o.output, o.force, &error) ||
                    (!o.line_file.empty() && !check_replaceable(o.line_file, o.force, &error))))
        return unusable(error);
    std::vector<uint8_t> bytes;
    Recording rec;
    if (!read_whole_file(o.recording, &bytes, &error))
        return unusable(error);
    if (!read_recording(bytes.data(), bytes.size(), o.read, &rec, &error))
        return unusable(o.recording + ": " + error);
    print_warnings(o.recording, rec.warnings);
    if (o.list) {
        fputs(recording_listing(rec).c_str(), stdout);
        return EXIT_DONE;
    }
    return convert_recording(o, rec);
}
