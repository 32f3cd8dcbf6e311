/* --reliability A B: each subject recorded in two conditions (two sessions
 * of the same day, say), and per measure how far a second recording of
 * the same face differs from the first: reliability.csv, a plot of every
 * marker's and pair's ICC(A,1) with its interval, and Bland-Altman plots
 * of the pairs' asymmetries. */
#ifndef MIENSCOPE_RELIABILITY_H
#define MIENSCOPE_RELIABILITY_H

#include <array>
#include <string>
#include <vector>

#include "reliability_statistics.h"
#include "study.h"

struct ReliabilityComparison {
    std::string a, b;                         /* the two conditions */
    std::vector<std::array<size_t, 2>> pairs; /* recordings in A and in B, in order of the subjects' first lines */
    std::vector<std::string> left_out;        /* subjects with only one of the two */
    std::vector<ComparedMeasure> measures;
    std::vector<Reliability> rows;            /* one a measure, over the subjects that have both values */
};

/* Returns false with a message when the table has no subject or condition column, a condition is not in
 * it, A and B are one, a subject has two recordings in one condition, or fewer than 3 subjects have both. */
bool compare_reliability(const MeasuredStudy &s, const std::string &a, const std::string &b, ReliabilityComparison *out,
                         std::string *error);
extern const char reliability_header[]; /* reliability.csv's first line, without its line break */
std::string reliability_table(const ReliabilityComparison &c); /* reliability.csv */
/* bland-altman.csv: every measure's subjects with both values, their two values, mean and difference B - A. */
extern const char bland_altman_header[]; /* bland-altman.csv's first line, without its line break */
std::string bland_altman_table(const MeasuredStudy &s, const ReliabilityComparison &c);
/* plots.gp's part that draws reliability.png/.svg and bland-altman.png/.svg from those tables. */
std::string reliability_plot_script(const MeasuredStudy &s, const ReliabilityComparison &c);

#endif
