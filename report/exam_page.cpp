#include "exam_page.h"

#include <math.h>
#include <stdio.h>

#include <algorithm>
#include <map>

#include "base64.h"
#include "csv.h"
#include "face_measures.h"
#include "norm.h"
#include "page.h"
#include "report.h"
#include "study_table.h"

/* What of a face measure an exam's row reads: its rest, its change, its closure, or how far it moved
 * either way (a synkinesis: any movement there is too much). */
enum ExamValue { EXAM_REST, EXAM_CHANGE, EXAM_CLOSURE, EXAM_MOVED };

/* Which figure above the table an item feeds: none, ocular synkinesis (an eye closing while the mouth
 * moves) or oral synkinesis (the mouth moving while the eyes close). */
enum ExamSummary { NO_SUMMARY, OCULAR_SYNKINESIS, ORAL_SYNKINESIS };

struct ExamItem {
    const char *label, *measure;
    ExamValue value;
    ExamSummary summary;
};

/* The expressions in the exam's order, and what is read in each; the first item gives the frame shown and,
 * where scored, its score joins the movement score. */
struct ExamLine {
    const char *expression;
    bool scored;
    std::vector<ExamItem> items;
};

static const std::vector<ExamLine> &exam_lines()
{
    static const ExamItem ocular = {"Ocular synkinesis: eye closure (%)", "eye_opening_mm", EXAM_CLOSURE,
                                    OCULAR_SYNKINESIS};
    static const ExamItem oral = {"Oral synkinesis: mouth corner movement (mm)", "commissure_excursion_mm", EXAM_MOVED,
                                  ORAL_SYNKINESIS};
    static const ExamItem closure = {"Eye closure (%)", "eye_opening_mm", EXAM_CLOSURE, NO_SUMMARY};
    static const std::vector<ExamItem> smile = {
        {"Commissure excursion (mm)", "commissure_excursion_mm", EXAM_CHANGE, NO_SUMMARY},
        {"Smile angle change (deg)", "smile_angle_deg", EXAM_CHANGE, NO_SUMMARY},
        {"Mouth opening (mm)", "mouth_opening_mm", EXAM_CHANGE, NO_SUMMARY},
        ocular};
    const char *const *e = exam_expressions; /* rest, brow, eyes_gentle, eyes_tight, smile, teeth, pucker */
    static const std::vector<ExamLine> lines = {
        {e[0], false,
         {{"Eye opening at rest (mm)", "eye_opening_mm", EXAM_REST, NO_SUMMARY},
          {"Brow height at rest (mm)", "brow_height_mm", EXAM_REST, NO_SUMMARY},
          {"Mouth corner height at rest (mm)", "mouth_corner_height_mm", EXAM_REST, NO_SUMMARY}}},
        {e[1], true, {{"Brow lift (mm)", "brow_height_mm", EXAM_CHANGE, NO_SUMMARY}}},
        {e[2], true, {closure, oral}},
        {e[3], true, {closure, oral}},
        {e[4], true, smile},
        {e[5], true, smile},
        {e[6], false,
         {{"Commissure excursion (mm; negative: inward)", "commissure_excursion_mm", EXAM_CHANGE, NO_SUMMARY}, ocular}},
    };
    return lines;
}

/* The face row of the measure and side; -1 for none (the side of a measure without sides). */
static int face_row(const char *measure, FaceSide side)
{
    std::vector<FaceRow> rows = face_rows();
    for (size_t r = 0; r < rows.size(); r++)
        if (std::string(rows[r].measure->name) == measure && rows[r].side == side)
            return (int)r;
    return -1;
}

/* The item's value on one side of a measured file; NAN where it has none. */
static double item_value(const MeasuredFile &file, const ExamItem &item, FaceSide side)
{
    int row = face_row(item.measure, side);
    if (row < 0 || !has_face(file))
        return NAN;
    const FaceSummary &s = file.face[(size_t)row];
    switch (item.value) {
    case EXAM_REST: return s.rest;
    case EXAM_CHANGE: return s.change;
    case EXAM_CLOSURE: return s.closure_pct;
    case EXAM_MOVED: return fabs(s.change);
    }
    return NAN;
}

/* 100 x the smaller side / the larger, in magnitude: 100 where both are below 0.001, NAN without a side. */
static double side_score(double right, double left)
{
    if (isnan(right) || isnan(left))
        return NAN;
    double larger = std::max(fabs(right), fabs(left));
    return larger < 0.001 ? 100.0 : 100.0 * std::min(fabs(right), fabs(left)) / larger;
}

/* An item's three numbers: R, L (NAN for a measure of the whole face) and the score. */
struct ItemNumbers {
    double right = NAN, left = NAN, score = NAN;
};

static ItemNumbers item_numbers(const MeasuredFile &file, const ExamItem &item)
{
    ItemNumbers n;
    n.right = item_value(file, item, FACE_R);
    n.left = item_value(file, item, FACE_L);
    n.score = side_score(n.right, n.left);
    return n;
}

