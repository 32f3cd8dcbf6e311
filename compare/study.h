/* A study at once: every recording of a study table read and measured
 * exactly as mienscope-measure measures it, and the measures that the
 * comparisons compare, as one list. */
#ifndef MIENSCOPE_COMPARE_STUDY_H
#define MIENSCOPE_COMPARE_STUDY_H

#include <string>
#include <vector>

#include "measure_program.h"
#include "measure_table.h"
#include "study_table.h"

/* One recording of the study, measured. */
struct StudyRecording {
    StudyRow row;
    std::string name;       /* its base name, unique in the study: for its pictures and pages */
    Input input;            /* its positions (mm), time and format */
    MeasuredFile measured;  /* path: the file as the table writes it */
};

struct MeasuredStudy {
    StudyTable table;
    Study study;                          /* the markers' names and the measures' settings */
    std::vector<StudyRecording> recordings; /* in the table's order */
};

/* A measure the comparisons compare: one entry of the table of measures, of one marker or pair, in its
 * frame form or again in seconds. */
struct ComparedMeasure {
    const MeasureDefinition *definition;
    MeasureKind kind;
    int index;           /* the marker, or the pair's place in the set */
    std::string name;    /* the marker's label, or LEFT/RIGHT */
    std::string measure; /* its column: peak_mm, onset_frame, asymmetry_pct, onset_s, ... */
    bool whole;          /* frames, written as whole numbers */
    bool in_seconds;     /* a frame measure again in seconds: counted once, as its frame form, in the summaries */
};

/* The table read and every recording measured; returns the exit status, error holding "STUDY:LINE: " and
 * mienscope-measure's message (EXIT_USAGE: a usage message). */
int measure_study(const std::string &table_path, const MeasureOptions &options, MeasuredStudy *out,
                  std::string *error);
/* The same for the table out holds already (one of files, say: its messages then name no place). */
int measure_table(const MeasureOptions &options, MeasuredStudy *out, std::string *error);
/* The guard of a run's outputs that reads this study: its table, its recordings and the --markers set. */
OutputGuard study_guard(bool force, const std::string &writes, const MeasuredStudy &s, const MeasureOptions &options);
bool every_time_known(const MeasuredStudy &s); /* the seconds measures are compared */
bool every_face_known(const MeasuredStudy &s); /* every recording brought the 68 landmarks: faces are compared */
/* The table of measures' compared ones, for each marker in marker order (and their seconds forms when every
 * time is known), then for each pair: peak_mm, onset_frame, ..., asymmetry_pct, ratio, ...; then, when
 * every face is known, each face row's rest, change (and an eye's closure_pct), then each two-sided face
 * measure's rest_asymmetry_pct, change_asymmetry_pct and change_ratio. */
std::vector<ComparedMeasure> compared_measures(const MeasuredStudy &s);
double measure_value(const MeasuredFile &file, const ComparedMeasure &m); /* NAN where the measure is empty */
/* "kind,name,measure" as the tables' first columns write them: the key a measure goes by in a table. */
std::string measure_key(const std::string &kind, const std::string &name, const std::string &measure);
std::string measure_fields(const ComparedMeasure &m); /* measure_key of m */
std::vector<size_t> recordings_of_group(const MeasuredStudy &s, const std::string &group); /* in table order */
/* "the group "G" is not in the table; it has "A", "B"" (or the condition's, with a condition's true), the
 * table's ones in order of their first rows. */
std::string not_in_table(const MeasuredStudy &s, const std::string &name, bool condition);
bool has_condition(const MeasuredStudy &s, const std::string &condition); /* some row of the table has it */

#endif
