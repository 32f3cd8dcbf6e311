#include "report.h"

#include <stdio.h>

#include <algorithm>

#include "base64.h"
#include "csv.h"
#include "exam_page.h"
#include "file_io.h"

/* A number for a reader, with the decimals it needs: seconds 2, millimetres 1, percentages 1, ratios,
 * cosines and z 2 (the CSV files keep 4); "" for none. */
static std::string decimal(double value, int places)
{
    std::string field;
    append_decimal(&field, value, places);
    return field.substr(1);
}

static std::string cell(const std::string &text, const char *tag = "td")
{
    return std::string("<") + tag + ">" + html_text(text) + "</" + tag + ">";
}

int peak_frame(const MeasuredFile &file)
{
    int best = 0;
    double largest = -1.0;
    for (int f = 0; f < FACE_FRAMES; f++) {
        double sum = 0.0;
        for (int m = 0; m < FACE_MARKERS; m++)
            sum += file.curves[(size_t)m * FACE_FRAMES + (size_t)f];
        if (sum / FACE_MARKERS > largest) {
            largest = sum / FACE_MARKERS;
            best = f;
        }
    }
    return best;
}

/* The z of a measure of a recording against the normal group; NAN when it has none or is in the group. */
static double norm_z(const NormComparison *norm, size_t recording, MeasureKind kind, int index, const char *measure)
{
    if (!norm)
        return NAN;
    for (const NormScore &score : norm->scores) {
        const ComparedMeasure &m = norm->measures[score.measure];
        if (score.recording == recording && m.kind == kind && m.index == index && m.measure == measure)
            return score.z;
    }
    return NAN;
}

static std::string format_of(const Input &input)
{
    if (input.video)
        return "video, tracked by mienscope-track";
    return input.kind == INPUT_RECORDING ? format_name(input.format) : "marker file";
}

static std::string settings_text(const MeasureSettings &s)
{
    std::string rest = s.rest_first == s.rest_last ? "frame " + std::to_string(s.rest_first)
                                                   : "frames " + std::to_string(s.rest_first) + " to " +
                                                         std::to_string(s.rest_last);
    char threshold[32];
    snprintf(threshold, sizeof threshold, "%g", s.threshold);
    return "<dt>Smoothing</dt><dd>" + (s.smooth_hz > 0.0 ? html_text(s.smooth_text) + " Hz, zero-phase Butterworth" : "none") +
           "</dd><dt>Rest</dt><dd>" + rest + "</dd><dt>Threshold</dt><dd>" + threshold + " of a marker's peak</dd>" +
           (s.in_plane ? "<dt>Depth</dt><dd>left out: the picture's plane only</dd>" : "");
}

static std::string facts(const MeasuredStudy &s, const StudyRecording &r, const ReportInfo &info)
{
    const Input &in = r.input;
    std::string frames = in.kind == INPUT_RECORDING ? std::to_string(in.frames) + " in the file, 180 measured" : "180";
    std::string set = s.study.markers.set.empty() ? "none: the markers are numbered 0 to 23" : s.study.markers.set;
    std::string seconds = isnan(in.seconds) ? "not known" : decimal(in.seconds, 2) + " s";
    std::string group = r.row.group.empty() ? "" : "<dt>Group</dt><dd>" + html_text(r.row.group) + "</dd>";
    if (!r.row.subject.empty())
        group += "<dt>Subject</dt><dd>" + html_text(r.row.subject) + "</dd>";
    if (!r.row.condition.empty())
        group += "<dt>Condition</dt><dd>" + html_text(r.row.condition) + "</dd>";
    return "<section class=\"facts\"><h2>The recording</h2><dl><dt>File</dt><dd>" + html_text(r.row.file) +
           "</dd><dt>Format</dt><dd>" + format_of(in) + "</dd><dt>Duration</dt><dd>" + seconds +
           "</dd><dt>Frames</dt><dd>" + frames + "</dd><dt>Marker set</dt><dd>" + html_text(set) + "</dd>" + group +
           settings_text(s.study.settings) + "<dt>Made by</dt><dd>mienscope-report " + html_text(info.version) +
           " on " + info.date + "</dd></dl></section>\n";
}

