/* The measures on movements whose answers are worked out by hand, and the
 * tables they are written in. */
#include <gtest/gtest.h>
#include <math.h>

#include "measures.h"
#include "tables.h"

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
