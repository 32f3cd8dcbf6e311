/* --mdc FILE with --paired: each patient's change against the smallest
 * detectable change of a test-retest study (its reliability.csv, perhaps of
 * another study): a change is called real only beyond it. */
#ifndef MIENSCOPE_CHANGES_H
#define MIENSCOPE_CHANGES_H

#include <map>
#include <string>

#include "group_tests.h"

/* Each measure's MDC95 by "kind,name,measure"; a measure with an empty MDC, or one of 0, has none. */
typedef std::map<std::string, double> MdcTable;

/* A reliability.csv's text: its exact header, 17 fields a row, kind marker or pair, mdc95 empty or a number
 * from 0, each measure once; false with "NAME:LINE: what is wrong" (the physical line). */
bool parse_mdc_table(const std::string &text, const std::string &name, MdcTable *table, std::string *error);
bool read_mdc_table(const std::string &path, MdcTable *table, std::string *error); /* the file read, then parsed */
/* changes.csv: subject,kind,name,measure,before,after,change,mdc95,beyond for each pair and measure. */
std::string changes_table(const MeasuredStudy &s, const PairedComparison &c, const MdcTable &mdc);
/* A line a subject: how many measures changed beyond the MDC, and the three largest |change| / MDC. */
std::string changes_summary(const MeasuredStudy &s, const PairedComparison &c, const MdcTable &mdc);

#endif