/* The z of each of an item's numbers against the group's recordings of the expression. */
static ItemNumbers item_z(const MeasuredStudy &s, const std::string &group, const char *expression,
                          const ExamItem &item, const ItemNumbers &n)
{
    std::vector<double> right, left, score;
    for (const StudyRecording &r : s.recordings)
        if (r.row.group == group && r.row.expression == expression) {
            ItemNumbers m = item_numbers(r.measured, item);
            right.push_back(m.right), left.push_back(m.left), score.push_back(m.score);
        }
    ItemNumbers z;
    z.right = z_score(n.right, summarise(right));
    z.left = z_score(n.left, summarise(left));
    z.score = z_score(n.score, summarise(score));
    return z;
}

/* The subject's recording of the expression; -1 when the exam lacks it. */
static int recording_of(const MeasuredStudy &s, const std::string &subject, const char *expression)
{
    for (size_t r = 0; r < s.recordings.size(); r++)
        if (s.recordings[r].row.subject == subject && s.recordings[r].row.expression == expression)
            return (int)r;
    return -1;
}

/* A number with that many decimals, "" for none; one that rounds to 0 without a sign. */
static std::string number(double v, int places)
{
    if (fabs(v) < 0.5 * pow(10.0, -places))
        v = 0.0;
    std::string field;
    append_decimal(&field, v, places);
    return field.substr(1);
}

static std::string td(const std::string &text, const char *attributes = "")
{
    return std::string("<td") + attributes + ">" + html_text(text) + "</td>";
}

std::vector<ExamSubject> exam_subjects(const MeasuredStudy &s)
{
    std::vector<ExamSubject> subjects;
    std::map<std::string, int> taken;
    for (const StudyRecording &r : s.recordings) {
        if (std::any_of(subjects.begin(), subjects.end(), [&](const ExamSubject &e) { return e.subject == r.row.subject; }))
            continue;
        std::string safe = r.row.subject;
        for (char &c : safe)
            if (!isalnum((unsigned char)c) && c != '.' && c != '_' && c != '-')
                c = '_';
        if (safe[0] == '.')
            safe[0] = '_';
        std::string page;
        do { /* neither another subject's page nor a recording's */
            int seen = ++taken[safe];
            page = safe + (seen > 1 ? "-" + std::to_string(seen) : "") + "-exam.html";
        } while (std::any_of(s.recordings.begin(), s.recordings.end(),
                             [&](const StudyRecording &other) { return other.name + ".html" == page; }));
        subjects.push_back({r.row.subject, page});
    }
    return subjects;
}

int exam_frame(const StudyRecording &r)
{
    for (const ExamLine &line : exam_lines())
        if (r.row.expression == line.expression) {
            int row = face_row(line.items[0].measure, FACE_R);
            return has_face(r.measured) && row >= 0 ? r.measured.face[(size_t)row].extreme_frame : 0;
        }
    return 0;
}

/* An expression's rows of the table: one per item, the expression's word first, spanning them. */
static std::string expression_rows(const MeasuredStudy &s, const std::string &subject, const std::string &group,
                                   const ExamLine &line)
{
    int r = recording_of(s, subject, line.expression);
    size_t columns = group.empty() ? 5 : 8;
    if (r < 0)
        return "<tr class=\"missing\"><th>" + std::string(line.expression) + "</th><td colspan=\"" +
               std::to_string(columns - 1) + "\">not recorded</td></tr>\n";
    std::string rows;
    for (size_t i = 0; i < line.items.size(); i++) {
        const ExamItem &item = line.items[i];
        ItemNumbers n = item_numbers(s.recordings[(size_t)r].measured, item);
        rows += "<tr>" + (i == 0 ? "<th rowspan=\"" + std::to_string(line.items.size()) + "\">" + line.expression +
                                       "</th>"
                                 : std::string()) +
                td(item.label);
        int places = item.value == EXAM_CLOSURE ? 1 : 2;
        if (isnan(n.left)) /* one value for the whole face */
            rows += td(number(n.right, places), " colspan=\"2\" class=\"whole\"") + td("");
        else
            rows += td(number(n.right, places)) + td(number(n.left, places)) + td(number(n.score, 0));
        if (!group.empty()) {
            ItemNumbers z = item_z(s, group, line.expression, item, n);
            rows += td(number(z.right, 2)) + td(number(z.left, 2)) + td(number(z.score, 2));
        }
        rows += "</tr>\n";
    }
    return rows;
}

