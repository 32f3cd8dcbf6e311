/* The measures on movements whose answers are worked out by hand, and the
 * tables they are written in. */
#include <gtest/gtest.h>
#include <math.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "csv.h"
#include "measure_table.h"
#include "measures.h"
#include "smoothing.h"
#include "tables.h"
#include "testfiles.h"

/* Every marker still at its own place, (10 m, 5, -3) mm. */
static FacePositions still_face()
{
    FacePositions xyz((size_t)FACE_FRAMES * FACE_MARKERS * 3);
    for (int f = 0; f < FACE_FRAMES; f++)
        for (int m = 0; m < FACE_MARKERS; m++) {
            double *p = &xyz[((size_t)f * FACE_MARKERS + m) * 3];
            p[0] = 10.0 * m;
            p[1] = 5.0;
            p[2] = -3.0;
        }
    return xyz;
}

static void move(FacePositions *xyz, int frame, int marker, double dx, double dy, double dz)
{
    double *p = &(*xyz)[((size_t)frame * FACE_MARKERS + marker) * 3];
    p[0] += dx;
    p[1] += dy;
    p[2] += dz;
}

/* How far along its path marker 3 is at frame f: still to frame 20,
 * 0.5 mm a frame out to 20 mm at frame 60, 0.25 mm a frame back to 0 at
 * frame 140, still after. */
static double path_length(int f)
{
    if (f <= 20)
        return 0.0;
    if (f <= 60)
        return 0.5 * (f - 20);
    if (f <= 140)
        return 20.0 - 0.25 * (f - 60);
    return 0.0;
}

/* Marker 3 moves by path_length times (3, 4, 0): 5 mm for each mm of
 * path. Every value is a short binary fraction, so the distances are
 * exact and the threshold crossings fall where worked out. */
static FacePositions known_path()
{
    FacePositions xyz = still_face();
    for (int f = 0; f < FACE_FRAMES; f++)
        move(&xyz, f, 3, 3.0 * path_length(f), 4.0 * path_length(f), 0.0);
    return xyz;
}

TEST(Measures, AMarkerAlongAKnownPath)
{
    MeasureSettings settings;
    MarkerMeasure m = measure_marker(known_path(), 3, settings);
    EXPECT_EQ(m.peak, 100.0);
    EXPECT_EQ(m.peak_frame, 60);
    /* 10 % of 100 mm is 10 mm: reached at frame 24 on the way out, first
     * below it at frame 133 on the way back (132 is exactly 10 mm). */
    EXPECT_EQ(m.onset_frame, 24);
    EXPECT_EQ(m.offset_frame, 133);
    EXPECT_EQ(m.peak_speed, 2.5) << "mm per frame on the way out";
    EXPECT_EQ(m.peak_vector[0], 60.0);
    EXPECT_EQ(m.peak_vector[1], 80.0);
    EXPECT_EQ(m.peak_vector[2], 0.0);

    settings.threshold = 0.5;
    m = measure_marker(known_path(), 3, settings);
    EXPECT_EQ(m.onset_frame, 40);
    EXPECT_EQ(m.offset_frame, 101);

    /* Resting at frame 100, 50 mm out: frame 0 is the first 50 mm away. */
    settings = MeasureSettings();
    settings.rest_first = settings.rest_last = 100;
    m = measure_marker(known_path(), 3, settings);
    EXPECT_EQ(m.peak, 50.0);
    EXPECT_EQ(m.peak_frame, 0);
    EXPECT_EQ(m.onset_frame, 0);

    /* A marker that never moves has no onset or offset. */
    m = measure_marker(known_path(), 4, MeasureSettings());
    EXPECT_EQ(m.peak, 0.0);
    EXPECT_EQ(m.onset_frame, -1);
    EXPECT_EQ(m.offset_frame, -1);

    /* Speed at the ends is one-sided: a jump of 3 mm between the last two frames. */
    FacePositions jump = still_face();
    move(&jump, FACE_FRAMES - 1, 7, 0.0, 0.0, 3.0);
    m = measure_marker(jump, 7, MeasureSettings());
    EXPECT_NEAR(m.peak_speed, 3.0, 1e-12);
    EXPECT_EQ(m.offset_frame, -1) << "it never falls back";
}

