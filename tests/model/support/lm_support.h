// Shared pieces of the fit tests: the fitting tables of a data set, the
// example reader's study, model-drawn data, and capture of the trace unit.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "model/lroc_common.h"
#include "numeric/tables.h"
#include "output/io_routs.h"

namespace lmtest {

// Fitting tables in fit order plus the dimensions they belong to.
struct fit_data {
    int ncat = 0;
    int ndist = 0;
    int noloc = 0;
    double q[15] = {};
    ftable freqe{};
    ftable freqc{};
    double xnstim[16] = {};
};

// Installs the dimensions and chance values of d in the shared records.
inline void install(const fit_data& d) {
    globals_.ncat = d.ncat;
    globals_.ndist = d.ndist;
    globals_.noloc = d.noloc;
    globals_.npar = (d.ncat - 1) + 2 * (d.ndist - 1);
    qvals_.qflag = 0;
    for (int t = 1; t <= 15; ++t) {
        qset(t) = d.q[t - 1];
        if (d.q[t - 1] != 0.0) qvals_.qflag = 1;
    }
}

// Recomputes xnstim from the tables.
inline void count_images(fit_data& d) {
    for (int j = 1; j <= d.ndist; ++j) {
        double n = 0.0;
        for (int k = 1; k <= d.ncat; ++k) n += d.freqc(k, j) + d.freqe(k, j);
        d.xnstim[j - 1] = n;
    }
}

// The example reader's study (one target, five categories, the lowest without
// localization), in fit order: target first, non-target last.
inline fit_data reader_a() {
    fit_data d;
    d.ncat = 5;
    d.ndist = 2;
    d.noloc = 1;
    const double tc[5] = {10, 4, 9, 15, 27};
    const double te[5] = {0, 6, 5, 3, 1};
    const double nt[5] = {40, 25, 15, 12, 8};
    for (int k = 1; k <= 5; ++k) {
        d.freqc(k, 1) = tc[k - 1];
        d.freqe(k, 1) = te[k - 1];
        d.freqc(k, 2) = nt[k - 1];
    }
    count_images(d);
    return d;
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
// preparation does: whole counts in freqc where localization is not used.
inline fit_data simulate(const model_point& m, int noloc, const double* q, int n_target,
                         int n_nontarget, std::uint64_t seed) {
    draws rng(seed);
    fit_data d;
    d.ncat = m.ncat;
    d.ndist = m.ntarget + 1;
    d.noloc = noloc;
    for (int t = 1; t <= m.ntarget; ++t) {
        d.q[t - 1] = q[t - 1];
        for (int n = 0; n < n_target; ++n) {
            const double x = m.mu[t - 1] + m.sigma[t - 1] * rng.normal();
            const double zv = rng.normal();
            const int k = category(m, x > zv ? x : zv);
            bool correct = x > zv;
            if (!correct && rng.uniform() < q[t - 1]) correct = true;
            if (k <= noloc || q[t - 1] == 1.0 || correct)
                d.freqc(k, t) += 1.0;
            else
                d.freqe(k, t) += 1.0;
        }
    }
    for (int n = 0; n < n_nontarget; ++n) d.freqc(category(m, rng.normal()), d.ndist) += 1.0;
    count_images(d);
    return d;
}

// Binds the trace unit to a fresh file for the lifetime of the object;
// text() closes the unit and returns what was written.
class trace_file {
public:
    explicit trace_file(const char* tag) {
        path_ = ::testing::TempDir() + "lm_trace_" + tag + ".txt";
        std::remove(path_.c_str());
        char name[256];
        std::memset(name, ' ', sizeof name);
        std::memcpy(name, path_.data(), path_.size());
        open_file__(3, name, 256, " ");
        open_ = true;
    }
    ~trace_file() {
        if (open_) close_file__(3);
        std::remove(path_.c_str());
    }
    std::string text() {
        if (open_) close_file__(3);
        open_ = false;
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    std::string path_;
    bool open_ = false;
};

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
