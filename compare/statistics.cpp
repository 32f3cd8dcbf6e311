#include "statistics.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <random>

#include <Eigen/Cholesky>
#include <boost/math/distributions/students_t.hpp>

/* A statistic counts as at least the observed one within this much of
 * it, relative to its size: relabellings equal to the observed one must
 * not be lost to rounding. */
static const double tie_tolerance = 1e-9;

double t_quantile(double probability, double df)
{
    if (!(df > 0.0) || !isfinite(df) || !(probability > 0.0 && probability < 1.0))
        return NAN; /* Boost throws for these; no caller has one to ask about */
    return boost::math::quantile(boost::math::students_t(df), probability);
}

static double mean_of(const std::vector<double> &v)
{
    return std::accumulate(v.begin(), v.end(), 0.0) / (double)v.size();
}

static double variance_of(const std::vector<double> &v, double mean)
{
    double squares = 0.0;
    for (double x : v)
        squares += (x - mean) * (x - mean);
    return squares / (double)(v.size() - 1);
}

WelchTest welch_test(const std::vector<double> &a, const std::vector<double> &b)
{
    WelchTest w;
    double na = (double)a.size(), nb = (double)b.size(), ma = mean_of(a), mb = mean_of(b);
    double va = variance_of(a, ma) / na, vb = variance_of(b, mb) / nb;
    w.difference = mb - ma;
    w.se = sqrt(va + vb);
    if (!(w.se > 0.0))
        return w; /* both groups without spread: no t, df or interval */
    w.t = w.difference / w.se;
    w.df = (va + vb) * (va + vb) / (va * va / (na - 1) + vb * vb / (nb - 1));
    double half = t_quantile(0.975, w.df) * w.se;
    w.ci_low = w.difference - half;
    w.ci_high = w.difference + half;
    return w;
}

PairedTest paired_test(const std::vector<double> &d)
{
    PairedTest p;
    p.n = d.size();
    p.change = mean_of(d);
    p.sd_change = sqrt(variance_of(d, p.change));
    double se = p.sd_change / sqrt((double)p.n);
    p.t = p.change / se;
    double half = t_quantile(0.975, (double)p.n - 1) * se;
    p.ci_low = p.change - half;
    p.ci_high = p.change + half;
    return p;
}

double count_of_choices(size_t n, size_t k, double cap)
{
    k = std::min(k, n - k);
    double count = 1.0;
    for (size_t i = 1; i <= k; i++) {
        count = count * (double)(n - k + i) / (double)i;
        if (count > cap)
            return cap + 1.0;
    }
    return round(count);
}

/* A whole number below n from the generator, every one equally likely:
 * the high half of a 64 x 64-bit product, redrawn in the rare case that
 * would favour some numbers (Lemire's method), which spares a division a
 * draw. */
static size_t draw_below(std::mt19937_64 *generator, size_t n)
{
    __extension__ typedef unsigned __int128 wide;
    wide product = (wide)(*generator)() * n;
    if ((uint64_t)product < n) {
        uint64_t threshold = (0 - (uint64_t)n) % n;
        while ((uint64_t)product < threshold)
            product = (wide)(*generator)() * n;
    }
    return (size_t)(product >> 64);
}

/* The next set of k indices below n in lexicographic order; false after the last. */
static bool next_combination(std::vector<size_t> *chosen, size_t n)
{
    size_t k = chosen->size(), i = k;
    while (i > 0 && (*chosen)[i - 1] == n - k + i - 1)
        i--;
    if (i == 0)
        return false;
    (*chosen)[i - 1]++;
    for (size_t j = i; j < k; j++)
        (*chosen)[j] = (*chosen)[j - 1] + 1;
    return true;
}

/* The share of relabellings of n items with n_b of them in b whose statistic (of the indices in b) is at
 * least the observed one. */
static double relabelling_p(size_t n, size_t n_b, const std::function<double(const size_t *)> &statistic,
                            double observed, const Permutations &how)
{
    double floor = observed - tie_tolerance * std::max(1.0, fabs(observed));
    double choices = count_of_choices(n, n_b, (double)how.limit);
    long extreme = 0;
    if (choices <= (double)how.limit) {
        std::vector<size_t> chosen(n_b);
        std::iota(chosen.begin(), chosen.end(), 0);
        do
            extreme += statistic(chosen.data()) >= floor;
        while (next_combination(&chosen, n));
        return (double)extreme / choices;
    }
    std::mt19937_64 generator(how.seed);
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    for (long draw = 0; draw < how.limit; draw++) {
        for (size_t i = 0; i < n_b; i++)
            std::swap(order[i], order[i + draw_below(&generator, n - i)]);
        extreme += statistic(order.data()) >= floor;
    }
    return (1.0 + (double)extreme) / ((double)how.limit + 1.0);
}

