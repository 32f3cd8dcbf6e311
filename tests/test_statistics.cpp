/* The tests of --groups and --paired on samples whose answers are worked
 * out by hand, counted by enumeration, or read from independent
 * implementations: SciPy 1.10 (stats.ttest_ind with equal_var=False,
 * stats.ttest_1samp) for t and df, and Student's t quantiles found to 30
 * digits with mpmath from the regularised incomplete beta function
 * (SciPy's own stats.t.ppf is 1e-9 off in the tenth digit). */
#include <gtest/gtest.h>
#include <math.h>

#include "statistics.h"

TEST(Statistics, WelchsTIntervalAndDegreesOfFreedom)
{
    /* SciPy: t 2.2514363231593695, df 5.520787746170677; mpmath: t(0.975, df) 2.4993310929466621. */
    WelchTest w = welch_test({1, 2, 3, 4}, {2, 4, 6, 8, 10});
    EXPECT_DOUBLE_EQ(w.difference, 3.5);
    EXPECT_NEAR(w.se, 1.5545631755148024, 1e-12);
    EXPECT_NEAR(w.t, 2.2514363231593695, 1e-12);
    EXPECT_NEAR(w.df, 5.520787746170677, 1e-12);
    EXPECT_NEAR(w.ci_low, -0.3853680805140449, 1e-12);
    EXPECT_NEAR(w.ci_high, 7.385368080514045, 1e-12);
    EXPECT_NEAR(t_quantile(0.975, 5), 2.5705818356363155, 1e-13);
    EXPECT_NEAR(t_quantile(0.975, 5.520787746170677), 2.4993310929466621, 1e-13);
}

TEST(Statistics, PairedTAndInterval)
{
    /* Changes 0.5, 1.5, -0.5, 2, 1, 2.5: mean 7/6, t = sqrt 7 (SciPy 2.6457513110645907). */
    PairedTest p = paired_test({0.5, 1.5, -0.5, 2.0, 1.0, 2.5});
    EXPECT_EQ(p.n, 6u);
    EXPECT_NEAR(p.change, 7.0 / 6.0, 1e-15);
    EXPECT_NEAR(p.sd_change, 1.0801234497346435, 1e-12);
    EXPECT_NEAR(p.t, sqrt(7.0), 1e-12);
    EXPECT_NEAR(p.ci_low, 0.033146623027732636, 1e-12);
    EXPECT_NEAR(p.ci_high, 2.300186710305601, 1e-12);
}

TEST(Statistics, ExactPermutationsCountEveryRelabelling)
{
    Permutations exact = {10000, 1};
    /* 4 against 4: C(8, 4) = 70 relabellings. Only the observed one and its
     * mirror put all four large values on one side. */
    EXPECT_DOUBLE_EQ(permutation_p({1, 2, 3, 4}, {5, 6, 7, 8}, exact), 2.0 / 70);
    /* a = {1, 3, 5, 7}, b = {2, 4, 6, 8}: |difference| 1; relabellings
     * whose sums differ by 4 or more (|mean difference| >= 1), out of the
     * 70 ways to choose b, counted from the sums of four of 1..8
     * (10 to 26, centred on 18): sum_b >= 20 or <= 16, which 48 of 70 do. */
    EXPECT_DOUBLE_EQ(permutation_p({1, 3, 5, 7}, {2, 4, 6, 8}, exact), 48.0 / 70);
    /* Every p of 4 against 4 is a multiple of 1/70. */
    double p = permutation_p({0.3, 1.9, 2.2, 0.7}, {1.1, 2.8, 3.5, 0.9}, exact);
    EXPECT_NEAR(p * 70, round(p * 70), 1e-9);
    EXPECT_EQ(count_of_choices(8, 4, 1e6), 70.0);
    EXPECT_GT(count_of_choices(200, 100, 1e6), 1e6);

    /* 5 pairs: 32 sign flips; only all + and all - reach |mean| 3. */
    EXPECT_DOUBLE_EQ(sign_flip_p({1, 2, 3, 4, 5}, exact), 2.0 / 32);
    /* d = {1, -1, 2, -2, 4}: observed |sum| 4; the sums of +-1 +-1 +-2 +-2 +-4 reach |4| or more in 20 of 32. */
    EXPECT_DOUBLE_EQ(sign_flip_p({1, -1, 2, -2, 4}, exact), 20.0 / 32);
}

TEST(Statistics, RandomPermutationsAreRepeatableAndNearTheExactP)
{
    std::vector<double> a = {3.1, 2.4, 5.0, 4.2, 3.8, 2.9, 4.4, 3.3}, b = {4.0, 5.2, 3.9, 6.1, 4.8, 3.5, 5.5, 4.6};
    double exact = permutation_p(a, b, {20000, 1}); /* C(16, 8) = 12870 <= 20000: every relabelling */
    EXPECT_NEAR(exact * 12870, round(exact * 12870), 1e-6);
    double drawn = permutation_p(a, b, {10000, 7});
    EXPECT_NE(drawn * 12870, round(drawn * 12870)) << "drawn, not counted: p = (1 + k) / 10001";
    EXPECT_EQ(drawn, permutation_p(a, b, {10000, 7})) << "the same seed, the same p";
    EXPECT_NEAR(drawn, exact, 0.01);
    EXPECT_NE(drawn, permutation_p(a, b, {10000, 8})) << "another seed, other draws";

    std::vector<double> d = {0.4, -0.2, 0.9, 1.3, -0.5, 0.8, 0.1, 1.1, 0.6, -0.3, 0.7, 0.2};
    double flips = sign_flip_p(d, {5000, 1}); /* 2^12 = 4096 <= 5000: every flip */
    EXPECT_NEAR(flips * 4096, round(flips * 4096), 1e-6);
    double drawn_flips = sign_flip_p(d, {3000, 3});
    EXPECT_EQ(drawn_flips, sign_flip_p(d, {3000, 3}));
    EXPECT_NEAR(drawn_flips, flips, 0.01);
}

