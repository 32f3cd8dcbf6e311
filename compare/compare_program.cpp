/* mienscope-compare's command line and flow. */
#include "compare_program.h"

#include <stdio.h>
#include <string.h>

#include "changes.h"
#include "compare_plots.h"
#include "file_io.h"
#include "gnuplot.h"
#include "group_tests.h"
#include "reliability.h"
#include "text.h"

const char compare_usage[] =
    "Usage: mienscope-compare [OPTION]... ANALYSIS... --out DIR [--force] STUDY.csv\n"
    "  or:  mienscope-compare --help | --version\n";

static const char compare_help[] =
    "Measures every recording of a study table as mienscope-measure does, and compares\n"
    "them: each recording against a normal group (--norm), one group against another\n"
    "(--groups), before against after (--paired) and a second recording of the same\n"
    "faces against the first (--reliability), in any combination.\n"
    "\n"
    "STUDY.csv: comma-separated (RFC 4180 quoting), a header naming at least the\n"
    "columns file and group, optionally subject and condition, in any order and any\n"
    "case; other columns are ignored, blank lines skipped. As spreadsheets save it: a\n"
    "UTF-8 byte-order mark is skipped, CRLF is read as LF, and a header with ';' and no\n"
    "',' makes ';' the separator. A file is relative to the table's folder unless\n"
    "absolute: a recording (C3D, TRC, OpenFace CSV), a video or a marker file, all\n"
    "measured alike (files that bring different marker sets are refused). When every\n"
    "recording brings the 68 face landmarks (videos, OpenFace tables), the face\n"
    "measures are compared too (kind face and face-side). An expression column makes\n"
    "the table an exam: each row one of rest, brow, eyes_gentle, eyes_tight, smile,\n"
    "teeth or pucker (any case) of a subject (a subject in every row, each expression\n"
    "once), every recording a video or an OpenFace table, and --norm sets each\n"
    "recording against GROUP's recordings of the same expression.\n"
    "\n"
    "OPTIONS, which shape the measures as in mienscope-measure:\n";

static const char compare_help_end[] =
    "\n"
    "ANALYSIS, one or more of:\n"
    "  --norm GROUP         each recording outside GROUP (3 or more recordings) against\n"
    "                       it: norm.csv (z-scores; outside: |z| > 1.96, an asymmetry\n"
    "                       only above the range, z > 1.96), bands/NAME.png\n"
    "                       and .svg (its curves over GROUP's mean +- 1.96 sd), and a line\n"
    "                       a recording on standard output\n"
    "  --groups A B         group B against group A (2 or more each): groups.csv (Welch's\n"
    "                       t, its 95% interval, a permutation p, Benjamini-Hochberg q),\n"
    "                       shape.csv (Hotelling's T-squared on the aligned movements'\n"
    "                       principal-component scores), groups.png and .svg\n"
    "  --paired BEFORE AFTER  each subject's recording in condition AFTER against the one\n"
    "                       in BEFORE: paired.csv (paired t, a sign-flip p, q),\n"
    "                       paired.png and .svg\n"
    "  --mdc FILE           with --paired: each subject's change of each measure against\n"
    "                       its smallest detectable change in FILE (a reliability.csv,\n"
    "                       perhaps of another study): changes.csv, and a line a subject\n"
    "  --reliability A B    test-retest: each subject's recording in condition B against\n"
    "                       the one in A (3 subjects or more): reliability.csv (ICC(A,1)\n"
    "                       and ICC(C,1) with 95% intervals, SEM, MDC95, Bland-Altman\n"
    "                       bias and limits), bland-altman.csv, reliability.png and\n"
    "                       bland-altman.png (.svg)\n"
    "  --permutations N     relabellings for a p, 100 to 1000000 (default 10000); all of\n"
    "                       them when there are at most N, else N drawn at random\n"
    "  --seed S             the random draws' seed, a whole number (default 1)\n"
    "  --modes K            the modes of T-squared, 1 to n_a + n_b - 3 (default the\n"
    "                       smaller of 3 and n_a + n_b - 3)\n"
    "  --out DIR            where the files go (required), with markers.csv and\n"
    "                       pairs.csv (mienscope-measure's tables with group, subject\n"
    "                       and condition), plots.gp and the CSV files it draws from\n"
    "  --force              replace files in DIR that exist (never a file being read,\n"
    "                       nor a recording or video)\n"
    "  --help, --version\n"
    "\n"
    "The files in DIR appear together, when all are complete. Without gnuplot on PATH\n"
    "the tables and plots.gp are still written and one line says so.\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  the study table, a recording, the marker set, a group or DIR can't be used\n"
    "     (one line says which, the table's errors as STUDY:LINE), or gnuplot failed;\n"
    "     nothing was written\n"
    "  2  a usage error\n";

