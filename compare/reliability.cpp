#include "reliability.h"

#include <math.h>
#include <stdio.h>

#include <algorithm>

#include "csv.h"
#include "gnuplot.h"
#include "group_tests.h"
#include "text.h"

const char bland_altman_header[] = "kind,name,measure,subject,a,b,mean,difference";
const char reliability_header[] = "kind,name,measure,n,mean_a,mean_b,bias,loa_low,loa_high,icc_a1,icc_a1_low,"
                                  "icc_a1_high,icc_c1,icc_c1_low,icc_c1_high,sem,mdc95";

/* Each pair's values of the measure, those pairs that have both: A's, then B's. */
static void paired_values(const MeasuredStudy &s, const ReliabilityComparison &c, const ComparedMeasure &m,
                          std::vector<double> *a, std::vector<double> *b, std::vector<size_t> *subjects = nullptr)
{
    for (size_t i = 0; i < c.pairs.size(); i++) {
        double first = measure_value(s.recordings[c.pairs[i][0]].measured, m);
        double second = measure_value(s.recordings[c.pairs[i][1]].measured, m);
        if (isnan(first) || isnan(second))
            continue;
        a->push_back(first);
        b->push_back(second);
        if (subjects)
            subjects->push_back(i);
    }
}

bool compare_reliability(const MeasuredStudy &s, const std::string &a, const std::string &b, ReliabilityComparison *c,
                         std::string *error)
{
    c->a = a;
    c->b = b;
    if (a == b) {
        *error = s.table.name + ": --reliability \"" + a + "\" \"" + b + "\" names one condition twice";
        return false;
    }
    if (!pair_subjects(s, a, b, "--reliability", 3, &c->pairs, &c->left_out, error))
        return false;
    c->measures = compared_measures(s);
    for (const ComparedMeasure &m : c->measures) {
        std::vector<double> first, second;
        paired_values(s, *c, m, &first, &second);
        c->rows.push_back(test_retest(first, second));
    }
    return true;
}

std::string reliability_table(const ReliabilityComparison &c)
{
    std::string text = std::string(reliability_header) + "\n";
    for (size_t i = 0; i < c.rows.size(); i++) {
        const Reliability &r = c.rows[i];
        text += measure_fields(c.measures[i]);
        append_integer(&text, (long)r.n);
        for (double v : {r.mean_a, r.mean_b, r.bias, r.loa_low, r.loa_high, r.icc_a1, r.icc_a1_low, r.icc_a1_high,
                         r.icc_c1, r.icc_c1_low, r.icc_c1_high, r.sem, r.mdc95})
            append_decimal(&text, v, 4);
        text += "\n";
    }
    return text;
}

std::string bland_altman_table(const MeasuredStudy &s, const ReliabilityComparison &c)
{
    std::string text = std::string(bland_altman_header) + "\n";
    for (const ComparedMeasure &m : c.measures) {
        std::vector<double> a, b;
        std::vector<size_t> subjects;
        paired_values(s, c, m, &a, &b, &subjects);
        for (size_t i = 0; i < a.size(); i++) {
            text += measure_fields(m) + "," + csv_field(s.recordings[c.pairs[subjects[i]][0]].row.subject);
            for (double v : {a[i], b[i], (a[i] + b[i]) / 2, b[i] - a[i]})
                append_decimal(&text, v, 4);
            text += "\n";
        }
    }
    return text;
}

/* A number for the script, as gnuplot reads it; with decimals (2 for a title), else its six digits. */
static std::string number(double v, int decimals = -1)
{
    char text[32];
    if (decimals < 0)
        snprintf(text, sizeof text, "%.6g", v);
    else
        snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

/* The rows of one panel of the ICC plot: every marker's peak_mm, or every pair's asymmetry_pct. */
static std::vector<size_t> panel_rows(const ReliabilityComparison &c, MeasureKind kind, const char *measure)
{
    std::vector<size_t> rows;
    for (size_t i = 0; i < c.measures.size(); i++)
        if (c.measures[i].kind == kind && c.measures[i].measure == measure)
            rows.push_back(i);
    return rows;
}

/* One panel from reliability.csv, its rows every `step` from `first`: each ICC(A,1) a point on its label's
 * line, its interval a bar, lines at 0.75 and 0.9 (good and excellent); a panel with no ICC to draw says so
 * instead of plotting nothing, which gnuplot refuses. */
static std::string icc_panel(const ReliabilityComparison &c, const std::vector<size_t> &rows,
                             const std::vector<std::string> &labels, const std::string &title)
{
    std::string text = "    set title " + gnuplot_string(title) + "\n    set ytics ()\n";
    double lowest = 0.0;
    size_t drawn = 0;
    for (size_t k = 0; k < rows.size(); k++) {
        const Reliability &r = c.rows[rows[k]];
        text += "    set ytics add (" + gnuplot_string(labels[k]) + " " + std::to_string(-(long)k) + ")\n";
        drawn += !isnan(r.icc_a1);
        for (double v : {r.icc_a1, r.icc_a1_low})
            if (isfinite(v))
                lowest = std::min(lowest, v);
    }
    text += "    set yrange [" + std::to_string(-(long)rows.size()) + ":1]\n    set xrange [" +
            number(floor(lowest * 10) / 10) + ":1.02]\n";
    if (drawn == 0)
        return text + "    set label 1 'no ICC to draw: too few subjects with both values, or none that differ' "
                      "at graph 0.5, graph 0.5 center\n    plot NaN notitle\n    unset label 1\n";
    std::string every = "every " + std::to_string(rows.size() > 1 ? rows[1] - rows[0] : 1) + "::" +
                        std::to_string(rows[0]) + "::" + std::to_string(rows.back());
    std::string icc = std::to_string(csv_column(reliability_header, "icc_a1"));
    std::string bar = icc + ":(-$0):" + std::to_string(csv_column(reliability_header, "icc_a1_low")) + ":" +
                      std::to_string(csv_column(reliability_header, "icc_a1_high"));
    return text + "    plot 'reliability.csv' skip 1 " + every + " using " + bar + " with xerrorbars pointtype 7 "
                  "linecolor rgb '#1f4fd0' title 'ICC(A,1) and its 95 % interval', \\\n         '' skip 1 " + every +
                  " using " + icc + ":(-$0) with points pointtype 7 linecolor rgb '#1f4fd0' notitle\n";
}

static const char icc_plot_setup[] = R"gnuplot(
    set multiplot layout panels,1
    set grid xtics
    set arrow 1 from 0.75, graph 0 to 0.75, graph 1 nohead dashtype 2 linecolor rgb '#b07000'
    set arrow 2 from 0.9, graph 0 to 0.9, graph 1 nohead dashtype 2 linecolor rgb '#008000'
    set label 2 'good' at 0.75, graph 1 offset 0.3, -0.8 textcolor rgb '#b07000'
    set label 3 'excellent' at 0.9, graph 1 offset 0.3, -0.8 textcolor rgb '#008000'
    set key outside top center horizontal
    set tmargin 5
    set lmargin at screen 0.2
    set rmargin at screen 0.96
    set xlabel 'ICC(A,1), absolute agreement of the two conditions'
    unset ylabel
)gnuplot";