double permutation_p(const std::vector<double> &a, const std::vector<double> &b, const Permutations &how)
{
    std::vector<double> all = a;
    all.insert(all.end(), b.begin(), b.end());
    double total = std::accumulate(all.begin(), all.end(), 0.0), na = (double)a.size(), nb = (double)b.size();
    auto statistic = [&](const size_t *in_b) {
        double sum_b = 0.0;
        for (size_t i = 0; i < b.size(); i++)
            sum_b += all[in_b[i]];
        return fabs(sum_b / nb - (total - sum_b) / na);
    };
    return relabelling_p(all.size(), b.size(), statistic, fabs(mean_of(b) - mean_of(a)), how);
}

double least_permutation_p(size_t n_a, size_t n_b, const Permutations &how)
{
    double choices = count_of_choices(n_a + n_b, n_b, (double)how.limit);
    if (choices > (double)how.limit)
        return 1.0 / ((double)how.limit + 1.0);
    return (n_a == n_b ? 2.0 : 1.0) / choices;
}

double least_sign_flip_p(size_t n, const Permutations &how)
{
    if (n < 63 && (double)(1ull << n) <= (double)how.limit)
        return 2.0 / (double)(1ull << n);
    return 1.0 / ((double)how.limit + 1.0);
}

double sign_flip_p(const std::vector<double> &d, const Permutations &how)
{
    double n = (double)d.size(), observed = fabs(mean_of(d));
    double floor = observed - tie_tolerance * std::max(1.0, observed);
    auto statistic = [&](uint64_t flips, size_t bits) {
        double sum = 0.0;
        for (size_t i = 0; i < d.size(); i++)
            sum += i < bits && (flips >> i & 1) ? -d[i] : d[i];
        return fabs(sum / n);
    };
    long extreme = 0;
    if (d.size() < 63 && (double)(1ull << d.size()) <= (double)how.limit) {
        uint64_t all = 1ull << d.size();
        for (uint64_t flips = 0; flips < all; flips++)
            extreme += statistic(flips, d.size()) >= floor;
        return (double)extreme / (double)all;
    }
    std::mt19937_64 generator(how.seed);
    std::vector<double> flipped(d.size());
    for (long draw = 0; draw < how.limit; draw++) {
        double sum = 0.0;
        for (size_t i = 0; i < d.size(); i += 64) {
            uint64_t bits = generator();
            for (size_t j = i; j < d.size() && j < i + 64; j++)
                sum += bits >> (j - i) & 1 ? -d[j] : d[j];
        }
        extreme += fabs(sum / n) >= floor;
    }
    return (1.0 + (double)extreme) / ((double)how.limit + 1.0);
}

std::vector<double> benjamini_hochberg(const std::vector<double> &p)
{
    std::vector<size_t> order;
    for (size_t i = 0; i < p.size(); i++)
        if (!isnan(p[i]))
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return p[x] < p[y]; });
    std::vector<double> q(p.size(), NAN);
    double m = (double)order.size(), smallest = 1.0;
    for (size_t rank = order.size(); rank >= 1; rank--) {
        smallest = std::min(smallest, m * p[order[rank - 1]] / (double)rank);
        q[order[rank - 1]] = smallest;
    }
    return q;
}

double hotelling_t2(const Eigen::MatrixXd &scores, const std::vector<bool> &in_b)
{
    Eigen::Index k = scores.cols();
    Eigen::VectorXd sum_a = Eigen::VectorXd::Zero(k), sum_b = Eigen::VectorXd::Zero(k);
    double na = 0, nb = 0;
    for (Eigen::Index i = 0; i < scores.rows(); i++) {
        (in_b[(size_t)i] ? sum_b : sum_a) += scores.row(i).transpose();
        (in_b[(size_t)i] ? nb : na) += 1;
    }
    Eigen::VectorXd mean_a = sum_a / na, mean_b = sum_b / nb;
    Eigen::MatrixXd pooled = Eigen::MatrixXd::Zero(k, k);
    for (Eigen::Index i = 0; i < scores.rows(); i++) {
        Eigen::VectorXd d = scores.row(i).transpose() - (in_b[(size_t)i] ? mean_b : mean_a);
        pooled += d * d.transpose();
    }
    pooled /= na + nb - 2;
    Eigen::LDLT<Eigen::MatrixXd> solver(pooled);
    Eigen::VectorXd d = mean_b - mean_a;
    if (solver.info() != Eigen::Success || !solver.isPositive() || solver.vectorD().minCoeff() <= 1e-12 * pooled.trace())
        return NAN;
    return na * nb / (na + nb) * d.dot(solver.solve(d));
}

double hotelling_p(const Eigen::MatrixXd &scores, const std::vector<bool> &in_b, const Permutations &how)
{
    double observed = hotelling_t2(scores, in_b);
    size_t n_b = (size_t)std::count(in_b.begin(), in_b.end(), true);
    std::vector<bool> labels(in_b.size());
    auto statistic = [&](const size_t *chosen) {
        std::fill(labels.begin(), labels.end(), false);
        for (size_t i = 0; i < n_b; i++)
            labels[chosen[i]] = true;
        double t2 = hotelling_t2(scores, labels);
        return isnan(t2) ? -1.0 : t2;
    };
    return isnan(observed) ? NAN : relabelling_p(in_b.size(), n_b, statistic, observed, how);
}