int compare_usage_error(const std::string &message)
{
    fprintf(stderr, "mienscope-compare: %s\n%s", message.c_str(), compare_usage);
    return EXIT_USAGE;
}

void print_compare_help(void)
{
    printf("%s\n%s%s%s", compare_usage, compare_help, measure_options_help, compare_help_end);
}

/* "--groups A B" and "--paired BEFORE AFTER" take the two words after them; they are taken out of args
 * before the other options are read. */
static bool take_two_valued(std::vector<char *> *args, const char *name, std::string *first, std::string *second,
                            std::string *error)
{
    for (size_t i = 1; i < args->size(); i++) {
        if (strcmp((*args)[i], "--") == 0)
            return true;
        if (strcmp((*args)[i], name) != 0)
            continue;
        if (i + 2 >= args->size() || !first->empty()) {
            *error = !first->empty() ? std::string(name) + " is given twice"
                                     : std::string(name) + " takes two values, such as " + name +
                                           (strcmp(name, "--groups") == 0    ? " controls patients"
                                            : strcmp(name, "--paired") == 0 ? " before after"
                                                                             : " session1 session2");
            return false;
        }
        const char *what = strcmp(name, "--groups") == 0 ? "two groups" : "two conditions";
        if (!take_name(name, what, (*args)[i + 1], first, error) || !take_name(name, what, (*args)[i + 2], second, error))
            return false;
        args->erase(args->begin() + (long)i, args->begin() + (long)i + 3);
        i--;
    }
    return true;
}

static bool option_whole(const char *name, const char *text, long low, long high, long *value, std::string *error)
{
    if (parse_integer(text, value) && *value >= low && *value <= high)
        return true;
    *error = std::string(name) + " \"" + printable(text) + "\" is not a whole number from " + std::to_string(low) +
             " to " + std::to_string(high);
    return false;
}

static bool option_seed(const char *text, unsigned long *seed, std::string *error)
{
    long value;
    if (!option_whole("--seed", text, 0, 2147483647L, &value, error))
        return false;
    *seed = (unsigned long)value;
    return true;
}

static bool take_option(int code, const char *arg, CompareRequest *r, std::string *error)
{
    switch (code) {
    case 'h': r->help = true; return true;
    case 'v': r->version = true; return true;
    case 'f': r->force = true; return true;
    case 'o': r->out = arg; return true;
    case 'N': return take_name("--norm", "a group", arg, &r->norm, error);
    case 'D': r->mdc = arg; return true;
    case 'P': return option_whole("--permutations", arg, 100, 1000000, &r->permutations, error);
    case 'E': return option_seed(arg, &r->seed, error);
    case 'K': return option_whole("--modes", arg, 1, 1000000, &r->modes, error);
    default: return take_measure_option(code, arg, &r->options, error);
    }
}

/* What needs every option known. */
static bool check_request(CompareRequest *r, const std::vector<std::string> &operands, std::string *error)
{
    bool informational = r->help || r->version;
    if (informational)
        *error = operands.empty() ? "" : "--help and --version take no STUDY";
    else if (operands.size() != 1)
        *error = operands.empty() ? "no STUDY.csv given" : "one STUDY.csv at a time";
    else if (r->norm.empty() && r->group_a.empty() && r->before.empty() && r->session_a.empty())
        *error = "nothing to compare: give --norm GROUP, --groups A B, --paired BEFORE AFTER or --reliability A B";
    else if (!r->mdc.empty() && r->before.empty())
        *error = "--mdc FILE needs --paired BEFORE AFTER: it judges each subject's change";
    else if (r->out.empty())
        *error = "--out DIR is required";
    if (!operands.empty())
        r->study = operands[0];
    return error->empty() && check_recording_options(r->options.inputs.recording, error);
}

