/* The group analysis on a group built from one movement and two known,
 * orthogonal variations, each file turned and moved by a known rigid
 * motion: what comes back is worked out from the construction. */
#include <gtest/gtest.h>
#include <math.h>

#include "average_program.h"
#include "group.h"

struct Vec3 {
    double x, y, z;
};

/* The base movement: a face-sized layout whose markers drift in time. */
static Vec3 base(int f, int m)
{
    double t = f / 179.0;
    return Vec3{10.0 * (m % 6) - 25.0 + t * (m % 3), 12.0 * (m / 6) - 18.0 + t * (m % 2), 3.0 * ((m * 7) % 5) + 0.5 * t};
}

/* Variation 1 moves marker 20 along x by f, variation 2 marker 16 along y
 * by f squared, each scaled to unit length over the whole movement. Both
 * are 0 in frame 0, so they leave the alignment alone, and they touch
 * different numbers, so they are orthogonal. */
static FacePositions variation(int which)
{
    FacePositions v(GROUP_VALUES, 0.0);
    double length = 0.0;
    for (int f = 0; f < FACE_FRAMES; f++) {
        double value = which == 1 ? f : (double)f * f;
        v[((size_t)f * FACE_MARKERS + (which == 1 ? 20 : 16)) * 3 + (which == 1 ? 0 : 1)] = value;
        length += value * value;
    }
    for (double &value : v)
        value /= sqrt(length);
    return v;
}

/* p turned by angle radians about the unit axis (Rodrigues), then moved. */
static Vec3 rigid(Vec3 p, Vec3 axis, double angle, Vec3 move)
{
    double c = cos(angle), s = sin(angle), dot = axis.x * p.x + axis.y * p.y + axis.z * p.z;
    Vec3 cross = {axis.y * p.z - axis.z * p.y, axis.z * p.x - axis.x * p.z, axis.x * p.y - axis.y * p.x};
    return Vec3{p.x * c + cross.x * s + axis.x * dot * (1 - c) + move.x,
                p.y * c + cross.y * s + axis.y * dot * (1 - c) + move.y,
                p.z * c + cross.z * s + axis.z * dot * (1 - c) + move.z};
}

/* Amplitudes of the two variations: uncorrelated about their means 5 and
 * 1, with sums of squares 90 and 10 about them. */
static const double amplitude_1[5] = {-1.0, 2.0, 5.0, 8.0, 11.0};
static const double amplitude_2[5] = {2.0, -1.0, 1.0, 3.0, 0.0};

/* File i: the base plus its variations, turned about a tilted axis by
 * 0.3 i radians and moved by (100 i, -50 i, 30 i) mm; file 0 stays put. */
static FacePositions group_file(int i, const FacePositions &v1, const FacePositions &v2)
{
    const double norm = sqrt(1.0 + 4.0 + 9.0);
    FacePositions p(GROUP_VALUES);
    for (int f = 0; f < FACE_FRAMES; f++)
        for (int m = 0; m < FACE_MARKERS; m++) {
            size_t at = ((size_t)f * FACE_MARKERS + m) * 3;
            Vec3 b = base(f, m);
            Vec3 varied = {b.x + amplitude_1[i] * v1[at] + amplitude_2[i] * v2[at],
                           b.y + amplitude_1[i] * v1[at + 1] + amplitude_2[i] * v2[at + 1],
                           b.z + amplitude_1[i] * v1[at + 2] + amplitude_2[i] * v2[at + 2]};
            Vec3 q = rigid(varied, Vec3{1 / norm, 2 / norm, 3 / norm}, 0.3 * i, Vec3{100.0 * i, -50.0 * i, 30.0 * i});
            p[at] = q.x, p[at + 1] = q.y, p[at + 2] = q.z;
        }
    return p;
}

static double largest_difference(const FacePositions &a, const FacePositions &b)
{
    double largest = 0.0;
    for (size_t j = 0; j < a.size(); j++)
        largest = std::max(largest, fabs(a[j] - b[j]));
    return largest;
}