TEST(Measures, PairsCompareTheTwoSides)
{
    /* Marker 1 (the subject's left) rises out and up, marker 2 (right) as
     * its mirror image, then marker 2 twice as far and 10 frames later. */
    FacePositions mirrored = still_face(), uneven = still_face(), one_still = still_face();
    for (int f = 50; f < 100; f++) {
        double k = f < 80 ? (f - 50) / 30.0 : 1.0;
        move(&mirrored, f, 1, 2 * k, 3 * k, -1 * k);
        move(&mirrored, f, 2, -2 * k, 3 * k, -1 * k);
        move(&uneven, f, 1, 2 * k, 3 * k, -1 * k);
        move(&one_still, f, 1, 2 * k, 3 * k, -1 * k);
    }
    for (int f = 60; f < FACE_FRAMES; f++)
        move(&uneven, f, 2, f < 90 ? -4 * (f - 60) / 30.0 : -4, f < 90 ? 6 * (f - 60) / 30.0 : 6, f < 90 ? -2 * (f - 60) / 30.0 : -2);
    MeasureSettings s;
    PairMeasure p = measure_pair(measure_marker(mirrored, 1, s), measure_marker(mirrored, 2, s));
    EXPECT_NEAR(p.left_peak, sqrt(14.0), 1e-12);
    EXPECT_NEAR(p.ratio, 1.0, 1e-12);
    EXPECT_NEAR(p.difference, 0.0, 1e-12);
    EXPECT_NEAR(p.asymmetry, 0.0, 1e-9);
    EXPECT_NEAR(p.direction, 1.0, 1e-12) << "mirror images";
    EXPECT_EQ(p.lag, 0);

    p = measure_pair(measure_marker(uneven, 1, s), measure_marker(uneven, 2, s));
    EXPECT_NEAR(p.ratio, 0.5, 1e-12);
    EXPECT_NEAR(p.difference, sqrt(14.0), 1e-12);
    EXPECT_NEAR(p.asymmetry, 50.0, 1e-9);
    EXPECT_NEAR(p.direction, 1.0, 1e-12);
    EXPECT_EQ(p.lag, 10) << "left reaches a tenth of its peak at frame 53, right at 63";

    p = measure_pair(measure_marker(one_still, 1, s), measure_marker(one_still, 2, s));
    EXPECT_NEAR(p.right_peak, 0.0, 1e-12);
    EXPECT_TRUE(isnan(p.ratio));
    EXPECT_TRUE(isnan(p.direction));
    EXPECT_NEAR(p.asymmetry, 100.0, 1e-9);
    EXPECT_EQ(p.lag, NO_LAG) << "a still marker has no onset";

    /* The same vector on both sides, not mirrored: moving the same way is the opposite of mirror images in x. */
    FacePositions parallel = still_face();
    for (int f = 1; f < FACE_FRAMES; f++) {
        move(&parallel, f, 1, 5, 0, 0);
        move(&parallel, f, 2, 5, 0, 0);
    }
    EXPECT_NEAR(measure_pair(measure_marker(parallel, 1, s), measure_marker(parallel, 2, s)).direction, -1.0, 1e-12);
}