bool parse_compare_command(int argc, char **argv, CompareRequest *request, std::string *error)
{
    static const std::vector<struct option> long_options = with_measure_options({
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'v'},
        {"force", no_argument, nullptr, 'f'},
        {"out", required_argument, nullptr, 'o'},
        {"norm", required_argument, nullptr, 'N'},
        {"mdc", required_argument, nullptr, 'D'},
        {"permutations", required_argument, nullptr, 'P'},
        {"seed", required_argument, nullptr, 'E'},
        {"modes", required_argument, nullptr, 'K'},
    });
    std::vector<char *> args(argv, argv + argc);
    if (!take_two_valued(&args, "--groups", &request->group_a, &request->group_b, error) ||
        !take_two_valued(&args, "--paired", &request->before, &request->after, error) ||
        !take_two_valued(&args, "--reliability", &request->session_a, &request->session_b, error))
        return false;
    args.push_back(nullptr);
    std::vector<std::string> operands;
    if (!read_options((int)args.size() - 1, args.data(), long_options.data(),
                      [&](int code, const char *arg) { return take_option(code, arg, request, error); }, &operands,
                      error))
        return false;
    return check_request(request, operands, error);
}

/* What the analyses found, and the files they make. */
struct Analyses {
    MeasuredStudy study;
    NormComparison norm;
    GroupComparison groups;
    PairedComparison paired;
    ReliabilityComparison reliability;
    MdcTable mdc; /* --mdc's */
};

/* Each recording's group, subject and condition, for the columns after "file". */
static FileColumns study_columns(const MeasuredStudy &s)
{
    FileColumns columns;
    columns.names = {"group", "subject", "condition"};
    for (const StudyRecording &r : s.recordings)
        columns.fields.push_back({r.row.group, r.row.subject, r.row.condition});
    return columns;
}

static std::vector<MeasuredFile> measured_files(const MeasuredStudy &s)
{
    std::vector<MeasuredFile> files;
    for (const StudyRecording &r : s.recordings)
        files.push_back(r.measured);
    return files;
}

/* Each row's q, for the plots' marks. */
template <typename Row> static std::vector<double> q_values(const std::vector<Row> &rows)
{
    std::vector<double> q;
    for (const Row &row : rows)
        q.push_back(row.q);
    return q;
}

/* What a forest plot says when no row reached q < 0.05: why none could, when none could. */
static std::string no_mark_note(double least, const std::string &how_many)
{
    char text[256];
    if (least <= 0.05)
        return "No measure reached q < 0.05.";
    snprintf(text, sizeof text, "No q can be below 0.05 here: %s, the smallest p is %.4g.", how_many.c_str(), least);
    return text;
}