TEST(Group, TwoKnownVariationsComeBackAsTheModes)
{
    FacePositions v1 = variation(1), v2 = variation(2);
    std::vector<FacePositions> files;
    for (int i = 0; i < 5; i++)
        files.push_back(group_file(i, v1, v2));
    Group group;
    std::string error;
    ASSERT_TRUE(analyse_group(files, 3, &group, &error)) << error;

    /* The average: the unturned base, less its frame 0 centroid, plus the
     * mean variation (5 v1 + 1 v2). */
    Vec3 centre = {0, 0, 0};
    for (int m = 0; m < FACE_MARKERS; m++) {
        centre.x += base(0, m).x / FACE_MARKERS;
        centre.y += base(0, m).y / FACE_MARKERS;
        centre.z += base(0, m).z / FACE_MARKERS;
    }
    FacePositions expected(GROUP_VALUES);
    for (int f = 0; f < FACE_FRAMES; f++)
        for (int m = 0; m < FACE_MARKERS; m++) {
            size_t at = ((size_t)f * FACE_MARKERS + m) * 3;
            expected[at] = base(f, m).x - centre.x + 5 * v1[at] + v2[at];
            expected[at + 1] = base(f, m).y - centre.y + 5 * v1[at + 1] + v2[at + 1];
            expected[at + 2] = base(f, m).z - centre.z + 5 * v1[at + 2] + v2[at + 2];
        }
    EXPECT_LT(largest_difference(group.average, expected), 1e-9);

    /* sd = sqrt(sum of squares / (n - 1)): sqrt(90 / 4) and sqrt(10 / 4);
     * shares 0.9 and 0.1, and nothing left for modes 3 and 4. */
    ASSERT_EQ(group.sd.size(), 4u);
    EXPECT_NEAR(group.sd[0], sqrt(22.5), 1e-9);
    EXPECT_NEAR(group.sd[1], sqrt(2.5), 1e-9);
    EXPECT_NEAR(group.sd[2], 0.0, 1e-6);
    EXPECT_NEAR(group.share[0], 0.9, 1e-12);
    EXPECT_NEAR(group.share[1], 0.1, 1e-12);

    /* The directions are the variations, signed so that their largest
     * component (frame 179's) is positive, as it is in v1 and v2. */
    EXPECT_LT(largest_difference(group.directions[0], v1), 1e-9);
    EXPECT_LT(largest_difference(group.directions[1], v2), 1e-9);

    /* Scores: (amplitude - mean) / sd, in the files' order. */
    for (int i = 0; i < 5; i++) {
        EXPECT_NEAR(group.scores[i * 3 + 0], (amplitude_1[i] - 5.0) / sqrt(22.5), 1e-9) << "file " << i;
        EXPECT_NEAR(group.scores[i * 3 + 1], (amplitude_2[i] - 1.0) / sqrt(2.5), 1e-9) << "file " << i;
    }

    /* Mode 1 plus 2 sd is the average plus 2 sqrt(22.5) v1. */
    FacePositions plus = along_mode(group, 0, 2.0);
    for (size_t j = 0; j < plus.size(); j++)
        expected[j] = group.average[j] + 2.0 * sqrt(22.5) * v1[j];
    EXPECT_LT(largest_difference(plus, expected), 1e-9);

    /* The exhibits: sm1 and sm2 are the files of lowest and highest mode-1 score, files 0 and 4, aligned. */
    auto exhibits = exhibit_files(group, 3, 2.0);
    ASSERT_EQ(exhibits.size(), 8u);
    EXPECT_EQ(exhibits[0].first, "sm1.dat");
    EXPECT_LT(largest_difference(exhibits[0].second, aligned_file(group, 0)), 1e-12);
    EXPECT_EQ(exhibits[1].first, "sm2.dat");
    EXPECT_LT(largest_difference(exhibits[1].second, aligned_file(group, 4)), 1e-12);
}

TEST(Group, AlignmentUndoesATurnAndAMoveAndKeepsFileOnesOrientation)
{
    /* Without variations, file 3 is file 0 turned and moved. */
    FacePositions none(GROUP_VALUES, 0.0);
    FacePositions first = group_file(0, none, none), other = group_file(3, none, none);
    std::vector<double> aligned;
    align_group({first, other}, &aligned);
    FacePositions a0(aligned.begin(), aligned.begin() + GROUP_VALUES), a1(aligned.begin() + GROUP_VALUES, aligned.end());
    EXPECT_LT(largest_difference(a0, a1), 1e-9);

    /* File 0 is only centred: its frame 0 centroid goes to the origin. */
    Vec3 centre = {0, 0, 0};
    for (int m = 0; m < FACE_MARKERS; m++)
        centre.x += first[(size_t)m * 3] / FACE_MARKERS, centre.y += first[(size_t)m * 3 + 1] / FACE_MARKERS,
            centre.z += first[(size_t)m * 3 + 2] / FACE_MARKERS;
    for (size_t j = 0; j < a0.size(); j += 3) {
        ASSERT_NEAR(a0[j], first[j] - centre.x, 1e-9);
        ASSERT_NEAR(a0[j + 1], first[j + 1] - centre.y, 1e-9);
        ASSERT_NEAR(a0[j + 2], first[j + 2] - centre.z, 1e-9);
    }

    Group group;
    std::string error;
    EXPECT_FALSE(analyse_group({first, other}, 1, &group, &error));
    EXPECT_EQ(error, "the files do not vary; no mode to show");
}
