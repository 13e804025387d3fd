// Check of the goodness-of-fit p-values, run by hand (not a test): tables
// drawn from the LROC model (one target, 6 categories, NOLOC 1, mean 1.5,
// deviation 1.2, boundaries -0.8 -0.2 0.4 1.0 1.6), each fitted and tested
// by the parametric bootstrap and by the chi-square approximation.  Since
// the model holds, every p-value should be uniform on [0, 1]: the program
// prints, per p-value, the share in each tenth of [0, 1], the rejection rate
// at 0.05 and the Kolmogorov-Smirnov distance to the uniform distribution
// (with its asymptotic 5% critical value 1.358 / sqrt(tables)).  The rows
// "at truth" draw the replicates at the true point instead of the estimate.
//   gof_uniformity [TABLES [REPLICATES [CASES [SEED [THREADS [CRITERION]]]]]]
// CASES is the number of normal and of target cases per table (100 each by
// default; 30 shows a sparse table); CRITERION the fits' stopping criterion.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "varnel/goodness_of_fit.h"
#include "varnel/summary.h"

using namespace varnel;

namespace {

// The shape of the drawn tables: counts only fix the number of images.
PreparedStudy shape(int cases)
{
    constexpr int ncat = 6;
    Study s;
    s.targets = 1;
    s.categories = ncat;
    s.noloc = 1;
    for (int k = 1; k <= ncat; ++k) {
        s.correct(k, 1) = cases / ncat + (k <= cases % ncat ? 1 : 0);
        s.correct(k, 2) = s.correct(k, 1);
    }
    return *prepare(s, {});
}

Parameters truth()
{
    Parameters p;
    p.mean[0] = 1.5;
    p.sigma[0] = 1.2;
    p.sigma[1] = 1.0;
    const double z[5] = {-0.8, -0.2, 0.4, 1.0, 1.6};
    std::copy(z, z + 5, p.bounds);
    return p;
}

// Deciles, rejection rate at 0.05 and the Kolmogorov-Smirnov distance of a
// sample of p-values from the uniform distribution.
void describe(const char* name, std::vector<double> p)
{
    std::sort(p.begin(), p.end());
    const double n = static_cast<double>(p.size());
    int tenths[10] = {};
    int rejected = 0;
    double d = 0.0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        ++tenths[std::min(9, static_cast<int>(p[i] * 10.0))];
        rejected += p[i] <= 0.05;
        d = std::max({d, (i + 1) / n - p[i], p[i] - i / n});
    }
    std::printf("%-24s", name);
    for (const int t : tenths)
        std::printf(" %5.3f", t / n);
    std::printf("   %5.3f   %5.3f\n", rejected / n, d);
}

}  // namespace

int main(int argc, char** argv)
{
    const int tables = argc > 1 ? std::atoi(argv[1]) : 200;
    const int replicates = argc > 2 ? std::atoi(argv[2]) : 200;
    const int cases = argc > 3 ? std::atoi(argv[3]) : 100;
    const std::uint64_t seed = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1;
    const int threads = argc > 5 ? std::atoi(argv[5]) : 2;
    FitSettings settings;
    if (argc > 6)
        settings.criterion = std::atof(argv[6]);

    const PreparedStudy model = shape(cases);
    const auto cells = cell_probabilities(model, truth());
    if (!cells) {
        std::fprintf(stderr, "%s\n", cells.error().message.c_str());
        return 1;
    }
    std::vector<double> boot_pearson, boot_deviance, chi_pearson, chi_deviance;
    std::vector<double> oracle_pearson, oracle_deviance;
    int unfitted = 0, failed_replicates = 0, cold_refits = 0, df = 0;
    Workspace ws;
    for (int t = 0; t < tables; ++t) {
        const Study drawn = draw_table(model, *cells, seed, static_cast<std::uint64_t>(t));
        const auto p = prepare(drawn, settings);
        if (!p) {
            ++unfitted;
            continue;
        }
        const auto f = fit(*p, settings, ws);
        if (!f || !f->converged) {
            ++unfitted;
            continue;
        }
        Summary s;
        summarize(*p, *f, s, false);
        BootstrapOptions o;
        o.replicates = replicates;
        o.seed = seed * 1000003 + static_cast<std::uint64_t>(t);
        o.threads = threads;
        const auto b = bootstrap_goodness_of_fit(*p, settings, *f, ws, o);
        if (!b) {
            ++unfitted;
            continue;
        }
        // The same test with replicates drawn at the true point instead of
        // the estimate (and refitted from there): exactly uniform up to the
        // replicates' discreteness whatever the table size, it separates the
        // bootstrap's own machinery from the effect of estimating the point.
        FitResult at_truth = *f;
        at_truth.estimate = truth();
        const auto oracle = bootstrap_goodness_of_fit(*p, settings, at_truth, ws, o);
        if (oracle) {
            int pearson = 0, deviance = 0, fitted = 0;
            for (int i = 0; i < replicates; ++i) {
                const double xp = oracle->pearson_replicates[static_cast<std::size_t>(i)];
                if (std::isnan(xp))
                    continue;
                ++fitted;
                pearson += xp >= s.likelihood.pearson;
                deviance += oracle->deviance_replicates[static_cast<std::size_t>(i)] >=
                            s.likelihood.deviance;
            }
            oracle_pearson.push_back(static_cast<double>(pearson) / fitted);
            oracle_deviance.push_back(static_cast<double>(deviance) / fitted);
        }
        failed_replicates += b->failed;
        cold_refits += b->cold_refits;
        boot_pearson.push_back(b->p_pearson);
        boot_deviance.push_back(b->p_deviance);
        // Only tables that kept all 6 categories have the tabulated degrees of freedom.
        if (p->spec.categories == 6) {
            df = s.chi_square.df;
            chi_pearson.push_back(s.chi_square.p_pearson);
            chi_deviance.push_back(s.chi_square.p_deviance);
        }
    }

    std::printf("%d tables of %d + %d cases, %d replicates each, seed %llu\n", tables, cases,
                cases, replicates, static_cast<unsigned long long>(seed));
    std::printf("tables not fitted %d; replicates failed %d, refitted cold %d\n", unfitted,
                failed_replicates, cold_refits);
    std::printf("%-24s", "p-value (tables)");
    for (int i = 0; i < 10; ++i)
        std::printf("  0.%d-", i);
    std::printf("  p<=.05   KS D\n");
    char name[64];
    std::snprintf(name, sizeof name, "bootstrap Pearson %zu", boot_pearson.size());
    describe(name, boot_pearson);
    std::snprintf(name, sizeof name, "bootstrap deviance %zu", boot_deviance.size());
    describe(name, boot_deviance);
    std::snprintf(name, sizeof name, "at truth Pearson %zu", oracle_pearson.size());
    describe(name, oracle_pearson);
    std::snprintf(name, sizeof name, "at truth deviance %zu", oracle_deviance.size());
    describe(name, oracle_deviance);
    std::snprintf(name, sizeof name, "chi2(%d) Pearson %zu", df, chi_pearson.size());
    describe(name, chi_pearson);
    std::snprintf(name, sizeof name, "chi2(%d) deviance %zu", df, chi_deviance.size());
    describe(name, chi_deviance);
    std::printf("KS 5%% critical value about %.3f (%zu tables)\n",
                1.358 / std::sqrt(static_cast<double>(boot_pearson.size())), boot_pearson.size());
    return 0;
}