/* A drawn test counts the observed relabelling among its draws, so that p is never 0: groups far apart
 * give exactly 1 / (N + 1), as no drawn relabelling comes near them (all of the eight low values against
 * all of the eight high ones is 2 in C(16, 8) = 12870). The smallest p a design can give, worked out by
 * hand: the observed relabelling and its mirror among C(8, 4) = 70; 1 in C(8, 3) = 56 for 3 against 5;
 * all + and all - among 2^5 = 32 sign flips. */
TEST(Statistics, DrawnPValuesCountTheObservedOneAndAreNeverZero)
{
    std::vector<double> low = {1, 2, 3, 4, 5, 6, 7, 8}, high = {101, 102, 103, 104, 105, 106, 107, 108};
    EXPECT_DOUBLE_EQ(permutation_p(low, high, {1000, 3}), 1.0 / 1001);
    EXPECT_DOUBLE_EQ(least_permutation_p(8, 8, {1000, 3}), 1.0 / 1001);
    std::vector<double> same_sign(20, 2.5);
    same_sign[7] = 3.0;
    EXPECT_DOUBLE_EQ(sign_flip_p(same_sign, {500, 2}), 1.0 / 501) << "2^20 flips, 500 drawn";
    EXPECT_DOUBLE_EQ(least_sign_flip_p(20, {500, 2}), 1.0 / 501);

    EXPECT_DOUBLE_EQ(least_permutation_p(4, 4, {10000, 1}), 2.0 / 70);
    EXPECT_DOUBLE_EQ(least_permutation_p(3, 5, {10000, 1}), 1.0 / 56);
    EXPECT_DOUBLE_EQ(permutation_p({1, 2, 3}, {11, 12, 13, 14, 15}, {10000, 1}), 1.0 / 56);
    EXPECT_DOUBLE_EQ(least_sign_flip_p(5, {10000, 1}), 2.0 / 32);
}

TEST(Statistics, BenjaminiHochbergByHand)
{
    /* m = 4 p's: sorted 0.005, 0.01, 0.03, 0.04; m p / rank 0.02, 0.02, 0.04, 0.04; the minimum from each
     * rank up leaves them so. A missing p stays missing and does not count. */
    std::vector<double> q = benjamini_hochberg({0.01, 0.04, 0.03, 0.005, NAN});
    EXPECT_DOUBLE_EQ(q[0], 0.02);
    EXPECT_DOUBLE_EQ(q[1], 0.04);
    EXPECT_DOUBLE_EQ(q[2], 0.04);
    EXPECT_DOUBLE_EQ(q[3], 0.02);
    EXPECT_TRUE(isnan(q[4]));
    /* 0.5 x 2 / 1 = 1 is above 0.9 x 2 / 2 = 0.9, which a smaller p may not exceed; 0.8 x 3 / 1 is held at 1. */
    q = benjamini_hochberg({0.9, 0.5});
    EXPECT_DOUBLE_EQ(q[0], 0.9);
    EXPECT_DOUBLE_EQ(q[1], 0.9);
    EXPECT_DOUBLE_EQ(benjamini_hochberg({0.8, 0.99, 0.999})[0], 0.999);
}

TEST(Statistics, HotellingOnScoresBuiltToAKnownAnswer)
{
    /* One score: T-squared is the square of the pooled two-sample t.
     * a = 1, 2, 3 and b = 4, 5, 6: pooled variance 1, T^2 = (3 x 3 / 6) x 3^2 = 13.5. */
    Eigen::MatrixXd one(6, 1);
    one << 1, 2, 3, 4, 5, 6;
    std::vector<bool> in_b = {false, false, false, true, true, true};
    EXPECT_NEAR(hotelling_t2(one, in_b), 13.5, 1e-12);

    /* Two scores: each group is the four points (+-1, 0), (0, +-1), b moved
     * by (3, 4). Pooled covariance 4/6 on the diagonal, 0 off it; T^2 =
     * (4 x 4 / 8) x 25 / (2/3) = 75. */
    Eigen::MatrixXd two(8, 2);
    two << -1, 0, 1, 0, 0, -1, 0, 1, 2, 4, 4, 4, 3, 3, 3, 5;
    in_b = {false, false, false, false, true, true, true, true};
    EXPECT_NEAR(hotelling_t2(two, in_b), 75.0, 1e-9);
    /* Of the 70 relabellings 4 reach 75 or more, counted by enumeration: the
     * observed one and its mirror, and {(1, 0), (0, -1), (4, 4), (3, 3)}
     * and its mirror, whose pooled covariance is far smaller (T^2 318). */
    EXPECT_DOUBLE_EQ(hotelling_p(two, in_b, {10000, 1}), 4.0 / 70);

    Eigen::MatrixXd flat = Eigen::MatrixXd::Zero(8, 2);
    EXPECT_TRUE(isnan(hotelling_t2(flat, in_b))) << "no spread: no inverse";
}