TEST(Tables, ColumnsDecimalsEmptyFieldsAndQuotedNames)
{
    Study study;
    for (int m = 0; m < FACE_MARKERS; m++)
        study.markers.labels.push_back(m == 3 ? "mouth, left" : "m" + std::to_string(m));
    study.markers.pairs = {{3, 4}};
    std::vector<MeasuredFile> files = {measure_file("a,b.dat", known_path(), NAN, study),
                                       measure_file("x\"y.dat", still_face(), NAN, study)};

    std::string markers = markers_table(files, study);
    EXPECT_EQ(markers.substr(0, markers.find('\n')),
              "file,marker,label,peak_mm,peak_frame,onset_frame,offset_frame,peak_speed_mm_per_frame,dx_mm,dy_mm,dz_mm");
    EXPECT_NE(markers.find("\n\"a,b.dat\",3,\"mouth, left\",100.0000,60,24,133,2.5000,60.0000,80.0000,0.0000\n"),
              std::string::npos) << markers;
    EXPECT_NE(markers.find("\n\"x\"\"y.dat\",4,m4,0.0000,0,,,0.0000,0.0000,0.0000,0.0000\n"), std::string::npos);
    EXPECT_EQ(std::count(markers.begin(), markers.end(), '\n'), 1 + 2 * 24);

    /* 17.9 s for 180 frames: 0.1 s a frame. */
    for (MeasuredFile &file : files)
        file.seconds = 17.9;
    markers = markers_table(files, study);
    EXPECT_NE(markers.find(",dz_mm,peak_s,onset_s,offset_s,peak_speed_mm_per_s\n"), std::string::npos);
    EXPECT_NE(markers.find(",60.0000,80.0000,0.0000,6.0000,2.4000,13.3000,25.0000\n"), std::string::npos) << markers;
    EXPECT_NE(markers.find(",4,m4,0.0000,0,,,0.0000,0.0000,0.0000,0.0000,0.0000,,,0.0000\n"), std::string::npos);

    std::string pairs = pairs_table(files, study);
    EXPECT_EQ(pairs, "file,left,right,left_peak_mm,right_peak_mm,ratio,difference_mm,asymmetry_pct,direction_cos,lag_frames,lag_s\n"
                     "\"a,b.dat\",\"mouth, left\",m4,100.0000,0.0000,,100.0000,100.0000,,,\n"
                     "\"x\"\"y.dat\",\"mouth, left\",m4,0.0000,0.0000,,0.0000,0.0000,,,\n")
        << "a side that never moves has no onset, so no lag";

    std::string curves = curves_table(files, study);
    EXPECT_EQ(curves.substr(0, curves.find('\n')), "file,frame,marker,label,displacement_mm");
    EXPECT_EQ(std::count(curves.begin(), curves.end(), '\n'), 1 + 2 * 24 * 180);
    EXPECT_NE(curves.find("\n\"a,b.dat\",60,3,\"mouth, left\",100.0000\n"), std::string::npos);
    EXPECT_NE(curves.find("\n\"a,b.dat\",21,3,\"mouth, left\",2.5000\n\"a,b.dat\",22,3,"), std::string::npos)
        << "a curve's frames follow one another";
}

/* The filter on series whose answers are known: a second-order
 * Butterworth run twice has the squared magnitude 1 / (1 + (f / fc)^4) of
 * the analogue prototype at the pre-warped frequencies. */
static std::vector<double> filtered(const std::vector<double> &series, double cutoff, double rate)
{
    return filter_both_ways(butterworth_lowpass(cutoff / (rate / 2)), series);
}

static std::vector<double> sine(double hz, double rate)
{
    std::vector<double> s(FACE_FRAMES);
    for (size_t f = 0; f < s.size(); f++)
        s[f] = sin(2 * M_PI * hz * (double)f / rate + 0.3);
    return s;
}

/* The amplitude of the sine at hz that best fits frames 30 to 149, by least squares on sin and cos. */
static double fitted_amplitude(const std::vector<double> &y, double hz, double rate)
{
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    for (size_t f = 30; f < 150; f++) {
        double s = sin(2 * M_PI * hz * (double)f / rate), c = cos(2 * M_PI * hz * (double)f / rate);
        ss += s * s, sc += s * c, cc += c * c, ys += y[f] * s, yc += y[f] * c;
    }
    double det = ss * cc - sc * sc, a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
    return sqrt(a * a + b * b);
}

TEST(Smoothing, ConstantsRampsAndSinesPassAsTheFilterShouldPassThem)
{
    std::vector<double> constant(FACE_FRAMES, 412.3), out = filtered(constant, 6, 60);
    for (double v : out)
        EXPECT_NEAR(v, 412.3, 1e-9);

    /* A straight line away from the ends, for cutoffs from a twentieth of the rate up. */
    std::vector<double> ramp(FACE_FRAMES);
    for (size_t f = 0; f < ramp.size(); f++)
        ramp[f] = -20.0 + 0.35 * (double)f;
    for (double fraction : {0.05, 0.1, 0.3, 0.45}) {
        out = filtered(ramp, fraction * 60, 60);
        for (size_t f = 30; f < 150; f++)
            EXPECT_NEAR(out[f], ramp[f], 1e-3) << "cutoff " << fraction << " of the rate, frame " << f;
    }

    /* Through at a tenth of the cutoff, halved (squared magnitude 1/2) at it, stopped at five times it. */
    const double rate = 120, cutoff = 6;
    EXPECT_NEAR(fitted_amplitude(filtered(sine(cutoff / 10, rate), cutoff, rate), cutoff / 10, rate), 1.0, 0.01);
    EXPECT_NEAR(fitted_amplitude(filtered(sine(cutoff, rate), cutoff, rate), cutoff, rate), 0.5, 0.01);
    EXPECT_LT(fitted_amplitude(filtered(sine(5 * cutoff, rate), cutoff, rate), 5 * cutoff, rate), 0.01);
}