/* The three figures above the table: the movement score, ocular and oral synkinesis. */
static std::string summaries(const MeasuredStudy &s, const std::string &subject)
{
    const std::vector<ExamLine> &lines = exam_lines();
    double score_sum = 0, ocular = NAN, oral = NAN;
    int scores = 0;
    for (const ExamLine &line : lines) {
        int r = recording_of(s, subject, line.expression);
        if (r < 0)
            continue;
        const MeasuredFile &file = s.recordings[(size_t)r].measured;
        if (line.scored) {
            score_sum += item_numbers(file, line.items[0]).score;
            scores++;
        }
        for (const ExamItem &item : line.items) {
            ItemNumbers n = item_numbers(file, item);
            double most = std::max(n.right, n.left);
            if (item.summary == OCULAR_SYNKINESIS)
                ocular = isnan(ocular) ? most : std::max(ocular, most);
            if (item.summary == ORAL_SYNKINESIS)
                oral = isnan(oral) ? most : std::max(oral, most);
        }
    }
    return "<dl class=\"summary\"><dt>Movement score</dt><dd>" +
           (scores ? number(score_sum / scores, 0) : std::string("not recorded")) +
           " <span class=\"note\">(the mean of the side scores of the brow lift, the eye closures and the "
           "commissure excursions of smile and teeth: 100 is as much movement on both sides)</span></dd>"
           "<dt>Ocular synkinesis</dt><dd>" +
           (isnan(ocular) ? std::string("not recorded") : number(ocular, 1) + " %") +
           " <span class=\"note\">(the largest eye closure in smile, teeth or pucker, either side)</span></dd>"
           "<dt>Oral synkinesis</dt><dd>" +
           (isnan(oral) ? std::string("not recorded") : number(oral, 2) + " mm") +
           " <span class=\"note\">(the largest mouth corner movement while the eyes close, either side)</span></dd>"
           "</dl>\n";
}

/* The subject's video frames, each at its expression's extreme, with the points drawn. */
static std::string frames_section(const MeasuredStudy &s, const std::string &subject,
                                  const std::vector<std::vector<uint8_t>> &frames)
{
    std::string figures;
    for (const ExamLine &line : exam_lines()) {
        int r = recording_of(s, subject, line.expression);
        if (r < 0 || (size_t)r >= frames.size() || frames[(size_t)r].empty())
            continue;
        const std::vector<uint8_t> &png = frames[(size_t)r];
        std::string caption = std::string(line.expression) + ", frame " + std::to_string(exam_frame(s.recordings[(size_t)r]));
        figures += "<figure><img alt=\"" + html_text(caption) + "\" src=\"data:image/png;base64," +
                   base64_text(png.data(), png.size()) + "\"><figcaption>" + html_text(caption) + "</figcaption></figure>";
    }
    return figures.empty() ? "" : "<section class=\"frames\">" + figures + "</section>\n";
}

static const char exam_style[] = R"css(
@page { size: A4; margin: 12mm; }
body { font: 12px/1.35 sans-serif; color: #111; background: #fff; margin: 16px auto; max-width: 190mm; }
h1 { font-size: 18px; margin: 0 0 4px; }
p.caveat { font-size: 11px; color: #444; margin: 4px 0 8px; }
dl.summary { display: grid; grid-template-columns: max-content 1fr; gap: 2px 10px; margin: 6px 0 10px; }
dl.summary dt { font-weight: bold; }
span.note { color: #555; font-size: 11px; }
table.exam { border-collapse: collapse; width: 100%; }
table.exam th, table.exam td { border: 1px solid #bbb; padding: 2px 5px; text-align: right; }
table.exam th { background: #f0f0f0; text-align: left; }
table.exam td:first-of-type { text-align: left; }
table.exam td.whole { text-align: center; }
tr.missing td { text-align: left; color: #777; font-style: italic; }
section.frames { display: flex; flex-wrap: wrap; gap: 6px; margin-top: 10px; break-inside: avoid; }
section.frames figure { margin: 0; width: 170px; }
section.frames img { width: 170px; height: auto; display: block; }
section.frames figcaption { font-size: 10px; text-align: center; }
@media print { a { color: inherit; text-decoration: none; } p.screen { display: none; } }
)css";

std::string exam_page(const MeasuredStudy &s, const ExamSubject &subject, const std::string &norm_group,
                      const std::vector<std::vector<uint8_t>> &frames, const std::string &made_by)
{
    std::string head = "<tr><th>Expression</th><th>Measure</th><th>R</th><th>L</th><th>Score</th>";
    head += norm_group.empty() ? "</tr>\n" : "<th>z R</th><th>z L</th><th>z score</th></tr>\n";
    std::string rows;
    for (const ExamLine &line : exam_lines())
        rows += expression_rows(s, subject.subject, norm_group, line);
    std::string against = norm_group.empty() ? "" : " The z values are against the recordings of the same "
                                                        "expression in the group &ldquo;" + html_text(norm_group) +
                                                        "&rdquo; (none with fewer than 3).";
    std::string body = "<h1>Exam of " + html_text(subject.subject) + "</h1><p class=\"screen\"><a href=\"index.html\">"
                       "All recordings</a></p><p class=\"caveat\">R is the subject's right, L the left; a score is 100 "
                       "&times; the smaller side / the larger. The movement score and the synkinesis figures are "
                       "Mienscope's own summaries of these measures, not a validated clinical grade." + against +
                       " Made by " + html_text(made_by) + ".</p>" + summaries(s, subject.subject) +
                       "<table class=\"exam\">" + head + rows + "</table>\n" + frames_section(s, subject.subject, frames);
    return html_document("Exam of " + subject.subject, exam_style, "", body);
}