/* A PNG as a captioned figure of the page: kind, the figure's class; name, the picture's; size, the
 * picture's attributes. */
static std::string figure(const char *kind, const char *name, const char *size, const std::vector<uint8_t> &png,
                          const std::string &caption)
{
    return std::string("<figure class=\"") + kind + "\"><img class=\"" + name + "\"" + size + " alt=\"" +
           html_text(caption) + "\" src=\"data:image/png;base64," + base64_text(png.data(), png.size()) +
           "\"><figcaption>" + html_text(caption) + "</figcaption></figure>";
}

static std::string still(const std::vector<uint8_t> &png, const std::string &caption, const char *name)
{
    return figure("still", name, " width=\"400\" height=\"640\"", png, caption);
}

static std::string video_frame(const std::vector<uint8_t> &png, const std::string &caption, const char *name)
{
    return figure("video-frame", name, "", png, caption);
}

/* The video's own frames at rest and at the peak, when the recording is a video. */
static std::string video_frames(const RecordingStills &stills)
{
    if (stills.video_rest.empty())
        return "";
    char rest[96], peak[96];
    snprintf(rest, sizeof rest, "The video at rest, frame %d (%.2f s)", stills.rest_frame, stills.rest_seconds);
    snprintf(peak, sizeof peak, "The video at its peak, frame %d (%.2f s)", stills.peak_frame, stills.peak_seconds);
    return "<div class=\"video-frames\">" + video_frame(stills.video_rest, rest, "video-rest") +
           video_frame(stills.video_peak, peak, "video-peak") +
           "<p class=\"note\">The points the tracker placed are drawn in green.</p></div>\n";
}

static std::string movement(const RecordingStills &stills, const PageData &view)
{
    std::string rest = "At rest, frame " + std::to_string(stills.rest_frame),
                peak = "At its peak, frame " + std::to_string(stills.peak_frame);
    return "<section class=\"movement\"><h2>The movement</h2>\n<p class=\"screen keys\">Play with <kbd>a</kbd>, "
           "pause with <kbd>space</kbd>, step with <kbd>,</kbd> and <kbd>.</kbd>, turn with the arrows or the mouse, "
           "move the camera with <kbd>&lt;</kbd> and <kbd>&gt;</kbd>.</p>\n<div class=\"movement-row\">"
           "<div class=\"mienscope-view screen\" id=\"view\"></div>\n<div class=\"stills\">" +
           still(stills.rest, rest, "rest") + still(stills.peak, peak, "peak") +
           still(stills.both, "Rest (green) and peak (red)", "both") + "</div></div>\n" + video_frames(stills) +
           "<script>\nmienscopeView(document."
           "getElementById('view'), " + page_view_data(view, false) + ");\n</script></section>\n";
}

/* A measure's value for a reader: frames whole, others with the table of measures' decimals; "" for none. */
static std::string measure_text(const MeasureDefinition &m, const MeasuredFile &file, size_t index)
{
    double v = m.value(file, index);
    return is_whole(m) ? (isnan(v) ? "" : std::to_string((long)v)) : decimal(v, m.decimals);
}

/* The pair measure the page sets against the normal range: its cell bold and marked where outside. */
static const char compared_pair_measure[] = "asymmetry_pct";

static std::string pair_row(const MeasuredStudy &s, size_t r, size_t p, const NormComparison *norm, bool timed)
{
    const MeasuredFile &file = s.recordings[r].measured;
    const MarkerNames &n = s.study.markers;
    std::string row = "<tr>" + cell(n.labels[(size_t)n.pairs[p][0]], "th") + cell(n.labels[(size_t)n.pairs[p][1]], "th");
    const MeasureDefinition &against = *find_measure(PAIR_MEASURE, compared_pair_measure);
    double z = norm_z(norm, r, PAIR_MEASURE, (int)p, against.column);
    bool outside = !isnan(z) && is_outside(against, z);
    for (const MeasureDefinition *m : paged_of(PAIR_MEASURE)) {
        std::string text = measure_text(*m, file, p);
        /* The mark takes the same room in every row, so that the numbers stay aligned. */
        if (m == &against)
            row += outside ? "<td class=\"outside\"><strong>" + text + "</strong><span class=\"mark\">&nbsp;!</span></td>"
                           : "<td>" + text + "<span class=\"mark\"></span></td>";
        else
            row += cell(text);
    }
    if (timed)
        for (const MeasureDefinition *m : paged_of(PAIR_MEASURE))
            if (m->seconds != NO_SECONDS)
                row += cell(decimal(seconds_value(*m, file, p), seconds_decimals));
    if (norm && s.recordings[r].row.group != norm->group)
        row += cell(decimal(z, 2)) + cell(isnan(z) ? "" : outside ? "yes" : "no");
    else if (norm)
        row += cell("") + cell("");
    return row + "</tr>\n";
}

