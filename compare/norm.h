/* Each recording against a normal group: its measures as z-scores
 * against the group's mean and standard deviation, and its displacement
 * curves against the group's band, mean +- 1.96 sd frame by frame. */
#ifndef MIENSCOPE_NORM_H
#define MIENSCOPE_NORM_H

#include <string>
#include <vector>

#include "study.h"

/* A group's values of one measure: over those that have one. NAN where there are too few. */
struct Summary {
    size_t n = 0;
    double mean = NAN; /* NAN when n is 0 */
    double sd = NAN;   /* divisor n - 1; NAN when n is below 2 */
};

/* One measure of one recording against the group. */
struct NormScore {
    size_t recording;
    size_t measure;  /* into the compared measures */
    double value;    /* NAN where empty */
    Summary norm;
    double z;        /* NAN when the value is empty, norm.n < 3 or norm.sd below 1e-9 */
};

struct NormComparison {
    std::string group;
    std::vector<size_t> members;        /* the group's recordings */
    std::vector<ComparedMeasure> measures;
    std::vector<NormScore> scores;      /* recordings outside the group in table order, then measures in order */
    std::vector<double> band_mean, band_sd; /* [marker][frame], mm: the group's displacement curves */
};

Summary summarise(const std::vector<double> &values); /* NAN values left out */
/* (value - mean) / sd; NAN for no value, fewer than 3 in the norm, or an sd of 0. */
double z_score(double value, const Summary &norm);
/* Outside the normal range: |z| > 1.96, but a measure outside only above it (an asymmetry: a face more
 * symmetric than the controls is not abnormal) when z > 1.96; a ratio below the range (the right side moving
 * more) is as asymmetric as one above it, and keeps |z|. */
bool is_outside(const MeasureDefinition &measure, double z);
/* False, with a message naming the table and the group, when it holds fewer than 3 recordings. */
bool compare_with_norm(const MeasuredStudy &s, const std::string &group, NormComparison *out, std::string *error);
std::string norm_table(const MeasuredStudy &s, const NormComparison &c);  /* norm.csv */
std::string bands_table(const MeasuredStudy &s, const NormComparison &c); /* bands.csv */
/* "FILE: K of M outside; largest |z|: NAME MEASURE Z, ..." for each recording outside the group. */
std::string norm_summary(const MeasuredStudy &s, const NormComparison &c);

#endif
