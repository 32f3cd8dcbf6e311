/* Group against group and before against after, per measure and for the
 * whole movement: the analyses of --groups and --paired. */
#ifndef MIENSCOPE_GROUP_TESTS_H
#define MIENSCOPE_GROUP_TESTS_H

#include <array>
#include <string>
#include <vector>

#include "norm.h"
#include "statistics.h"

/* One measure, group B against group A. */
struct GroupRow {
    Summary a, b;
    bool tested = false; /* both groups have 2 values or more and the standard error is not 0 */
    WelchTest welch;
    double p = NAN, q = NAN;
};

/* The whole movement: T-squared of the recordings' scores on the first modes. */
struct ShapeTest {
    size_t modes = 0, n_a = 0, n_b = 0;
    double t2 = NAN, p = NAN;
};

struct GroupComparison {
    std::string a, b;
    std::vector<size_t> members_a, members_b; /* in table order */
    std::vector<ComparedMeasure> measures;
    std::vector<GroupRow> rows; /* one per measure */
    ShapeTest shape;
};

/* One measure, after against before over the pairs that have both. */
struct PairedRow {
    Summary before, after;
    bool tested = false; /* 2 pairs or more and the changes' sd is not 0 */
    PairedTest test;     /* n and change whenever a pair has both values */
    double p = NAN, q = NAN;
};

struct PairedComparison {
    std::string before, after;
    std::vector<std::array<size_t, 2>> pairs; /* recordings: before, after; in order of the subjects' first lines */
    std::vector<std::string> left_out;        /* subjects with only one of the two conditions */
    std::vector<ComparedMeasure> measures;
    std::vector<PairedRow> rows;
};

/* Returns the exit status, a message in error: a group missing, the same, or with fewer than 2 recordings
 * (1); modes outside 1 .. n_a + n_b - 3 (2, a usage message). modes 0: the smaller of 3 and n_a + n_b - 3. */
int compare_groups(const MeasuredStudy &s, const std::string &a, const std::string &b, long modes,
                   const Permutations &how, GroupComparison *out, std::string *error);
/* The subjects with a recording in each of two conditions (pairs: first, second; in order of the subjects'
 * first lines), and those with only one (left_out); false with a message naming `option` when the table
 * has no subject or condition column, a condition is not in it, a subject has two recordings in one
 * condition, or fewer than `least` subjects have both. A row with an empty subject or condition takes no
 * part. */
bool pair_subjects(const MeasuredStudy &s, const std::string &first, const std::string &second, const char *option,
                   size_t least, std::vector<std::array<size_t, 2>> *pairs, std::vector<std::string> *left_out,
                   std::string *error);
/* Returns false with a message when the table has no subject or condition column, a subject has two
 * recordings in one condition, or fewer than 2 subjects have both. */
bool compare_paired(const MeasuredStudy &s, const std::string &before, const std::string &after,
                    const Permutations &how, PairedComparison *out, std::string *error);
extern const char groups_header[]; /* groups.csv's first line, without its line break */
std::string groups_table(const GroupComparison &c); /* groups.csv */
std::string shape_table(const GroupComparison &c);  /* shape.csv */
extern const char paired_header[]; /* paired.csv's first line, without its line break */
std::string paired_table(const PairedComparison &c); /* paired.csv */
/* The subjects left out of an analysis (option) of two conditions; "" when none is. */
std::string left_out_warning(const MeasuredStudy &s, const char *option, const std::string &first,
                             const std::string &second, const std::vector<std::string> &left_out);

#endif
