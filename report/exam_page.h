/* mienscope-report on an exam (a study table with an expression column):
 * a grading page per subject, SUBJECT-exam.html, a row per expression of
 * the standard exam with the face measures a clinician reads there, the
 * subject's right against the left. Its summaries are Mienscope's own,
 * not a validated clinical grade. */
#ifndef MIENSCOPE_EXAM_PAGE_H
#define MIENSCOPE_EXAM_PAGE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "study.h"

/* The exam's subjects in the order of their first rows, and each one's page name ("SUBJECT-exam.html",
 * the subject's characters other than letters, digits, '.', '_' and '-' as '_', made unique). */
struct ExamSubject {
    std::string subject, page;
};
std::vector<ExamSubject> exam_subjects(const MeasuredStudy &s);
/* The frame the page shows of the recording's video: its expression's first measure at its extreme. */
int exam_frame(const StudyRecording &r);
/* The subject's page; norm_group "" without --norm; frames: per recording of the study, the PNG of its
 * video at exam_frame with the points drawn, or empty (not a video, or not this subject's). */
std::string exam_page(const MeasuredStudy &s, const ExamSubject &subject, const std::string &norm_group,
                      const std::vector<std::vector<uint8_t>> &frames, const std::string &made_by);

#endif