/* The headings of one kind's measures on the page; with their seconds forms' after them when timed. */
static std::string measure_headings(MeasureKind kind, bool timed)
{
    std::string head;
    for (const MeasureDefinition *m : paged_of(kind))
        head += cell(m->heading, "th");
    if (timed)
        for (const MeasureDefinition *m : paged_of(kind))
            if (m->seconds != NO_SECONDS)
                head += cell(m->seconds_heading, "th");
    return head;
}

static std::string sides(const MeasuredStudy &s, size_t r, const NormComparison *norm)
{
    if (s.study.markers.pairs.empty())
        return "<section class=\"sides\"><h2>Left and right</h2><p>The marker set pairs no markers, so the sides are "
               "not compared.</p></section>\n";
    bool timed = !isnan(s.recordings[r].input.seconds);
    std::string head = "<tr><th>Left</th><th>Right</th>" + measure_headings(PAIR_MEASURE, timed);
    head += norm ? "<th>Asymmetry z</th><th>Outside</th></tr>\n" : "</tr>\n";
    std::string rows;
    for (size_t p = 0; p < s.study.markers.pairs.size(); p++)
        rows += pair_row(s, r, p, norm, timed);
    std::string note = norm ? "<p class=\"note\">Against the normal range of the group &ldquo;" + html_text(norm->group) +
                                  "&rdquo;: an asymmetry above it (z &gt; 1.96; a face more symmetric than the group is not "
                                  "abnormal) is bold and marked !</p>"
                            : "";
    return "<section class=\"sides\"><h2>Left and right</h2><div class=\"wide\"><table class=\"pairs\">" + head + rows +
           "</table></div>" + note +
           "</section>\n";
}

/* gnuplot's SVG without its XML declaration and doctype, to stand inside the page. */
static std::string inline_svg(const std::string &svg)
{
    size_t at = svg.find("<svg");
    return at == std::string::npos ? "" : svg.substr(at);
}

static std::string over_time(const MeasuredStudy &s, const std::string &plot)
{
    std::string body = s.study.markers.pairs.empty() ? "<p>The marker set pairs no markers.</p>"
                       : plot.empty() ? "<p>The plots were not drawn: gnuplot was not on PATH when this report was made.</p>"
                                      : "<div class=\"plot\">" + inline_svg(plot) + "</div>";
    return "<section class=\"time\"><h2>Over time</h2><p class=\"note\">Displacement from rest of each pair, the left "
           "side solid, the right dashed.</p>" + body + "</section>\n";
}

static std::string markers_section(const MeasuredStudy &s, size_t r)
{
    const MeasuredFile &file = s.recordings[r].measured;
    std::string rows = "<tr><th>Marker</th><th>Label</th>" + measure_headings(MARKER_MEASURE, false) + "</tr>\n";
    for (int m = 0; m < FACE_MARKERS; m++) {
        rows += "<tr>" + cell(std::to_string(m)) + cell(s.study.markers.labels[(size_t)m]);
        for (const MeasureDefinition *measure : paged_of(MARKER_MEASURE))
            rows += cell(measure_text(*measure, file, (size_t)m));
        rows += "</tr>\n";
    }
    return "<section class=\"markers\"><details><summary>Every marker's measures</summary><div class=\"wide\"><table>" + rows +
           "</table></div></details></section>\n";
}