static const char plot_end[] = R"gnuplot(
    unset multiplot
    unset arrow
    unset label
    set xrange [*:*]
    set yrange [*:*]
    set ytics autofreq
    set tmargin -1
    set lmargin -1
    set rmargin -1
    set output
}
)gnuplot";

/* One pair's panel from bland-altman.csv: each subject's mean of the two against their difference, the
 * bias and the limits; a panel with no subject says so. */
static std::string bland_altman_panel(const ReliabilityComparison &c, size_t row)
{
    const ComparedMeasure &m = c.measures[row];
    const Reliability &r = c.rows[row];
    std::string text = "    set title " + gnuplot_string(m.name + " asymmetry_pct") + "\n";
    if (r.n == 0)
        return text + "    set label 1 'no subject has both values' at graph 0.5, graph 0.5 center\n"
                      "    plot [0:1][0:1] NaN notitle\n    unset label 1\n";
    auto column = [](const char *name) { return std::to_string(csv_column(bland_altman_header, name)); };
    text += "    plot 'bland-altman.csv' skip 1 using (strcol(" + column("name") + ") eq " + gnuplot_string(m.name) +
            " && strcol(" + column("measure") + ") eq " + gnuplot_string(m.measure) + " ? $" + column("mean") +
            " : NaN):" + column("difference") + " with points pointtype 7 linecolor rgb '#1f4fd0' "
            "title 'a subject'";
    if (!isnan(r.bias))
        text += ", \\\n         " + number(r.bias) + " with lines linecolor rgb '#000000' title 'bias " +
                number(r.bias, 2) + "', \\\n         " + number(r.loa_low) +
                " with lines dashtype 2 linecolor rgb '#e00000' title 'limits of agreement " + number(r.loa_low, 2) +
                ", " + number(r.loa_high, 2) + "', \\\n         " + number(r.loa_high) +
                " with lines dashtype 2 linecolor rgb '#e00000' notitle";
    return text + "\n";
}

std::string reliability_plot_script(const MeasuredStudy &s, const ReliabilityComparison &c)
{
    const MarkerNames &n = s.study.markers;
    std::vector<size_t> markers = panel_rows(c, MARKER_MEASURE, "peak_mm"), pairs = panel_rows(c, PAIR_MEASURE, "asymmetry_pct");
    std::vector<std::string> pair_labels;
    for (size_t row : pairs)
        pair_labels.push_back(c.measures[row].name);
    int panels = pairs.empty() ? 1 : 2;
    std::string text = "\n# reliability.png and .svg: ICC(A,1) of " + gnuplot_string(c.b) + " against " +
                       gnuplot_string(c.a) + "\npanels = " + std::to_string(panels) + "\n" +
                       gnuplot_pictures("reliability", 1100, 700 * panels) + icc_plot_setup +
                       icc_panel(c, markers, n.labels, "Peak displacement (peak_mm): " + c.b + " against " + c.a);
    if (!pairs.empty())
        text += icc_panel(c, pairs, pair_labels, "Asymmetry of the pairs (asymmetry_pct): " + c.b + " against " + c.a);
    text += plot_end;
    int rows = pairs.empty() ? 1 : (int)(pairs.size() + 1) / 2, columns = pairs.size() > 1 ? 2 : 1;
    text += "\n# bland-altman.png and .svg: each pair's asymmetry_pct, the mean of the two conditions against "
            "their difference\n" + gnuplot_pictures("bland-altman", 1100, 420 * rows) +
            "    set multiplot layout " + std::to_string(rows) + "," + std::to_string(columns) + " title " +
            gnuplot_string("Bland-Altman: " + c.b + " - " + c.a + " against their mean") +
            "\n    set grid\n    set key bottom right\n    set xlabel 'mean of the two (%)'\n"
            "    set ylabel 'difference (percentage points)'\n";
    if (pairs.empty())
        text += "    set label 1 'the marker set has no pairs' at graph 0.5, graph 0.5 center\n"
                "    plot [0:1][0:1] NaN notitle\n";
    for (size_t row : pairs)
        text += bland_altman_panel(c, row);
    return text + plot_end;
}
