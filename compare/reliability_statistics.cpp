#include "reliability_statistics.h"

#include <boost/math/distributions/fisher_f.hpp>

double f_quantile(double probability, double df1, double df2)
{
    try {
        return boost::math::quantile(boost::math::fisher_f(df1, df2), probability);
    } catch (const std::exception &) { /* degrees of freedom not above 0, or a result it can't give */
        return NAN;
    }
}

/* The mean squares of subjects, sessions and residual. */
static void mean_squares(const std::vector<double> &a, const std::vector<double> &b, Reliability *r)
{
    const double n = (double)a.size(), k = 2.0;
    double grand = (r->mean_a + r->mean_b) / 2, subjects = 0.0, residual = 0.0;
    for (size_t i = 0; i < a.size(); i++) {
        double subject = (a[i] + b[i]) / 2;
        subjects += (subject - grand) * (subject - grand);
        double ra = a[i] - subject - r->mean_a + grand, rb = b[i] - subject - r->mean_b + grand;
        residual += ra * ra + rb * rb;
    }
    r->msr = k * subjects / (n - 1);
    r->msc = n * ((r->mean_a - grand) * (r->mean_a - grand) + (r->mean_b - grand) * (r->mean_b - grand)) / (k - 1);
    r->mse = residual / ((n - 1) * (k - 1));
}

/* ICC(C,1) and its interval from F = MSR / MSE. */
static void consistency(Reliability *r)
{
    const double n = (double)r->n, k = 2.0, f = r->msr / r->mse;
    r->icc_c1 = (r->msr - r->mse) / (r->msr + (k - 1) * r->mse);
    double low_f = f / f_quantile(0.975, n - 1, (n - 1) * (k - 1)), high_f = f * f_quantile(0.975, (n - 1) * (k - 1), n - 1);
    r->icc_c1_low = (low_f - 1) / (low_f + k - 1);
    r->icc_c1_high = (high_f - 1) / (high_f + k - 1);
}

/* ICC(A,1) and McGraw and Wong's approximate interval, its degrees of freedom v by Satterthwaite. */
static void agreement(Reliability *r)
{
    const double n = (double)r->n, k = 2.0, msr = r->msr, msc = r->msc, mse = r->mse;
    double icc = (msr - mse) / (msr + (k - 1) * mse + k * (msc - mse) / n);
    r->icc_a1 = icc;
    double a = k * icc / (n * (1 - icc)), b = 1 + k * icc * (n - 1) / (n * (1 - icc));
    double v = (a * msc + b * mse) * (a * msc + b * mse) /
               ((a * msc) * (a * msc) / (k - 1) + (b * mse) * (b * mse) / ((n - 1) * (k - 1)));
    if (!(v >= 1))
        return;
    double low_f = f_quantile(0.975, n - 1, v), high_f = f_quantile(0.975, v, n - 1);
    if (!isfinite(low_f) || !isfinite(high_f))
        return;
    r->icc_a1_low = n * (msr - low_f * mse) / (low_f * (k * msc + (k * n - k - n) * mse) + n * msr);
    r->icc_a1_high = n * (high_f * msr - mse) / (k * msc + (k * n - k - n) * mse + n * high_f * msr);
}

/* Bland and Altman's bias and limits of the differences B - A. */
static void limits(const std::vector<double> &a, const std::vector<double> &b, Reliability *r)
{
    double spread = 0.0;
    r->bias = r->mean_b - r->mean_a;
    for (size_t i = 0; i < a.size(); i++)
        spread += (b[i] - a[i] - r->bias) * (b[i] - a[i] - r->bias);
    double sd = sqrt(spread / ((double)a.size() - 1));
    r->loa_low = r->bias - 1.96 * sd;
    r->loa_high = r->bias + 1.96 * sd;
}

Reliability test_retest(const std::vector<double> &a, const std::vector<double> &b)
{
    Reliability r;
    r.n = a.size();
    if (r.n == 0)
        return r;
    double sum_a = 0.0, sum_b = 0.0;
    for (size_t i = 0; i < r.n; i++) {
        sum_a += a[i];
        sum_b += b[i];
    }
    r.mean_a = sum_a / (double)r.n;
    r.mean_b = sum_b / (double)r.n;
    if (r.n < 3)
        return r;
    mean_squares(a, b, &r);
    if (!(r.mse >= 1e-12)) {
        Reliability none;
        none.n = r.n;
        none.mean_a = r.mean_a;
        none.mean_b = r.mean_b;
        return none;
    }
    limits(a, b, &r);
    consistency(&r);
    agreement(&r);
    r.sem = sqrt(r.mse);
    r.mdc95 = 1.96 * sqrt(2.0) * r.sem;
    return r;
}