/* Through the measures, as a user asks for it: --smooth 6 on 180 frames over 179 / 48 s, 48 a second.
 * Marker 5 sways along y by 10 mm at a known frequency from its rest place at frame 0 (a sine from 0,
 * which the filter's odd reflection at the start continues as it is). Run both ways, the filter leaves
 * the square of its magnitude, 1 / (1 + (tan(pi f / rate) / tan(pi fc / rate))^4): 1 at a tenth of the
 * cutoff, 1/2 at it, 1 / (1 + (1 / tan(pi / 8))^4) = 0.0286 at 12 Hz. At 48 a second every one of these
 * sines has frames at its crests, so the largest displacement away from the ends is 10 mm times that. */
TEST(Smoothing, MeasuresAreFilteredAtTheAskedCutoffAndRate)
{
    const double rate = 48, seconds = (FACE_FRAMES - 1) / rate;
    Study study;
    for (int m = 0; m < FACE_MARKERS; m++)
        study.markers.labels.push_back(std::to_string(m));
    study.settings.smooth_hz = 6;
    const struct {
        double hz, kept;
    } cases[] = {{0.6, 1.0}, {6, 0.5}, {12, 0.0286}};
    for (const auto &c : cases) {
        FacePositions xyz = still_face();
        for (int f = 0; f < FACE_FRAMES; f++)
            move(&xyz, f, 5, 0.0, 10.0 * sin(2 * M_PI * c.hz * f / rate), 0.0);
        MeasuredFile file = measure_file("sway", xyz, seconds, study);
        double largest = 0.0;
        for (int f = 60; f < 120; f++)
            largest = std::max(largest, file.curves[(size_t)5 * FACE_FRAMES + f]);
        EXPECT_NEAR(largest, 10.0 * c.kept, 0.05) << c.hz << " Hz";
    }
}

TEST(Smoothing, MatchesTheReferenceSeriesOfTheSharedTestData)
{
    REQUIRE_TESTDATA("smoothing/filtfilt.csv");
    std::istringstream lines(read_file(testdata_path("smoothing/filtfilt.csv")));
    std::string line;
    std::getline(lines, line);
    ASSERT_EQ(line, "frame,input_mm,rate60_cutoff6,rate60_cutoff3,rate30_cutoff10");
    std::vector<std::vector<double>> columns(5);
    while (std::getline(lines, line)) {
        std::istringstream cells(line);
        std::string cell;
        for (size_t c = 0; c < 5 && std::getline(cells, cell, ','); c++)
            columns[c].push_back(atof(cell.c_str()));
    }
    ASSERT_EQ(columns[1].size(), (size_t)FACE_FRAMES);
    const struct {
        double rate, cutoff;
        size_t column;
    } cases[] = {{60, 6, 2}, {60, 3, 3}, {30, 10, 4}};
    for (const auto &c : cases) {
        std::vector<double> out = filtered(columns[1], c.cutoff, c.rate);
        for (size_t f = 0; f < out.size(); f++)
            ASSERT_NEAR(out[f], columns[c.column][f], 1e-8) << c.rate << " Hz frames, " << c.cutoff << " Hz cutoff, frame " << f;
    }
}

TEST(Measures, TheRestSpanIsItsMeanPosition)
{
    /* Marker 5 wobbles by +-1 mm in x over frames 0 to 9, then sits 10 mm up. */
    FacePositions xyz = still_face();
    for (int f = 0; f < 10; f++)
        move(&xyz, f, 5, f % 2 ? -1.0 : 1.0, 0.0, 0.0);
    for (int f = 10; f < FACE_FRAMES; f++)
        move(&xyz, f, 5, 0.0, 10.0, 0.0);
    MeasureSettings s;
    s.rest_last = 9;
    MarkerMeasure m = measure_marker(xyz, 5, s);
    EXPECT_NEAR(m.peak, 10.0, 1e-12) << "from the mean of frames 0 to 9, the still place";
    EXPECT_NEAR(m.peak_vector[0], 0.0, 1e-12);
    EXPECT_EQ(m.onset_frame, 0) << "the wobble is 1 mm, at the tenth of the peak";
    s.rest_last = 0;
    m = measure_marker(xyz, 5, s);
    EXPECT_NEAR(m.peak, sqrt(101.0), 1e-12) << "from frame 0 alone, 1 mm to the side";
}