/* The tables, plots.gp and the pictures it draws, by the analyses asked for. */
static void output_files(const CompareRequest &r, const Analyses &a, std::vector<OutputFile> *texts,
                         std::vector<std::string> *pictures)
{
    const MeasuredStudy &s = a.study;
    std::vector<MeasuredFile> files = measured_files(s);
    FileColumns columns = study_columns(s);
    std::string script = compare_plot_header(s.study);
    texts->push_back({"markers.csv", markers_table(files, s.study, columns)});
    if (!s.study.markers.pairs.empty())
        texts->push_back({"pairs.csv", pairs_table(files, s.study, columns)});
    if (!r.norm.empty()) {
        texts->push_back({"norm.csv", norm_table(s, a.norm)});
        texts->push_back({"bands.csv", bands_table(s, a.norm)});
        texts->push_back({"curves.csv", compared_curves_table(s, a.norm)});
        script += bands_plot_script(s, a.norm);
        std::vector<std::string> bands = bands_plot_names(s, a.norm);
        pictures->insert(pictures->end(), bands.begin(), bands.end());
    }
    if (!r.group_a.empty()) {
        texts->push_back({"groups.csv", groups_table(a.groups)});
        texts->push_back({"shape.csv", shape_table(a.groups)});
        Permutations how = {r.permutations, r.seed};
        size_t n_a = a.groups.members_a.size(), n_b = a.groups.members_b.size();
        std::string note = no_mark_note(least_permutation_p(n_a, n_b, how), "with groups of " + std::to_string(n_a) +
                                                                               " and " + std::to_string(n_b));
        script += forest_plot_script(s.study, a.groups.measures, q_values(a.groups.rows), note, "groups",
                                     r.group_b + " against " + r.group_a, "difference and its 95 % interval", groups_header,
                                     "difference", "ci_low", "ci_high");
        pictures->insert(pictures->end(), {"groups.png", "groups.svg"});
    }
    if (!r.before.empty()) {
        texts->push_back({"paired.csv", paired_table(a.paired)});
        Permutations how = {r.permutations, r.seed};
        size_t n = a.paired.pairs.size();
        std::string note = no_mark_note(least_sign_flip_p(n, how), "with " + count_of(n, "pair", "pairs") +
                                                                         " and their sign flips");
        script += forest_plot_script(s.study, a.paired.measures, q_values(a.paired.rows), note, "paired",
                                     r.after + " against " + r.before, "change and its 95 % interval", paired_header, "change",
                                     "ci_low", "ci_high");
        pictures->insert(pictures->end(), {"paired.png", "paired.svg"});
    }
    if (!r.mdc.empty())
        texts->push_back({"changes.csv", changes_table(s, a.paired, a.mdc)});
    if (!r.session_a.empty()) {
        texts->push_back({"reliability.csv", reliability_table(a.reliability)});
        texts->push_back({"bland-altman.csv", bland_altman_table(s, a.reliability)});
        script += reliability_plot_script(s, a.reliability);
        pictures->insert(pictures->end(), {"reliability.png", "reliability.svg", "bland-altman.png", "bland-altman.svg"});
    }
    texts->push_back({"plots.gp", script});
}

/* Every analysis asked for; returns the exit status, the message in error. */
static int analyse(const CompareRequest &r, Analyses *a, std::string *error)
{
    Permutations how = {r.permutations, r.seed};
    if (!r.mdc.empty() && !read_mdc_table(r.mdc, &a->mdc, error))
        return EXIT_UNUSABLE;
    int status = measure_study(r.study, r.options, &a->study, error);
    if (status != EXIT_DONE)
        return status;
    if (!r.norm.empty() && !compare_with_norm(a->study, r.norm, &a->norm, error))
        return EXIT_UNUSABLE;
    if (!r.group_a.empty() &&
        (status = compare_groups(a->study, r.group_a, r.group_b, r.modes, how, &a->groups, error)) != EXIT_DONE)
        return status;
    if (!r.before.empty() && !compare_paired(a->study, r.before, r.after, how, &a->paired, error))
        return EXIT_UNUSABLE;
    if (!r.session_a.empty() && !compare_reliability(a->study, r.session_a, r.session_b, &a->reliability, error))
        return EXIT_UNUSABLE;
    return EXIT_DONE;
}

int run_compare(const CompareRequest &r)
{
    Analyses a;
    std::string error;
    int status = analyse(r, &a, &error);
    if (status == EXIT_USAGE)
        return compare_usage_error(error);
    if (status != EXIT_DONE)
        return unusable(error);
    std::vector<OutputFile> texts;
    std::vector<std::string> pictures;
    output_files(r, a, &texts, &pictures);
    std::string gnuplot = find_on_path("gnuplot");
    if (gnuplot.empty())
        pictures.clear();
    OutputGuard guard = study_guard(r.force, "a file mienscope-compare writes", a.study, r.options);
    if (!r.mdc.empty())
        guard_input(&guard, r.mdc, "MDC table");
    if (!write_with_plots(r.out, guard, texts, gnuplot, pictures, &error))
        return unusable(error);
    if (gnuplot.empty())
        fprintf(stderr, "%s: %s\n", r.out.c_str(), gnuplot_missing);
    fputs(left_out_warning(a.study, "--paired", r.before, r.after, a.paired.left_out).c_str(), stderr);
    fputs(left_out_warning(a.study, "--reliability", r.session_a, r.session_b, a.reliability.left_out).c_str(), stderr);
    if (!r.norm.empty())
        fputs(norm_summary(a.study, a.norm).c_str(), stdout);
    if (!r.mdc.empty())
        fputs(changes_summary(a.study, a.paired, a.mdc).c_str(), stdout);
    return EXIT_DONE;
}
