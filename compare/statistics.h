/* The tests a paper reports when it compares groups of movements: per
 * measure Welch's t with its interval and a permutation p, the paired t
 * with a sign-flip p, the Benjamini-Hochberg correction over the many
 * measures, and Hotelling's T-squared on principal-component scores.
 * Permutation tests are exact (every relabelling) when their count is at
 * most the limit, else that many random relabellings drawn from a seeded
 * generator, p = (1 + those at least as extreme) / (limit + 1). */
#ifndef MIENSCOPE_STATISTICS_H
#define MIENSCOPE_STATISTICS_H

#include <math.h>
#include <stdint.h>

#include <vector>

#include <Eigen/Core>

/* How a permutation test runs. */
struct Permutations {
    long limit = 10000;      /* exact when the relabellings are at most this many; else this many drawn */
    unsigned long seed = 1;
};

/* Group B against group A: Welch's t. NAN where it can't be had. */
struct WelchTest {
    double difference = NAN;  /* mean_b - mean_a */
    double se = NAN;          /* sqrt(sd_a^2 / n_a + sd_b^2 / n_b) */
    double t = NAN, df = NAN; /* df by Welch-Satterthwaite */
    double ci_low = NAN, ci_high = NAN; /* difference -+ t(0.975, df) se */
};

/* After against before, over pairs. */
struct PairedTest {
    size_t n = 0;
    double change = NAN, sd_change = NAN; /* mean and sd (divisor n - 1) of after - before */
    double t = NAN, ci_low = NAN, ci_high = NAN;
};

double t_quantile(double probability, double df); /* Student's t, from Boost.Math */
WelchTest welch_test(const std::vector<double> &a, const std::vector<double> &b); /* no NAN values; n >= 2 each */
PairedTest paired_test(const std::vector<double> &differences);                   /* no NAN values; n >= 2 */
double count_of_choices(size_t n, size_t k, double cap); /* C(n, k), or cap + 1 once it is above cap */
/* Two-sided p of |mean_b - mean_a| by relabelling the values of a and b together. */
double permutation_p(const std::vector<double> &a, const std::vector<double> &b, const Permutations &how);
/* Two-sided p of |mean difference| by flipping the signs of the differences. */
double sign_flip_p(const std::vector<double> &differences, const Permutations &how);
/* The smallest p permutation_p can give to groups of n_a and n_b values: the observed relabelling (and, for
 * groups of one size, its mirror) among all of them, or 1 / (N + 1) when N are drawn. */
double least_permutation_p(size_t n_a, size_t n_b, const Permutations &how);
/* The smallest p sign_flip_p can give to n differences: the observed signs and their opposites among all
 * 2^n flips, or 1 / (N + 1) when N are drawn. */
double least_sign_flip_p(size_t n, const Permutations &how);
/* q of each p (NAN stays NAN): sorted ascending, q(i) = min over j >= i of m p(j) / j, at most 1. */
std::vector<double> benjamini_hochberg(const std::vector<double> &p);
/* Hotelling's T-squared of the rows of scores in group b (true) against group a; NAN when the pooled
 * covariance can't be inverted. */
double hotelling_t2(const Eigen::MatrixXd &scores, const std::vector<bool> &in_b);
/* Its p by relabelling the rows, each relabelling's T-squared computed afresh. */
double hotelling_p(const Eigen::MatrixXd &scores, const std::vector<bool> &in_b, const Permutations &how);

#endif
