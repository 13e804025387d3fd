// Observer studies drawn from the LROC model with a fixed seed, written as
// rating data files.  Used by the example generator and the benchmark.
//
// A target image yields X ~ N(mu, sigma) at the target's location and
// Z ~ N(0, 1), the highest value elsewhere; it is rated by max(X, Z) and
// correctly localized when X > Z, or, when Z is larger, by luck with
// probability q.  A non-target image yields Y ~ N(0, 1).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace lroc_sim {

// SplitMix64: a small generator whose output is the same on every platform.
struct rng {
    std::uint64_t s;
    std::uint64_t next()
    {
        std::uint64_t z = (s += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    double uniform() { return (static_cast<double>(next() >> 11) + 0.5) * 0x1.0p-53; }
    // Box-Muller, one deviate per call.
    double normal()
    {
        const double two_pi = 6.283185307179586;
        return std::sqrt(-2.0 * std::log(uniform())) * std::cos(two_pi * uniform());
    }
};

struct target {
    double mu, sigma, q;
    int n;
};

struct study {
    const char* file;
    const char* observer;
    const char* condition;
    int noloc;
    std::vector<double> bounds;  // ncat - 1 ascending boundaries
    int n_nontarget;
    std::vector<target> targets;
    std::uint64_t seed;
};

inline int category(const std::vector<double>& bounds, double v)
{
    int k = 1;
    for (double b : bounds)
        if (v > b) ++k;
    return k;
}

inline bool write_study(const std::string& dir, const study& s)
{
    const int ncat = static_cast<int>(s.bounds.size()) + 1;
    const int nt = static_cast<int>(s.targets.size());
    rng r{s.seed};
    std::vector<int> non(ncat + 1, 0);
    for (int i = 0; i < s.n_nontarget; ++i) ++non[category(s.bounds, r.normal())];
    std::vector<std::vector<int>> hit(nt, std::vector<int>(ncat + 1, 0));
    std::vector<std::vector<int>> miss(nt, std::vector<int>(ncat + 1, 0));
    for (int t = 0; t < nt; ++t) {
        const target& g = s.targets[t];
        for (int i = 0; i < g.n; ++i) {
            double x = g.mu + g.sigma * r.normal();
            double z = r.normal();
            int k = category(s.bounds, x > z ? x : z);
            bool correct = x > z || r.uniform() < g.q;
            ++(correct ? hit : miss)[t][k];
        }
    }

    std::string path = dir + "/" + s.file;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        return false;
    }
    // CRLF line ends, as the files of the original study software have.
    std::fprintf(f, "LROCDATA\r\nOBSERVER: %s\r\nCONDITION: %s\r\nREPLICATION: 1\r\n", s.observer,
                 s.condition);
    std::fprintf(f, "NDIST: %d\r\nNCAT: %d\r\nNOLOC: %d\r\n", nt, ncat, s.noloc);
    std::fprintf(f, "Non-target distribution\r\n");
    for (int k = 1; k <= ncat; ++k) {
        if (k <= s.noloc + 1)
            std::fprintf(f, " %-16d%6d\r\n", k, non[k]);
        else
            std::fprintf(f, " %-16d%6d%6d\r\n", k, non[k], 0);
    }
    for (int t = 0; t < nt; ++t) {
        std::fprintf(f, "Target distribution %d\r\n", t + 1);
        for (int k = 1; k <= ncat; ++k) {
            // Categories without localization data carry one total count.
            if (k <= s.noloc)
                std::fprintf(f, " %-16d%6d\r\n", k, hit[t][k] + miss[t][k]);
            else
                std::fprintf(f, " %-16d%6d%6d\r\n", k, miss[t][k], hit[t][k]);
        }
    }
    return std::fclose(f) == 0;
}

}  // namespace lroc_sim