static const char report_style[] = R"css(
body { font: 14px/1.45 sans-serif; color: #111; background: #fff; margin: 20px auto; max-width: 1800px; padding: 0 16px; }
h1 { font-size: 22px; margin: 0 0 4px; }
h2 { font-size: 17px; border-bottom: 1px solid #bbb; margin: 22px 0 8px; }
dl { display: grid; grid-template-columns: max-content auto; gap: 2px 14px; margin: 0; }
dt { color: #555; }
dd { margin: 0; }
table { border-collapse: collapse; font-variant-numeric: tabular-nums; }
th, td { border: 1px solid #ccc; padding: 2px 6px; text-align: right; }
th { background: #f0f0f0; }
tr > th:first-child, tr > th:nth-child(2) { text-align: left; }
.outside { background: #fde0dc; }
.note, .keys { color: #444; font-size: 13px; }
.movement-row { display: flex; gap: 14px; flex-wrap: wrap; align-items: flex-start; }
.stills { display: flex; gap: 10px; flex-wrap: wrap; }
.still { margin: 0; }
.still img { display: block; width: 400px; height: 640px; }
.still figcaption { font-size: 12px; color: #333; text-align: center; }
.mark { display: inline-block; width: 1.1em; text-align: left; }
.wide { max-width: 100%; overflow-x: auto; }
.video-frames { display: flex; gap: 10px; flex-wrap: wrap; align-items: flex-start; margin-top: 8px; }
.video-frame { margin: 0; }
.video-frame img { display: block; max-width: 640px; max-height: 480px; }
.video-frame figcaption { font-size: 12px; color: #333; text-align: center; }
.mienscope-view { background: #1c1c1c; color: #e6e6e6; padding: 8px; border-radius: 4px; margin-bottom: 8px; }
.plot svg { max-width: 100%; height: auto; }
kbd { border: 1px solid #999; border-radius: 3px; padding: 0 4px; font: 12px monospace; }
@page { size: A4; margin: 12mm; }
@media print {
  body { font-size: 9.5pt; margin: 0; max-width: none; padding: 0; }
  .screen { display: none !important; }
  h1 { font-size: 15pt; }
  h2 { font-size: 11pt; margin: 4px 0 2px; }
  dl { grid-template-columns: max-content auto max-content auto; font-size: 8.5pt; }
  .still img { width: 24mm; height: 38.4mm; }
  .still figcaption { font-size: 7.5pt; }
  .video-frame img { max-width: 90mm; max-height: 40mm; }
  .video-frame figcaption { font-size: 7.5pt; }
  table.pairs { width: 100%; }
  th, td { padding: 0 3px; font-size: 7.5pt; }
  .markers th, .markers td { font-size: 7pt; line-height: 1.15; }
  .note { font-size: 8pt; margin: 2px 0; }
  .plot svg { width: 100%; height: auto; max-height: 240mm; }
  .time { break-before: page; }
  details::details-content { content-visibility: visible; display: block; }
  details > summary { font-weight: bold; list-style: none; }
}
)css";

std::string html_document(const std::string &title, const std::string &style, const std::string &script,
                          const std::string &body)
{
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + html_text(title) +
           "</title>\n<style>" + style + "</style>\n" +
           (script.empty() ? std::string() : "<script>\n" + script + "\n</script>\n") + "</head>\n<body>\n" + body +
           "</body>\n</html>\n";
}

static std::string document(const std::string &title, const std::string &body, bool with_view)
{
    return html_document(title, std::string(report_style) + (with_view ? page_view_style : ""),
                         with_view ? page_view_script : "", body);
}

std::string recording_page(const MeasuredStudy &s, size_t r, const NormComparison *norm, const RecordingStills &stills,
                           const PageData &view, const std::string &plot, const ReportInfo &info)
{
    const StudyRecording &rec = s.recordings[r];
    std::string body = "<header><h1>" + html_text(rec.name) + "</h1><p class=\"screen\"><a href=\"index.html\">All "
                       "recordings of the report</a></p></header>\n";
    body += facts(s, rec, info) + movement(stills, view) + sides(s, r, norm) + markers_section(s, r) + over_time(s, plot);
    return document(rec.name + " - Mienscope report", body, true);
}

/* A pair's asymmetry is noise when neither side moves: the index ranks only pairs whose larger peak is
 * at least this, in millimetres. */
static const double least_asymmetry_peak = 1.0;

/* The pair with the largest asymmetry among those that move: its name and its asymmetry, or two empty
 * texts. */
static std::pair<std::string, std::string> largest_asymmetry(const MeasuredStudy &s, const MeasuredFile &file)
{
    const MarkerNames &n = s.study.markers;
    long best = -1;
    for (size_t p = 0; p < file.pairs.size(); p++) {
        const PairMeasure &pair = file.pairs[p];
        bool moves = std::max(pair.left_peak, pair.right_peak) >= least_asymmetry_peak;
        if (moves && (best < 0 || pair.asymmetry > file.pairs[(size_t)best].asymmetry))
            best = (long)p;
    }
    if (best < 0)
        return {"", ""};
    const auto &pair = n.pairs[(size_t)best];
    return {n.labels[(size_t)pair[0]] + "/" + n.labels[(size_t)pair[1]], decimal(file.pairs[(size_t)best].asymmetry, 1)};
}

static std::string outside_count(const NormComparison *norm, const MeasuredStudy &s, size_t r)
{
    if (!norm || s.recordings[r].row.group == norm->group)
        return "";
    size_t outside = 0;
    for (const NormScore &score : norm->scores) {
        const ComparedMeasure &m = norm->measures[score.measure];
        outside += score.recording == r && !isnan(score.z) && !m.in_seconds && is_outside(*m.definition, score.z);
    }
    return std::to_string(outside);
}

/* In an exam, a link to each subject's grading page. */
static std::string exam_links(const MeasuredStudy &s)
{
    if (!s.table.has_expression)
        return "";
    std::string links;
    for (const ExamSubject &subject : exam_subjects(s))
        links += "<li><a href=\"" + html_text(subject.page) + "\">" + html_text(subject.subject) + "</a></li>";
    return "<section class=\"exams\"><h2>Exams</h2><p>A grading page per subject, each expression's face measures "
           "side against side:</p><ul>" + links + "</ul></section>\n";
}

std::string index_page(const MeasuredStudy &s, const NormComparison *norm, const ReportInfo &info)
{
    std::string rows = "<tr><th>Recording</th><th>Group</th><th>Subject</th><th>Condition</th><th>Duration (s)</th>"
                       "<th>Largest asymmetry</th><th>Asymmetry (%)</th>";
    rows += norm ? "<th>Measures outside the normal range</th></tr>\n" : "</tr>\n";
    for (size_t r = 0; r < s.recordings.size(); r++) {
        const StudyRecording &rec = s.recordings[r];
        auto largest = largest_asymmetry(s, rec.measured);
        rows += "<tr><th><a href=\"" + html_text(rec.name) + ".html\">" + html_text(rec.name) + "</a></th>" +
                cell(rec.row.group) + cell(rec.row.subject) + cell(rec.row.condition) + cell(decimal(rec.input.seconds, 2)) +
                cell(largest.first) + cell(largest.second) + (norm ? cell(outside_count(norm, s, r)) : "") + "</tr>\n";
    }
    std::string largest = "<p>The largest asymmetry is that of the pairs whose larger peak is at least 1 mm: the "
                          "asymmetry of two sides that barely move is noise.</p>";
    std::string against = norm ? "<p>Measures outside the normal range: against the group &ldquo;" +
                                     html_text(norm->group) + "&rdquo;: |z| &gt; 1.96, an asymmetry z &gt; 1.96 (a face more symmetric "
                                     "than the group is not abnormal), each measure once (its time in seconds is its "
                                     "frame again).</p>"
                               : "";
    return document("Mienscope report", "<h1>Mienscope report</h1><p>" + std::to_string(s.recordings.size()) +
                                            " recordings, made by mienscope-report " + html_text(info.version) +
                                            " on " + info.date + ".</p>" + exam_links(s) + largest + against +
                                            "<table class=\"index\">" + rows + "</table>\n",
                    false);
}
