/* Test-retest reliability of one measure: n subjects each measured in two
 * sessions (k = 2). A two-way analysis of variance without replication
 * gives the mean squares of the subjects (MSR, n - 1 degrees of freedom),
 * the sessions (MSC, k - 1) and the residual (MSE, (n - 1)(k - 1)), MSE
 * summed from the residuals themselves rather than as the difference of
 * sums of squares, whose rounding would decide for large values whether
 * the sessions agree exactly. From them McGraw and Wong's intraclass
 * correlations, consistency ICC(C,1) and absolute agreement ICC(A,1)
 * (Shrout and Fleiss's ICC(3,1) and ICC(2,1)), with their 95 % intervals
 * from F quantiles (Boost.Math), as R's psych::ICC and Python's pingouin
 * compute them; the standard error of measurement SEM = sqrt(MSE) (not the
 * also-common SD x sqrt(1 - ICC)) and the smallest detectable change
 * MDC95 = 1.96 x sqrt(2) x SEM; and Bland and Altman's limits of
 * agreement of the differences B - A. */
#ifndef MIENSCOPE_RELIABILITY_STATISTICS_H
#define MIENSCOPE_RELIABILITY_STATISTICS_H

#include <math.h>
#include <stddef.h>

#include <vector>

/* NAN where a value can't be had: everything after n when n is 0; everything after mean_b when n < 3 or
 * MSE is below 1e-12 (the sessions equal, or B an exact shift of A); an interval whose F quantile is not
 * finite, or ICC(A,1)'s when its degrees of freedom v are below 1. */
struct Reliability {
    size_t n = 0;
    double mean_a = NAN, mean_b = NAN;
    double bias = NAN, loa_low = NAN, loa_high = NAN; /* mean of B - A, -+ 1.96 sd (divisor n - 1) */
    double icc_a1 = NAN, icc_a1_low = NAN, icc_a1_high = NAN;
    double icc_c1 = NAN, icc_c1_low = NAN, icc_c1_high = NAN;
    double sem = NAN, mdc95 = NAN;
    double msr = NAN, msc = NAN, mse = NAN; /* the mean squares */
};

/* Subject i's two values are a[i] and b[i]; no NAN among them. */
Reliability test_retest(const std::vector<double> &a, const std::vector<double> &b);
/* F's quantile at probability with these degrees of freedom; NAN where Boost.Math has none. */
double f_quantile(double probability, double df1, double df2);

#endif
