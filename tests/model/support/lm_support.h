// Shared pieces of the fit tests: studies ready to fit (the example reader's
// study, model-drawn data), the fit's notes for the console program, and
// small text helpers.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "model/support/model_tables.h"
#include "varnel/fit.h"

namespace lmtest {

// A study ready to fit, made by hand in fit order: only its spec and counts
// are set (all the fit and the fit report read).
using fit_data = varnel::PreparedStudy;

// The dimensions of d, its chance values q[0..ndist-2] and its image counts
// from its tables.
inline void set_spec(fit_data& d, int ncat, int ndist, int noloc, const double* q = nullptr) {
    d.spec = model_spec(ncat, ndist, noloc, q);
    count_images(d.spec, d.counts);
}

// The example reader's study (one target, five categories, the lowest without
// localization), in fit order: target first, non-target last.
inline fit_data reader_a() {
    fit_data d;
    const double tc[5] = {10, 4, 9, 15, 27};
    const double te[5] = {0, 6, 5, 3, 1};
    const double nt[5] = {40, 25, 15, 12, 8};
    for (int k = 1; k <= 5; ++k) {
        d.counts.correct(k, 1) = tc[k - 1];
        d.counts.incorrect(k, 1) = te[k - 1];
        d.counts.correct(k, 2) = nt[k - 1];
    }
    set_spec(d, 5, 2, 1);
    return d;
}

// The console program's notes after a fit (failed inversion, iteration cap,
// damping value 0), in its order; empty when it has none to write.
inline std::string console_notes(const varnel::FitResult& r) {
    std::string s;
    if (r.singular_matrix) s += "singular matrix;";
    if (r.iteration_limit_reached) s += "iteration limit;";
    if (r.damping_zero) s += "damping zero;";
    return s;
}

// Generating model of a simulated study.
struct model_point {
    int ntarget = 1;
    double mu[15] = {};
    double sigma[15] = {};
    int ncat = 0;
    double z[16] = {};  // boundaries 1..ncat-1
};

// Uniform (0, 1) and standard normal draws of our own, so that the data do not
// depend on the standard library's distribution algorithms.
struct draws {
    std::mt19937_64 gen;
    explicit draws(std::uint64_t seed) : gen(seed) {}
    double uniform() {
        for (;;) {
            const double u = static_cast<double>(gen() >> 11) * 0x1.0p-53;
            if (u > 0.0) return u;
        }
    }
    // Box-Muller, one value per pair of uniforms.
    double normal() {
        const double two_pi = 6.283185307179586;
        const double r = std::sqrt(-2.0 * std::log(uniform()));
        return r * std::cos(two_pi * uniform());
    }
};

// Rating category of a value: above z(k-1) and at or below z(k).
inline int category(const model_point& m, double v) {
    int k = 1;
    while (k < m.ncat && v > m.z[k - 1]) ++k;
    return k;
}

// Study drawn from the LROC model: per target image the signal value X and
// the highest non-signal value Z, rated by the larger, localized correctly
// when X is larger or, otherwise, by luck with probability q; per non-target
// image one standard normal value.  The tables are filled as the data
// preparation does: whole counts among the correct ones where localization is
// not used.
inline fit_data simulate(const model_point& m, int noloc, const double* q, int n_target,
                         int n_nontarget, std::uint64_t seed) {
    draws rng(seed);
    fit_data d;
    varnel::FrequencyTable& freqc = d.counts.correct;
    varnel::FrequencyTable& freqe = d.counts.incorrect;
    const int ndist = m.ntarget + 1;
    for (int t = 1; t <= m.ntarget; ++t) {
        for (int n = 0; n < n_target; ++n) {
            const double x = m.mu[t - 1] + m.sigma[t - 1] * rng.normal();
            const double zv = rng.normal();
            const int k = category(m, x > zv ? x : zv);
            bool correct = x > zv;
            if (!correct && rng.uniform() < q[t - 1]) correct = true;
            if (k <= noloc || q[t - 1] == 1.0 || correct)
                freqc(k, t) += 1.0;
            else
                freqe(k, t) += 1.0;
        }
    }
    for (int n = 0; n < n_nontarget; ++n) freqc(category(m, rng.normal()), ndist) += 1.0;
    set_spec(d, m.ncat, ndist, noloc, q);
    return d;
}

inline std::vector<std::string> split_lines(const std::string& s) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == '\n') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

// printf into a std::string.
template <class... T>
std::string fmt(const char* f, T... v) {
    char buf[512];
    std::snprintf(buf, sizeof buf, f, v...);
    return buf;
}

}  // namespace lmtest