/* Two mouth corners that rise together from frame 40 to 60 and stay up,
 * each with its own noise of 0.2 mm on the plateau: the peak frame falls
 * wherever the noise is highest, the onset where both rise. */
TEST(Measures, TheSidesLagByOnsetWhichNoiseDoesNotMove)
{
    FacePositions xyz = still_face();
    unsigned state = 12345;
    auto noise = [&state]() {
        state = state * 1103515245u + 12345u;
        return ((state >> 8) % 1000) / 1000.0 * 0.4 - 0.2;
    };
    for (int f = 0; f < FACE_FRAMES; f++) {
        double rise = f < 40 ? 0.0 : f < 60 ? (f - 40) / 20.0 : 1.0;
        move(&xyz, f, 20, 9 * rise + noise(), 7 * rise + noise(), -4 * rise + noise());
        move(&xyz, f, 16, -9 * rise + noise(), 7 * rise + noise(), -4 * rise + noise());
    }
    Study study;
    for (int m = 0; m < FACE_MARKERS; m++)
        study.markers.labels.push_back(std::to_string(m));
    study.markers.pairs = {{20, 16}};
    study.settings.smooth_hz = 6;
    MeasuredFile file = measure_file("corners", xyz, 3.0, study);
    EXPECT_LE(abs(file.pairs[0].lag), 1) << "both rise from frame 40";
    EXPECT_GE(abs(file.markers[16].peak_frame - file.markers[20].peak_frame), 5)
        << "the peaks lie where the noise put them; this noise puts them apart";
    EXPECT_NEAR(file.markers[20].peak, sqrt(81 + 49 + 16.0), 0.3);
    EXPECT_LT(file.markers[20].peak_speed, 0.8) << "12.1 mm over 20 frames, smoothed; raw noise gives more";
    study.settings.smooth_hz = 0;
    MeasuredFile raw = measure_file("corners", xyz, 3.0, study);
    EXPECT_GT(raw.markers[20].peak_speed, file.markers[20].peak_speed);
}

/* Slips an edit of the table of measures can make, each of which would shift or drop a column silently. */
TEST(MeasureTable, ColumnsAreUniquePlacesCountFromOneAndSecondsFormsAreNamed)
{
    for (MeasureKind kind : {MARKER_MEASURE, PAIR_MEASURE}) {
        std::set<std::string> columns;
        std::vector<int> places, pages;
        for (const MeasureDefinition *m : measures_of(kind)) {
            EXPECT_TRUE(columns.insert(m->column).second) << m->column << " twice";
            EXPECT_EQ(find_measure(kind, m->column), m);
            EXPECT_EQ(m->seconds == NO_SECONDS, std::string(m->seconds_column).empty()) << m->column;
            EXPECT_EQ(m->seconds == NO_SECONDS, std::string(m->seconds_heading).empty()) << m->column;
            if (m->seconds != NO_SECONDS) {
                EXPECT_TRUE(columns.insert(m->seconds_column).second) << m->seconds_column << " twice";
            }
            if (m->compared > 0)
                places.push_back(m->compared);
            if (m->page > 0)
                pages.push_back(m->page);
        }
        for (std::vector<int> *list : {&places, &pages}) {
            std::sort(list->begin(), list->end());
            for (size_t i = 0; i < list->size(); i++)
                EXPECT_EQ((*list)[i], (int)i + 1) << kind_name(kind) << "s' places";
        }
        EXPECT_EQ(compared_of(kind).size(), places.size());
        EXPECT_EQ(paged_of(kind).size(), pages.size());
    }
    EXPECT_EQ(find_measure(MARKER_MEASURE, "asymmetry_pct"), nullptr) << "a pair's measure, not a marker's";
    EXPECT_TRUE(is_kind_name("pair"));
    EXPECT_FALSE(is_kind_name("Pair"));
}

TEST(Tables, AColumnIsFoundByNameAsGnuplotCountsThem)
{
    EXPECT_EQ(csv_column("kind,name,measure", "kind"), 1u);
    EXPECT_EQ(csv_column("kind,name,measure", "measure"), 3u);
    EXPECT_EQ(csv_column("kind,name,measure", "name"), 2u);
    EXPECT_EQ(csv_column("kind,name,measure", "nam"), 0u) << "a prefix is not the name";
    EXPECT_EQ(csv_column("kind,name,measure", "measures"), 0u);
    EXPECT_EQ(csv_column("kind,,measure", ""), 2u);
}
