// Whole reader studies drawn from the LROC model with a fixed seed, written as
// per-case ratings (CSV with the columns reader,modality,case,truth,rating,
// localized).  Used by tests, the benchmark and null-hypothesis checks.
//
// Model.  Reader r reads case c once in each modality m.  Every reading has
// two standard-normal values, one on the signal side and one on the noise
// side, each the sum of independent standard-normal effects weighted by the
// variance fractions of a Roe-Metz-type model:
//
//   W = sqrt(vr) A(r) + sqrt(vc) B(c) + sqrt(vrc) D(r,c) + sqrt(vmr) E(m,r)
//       + sqrt(vmc) F(m,c) + sqrt(1 - vr - vc - vrc - vmr - vmc) e(r,m,c)
//
// The two sides draw all their effects independently of each other.  A
// target case of class j yields the target-location value
//   X = mu(m,j) + sigma(m,j) * W_signal
// and the highest value elsewhere Z = W_noise; a normal case yields
// Y = W_noise.  So every single reading has exactly the LROC model's
// distributions (X ~ N(mu, sigma), Z and Y ~ N(0, 1), X and Z independent)
// whatever the components, as long as they sum to at most 1; the components
// only correlate readings that share a reader, a case or a modality.  With
// all components 0 the readings are independent and each reader x modality
// table is a sample of the LROC model.  Modalities with the same mu, sigma
// and q are exchangeable (the null hypothesis of a modality comparison).
//
// Rating: s(r) + max(X, Z) for a target case, s(r) + Y for a normal case,
// where s(r) = reader_shift * G(r), G(r) ~ N(0, 1), is the reader's mean
// confidence (it moves all of a reader's ratings and so changes no figure of
// merit).  With `levels` L the rating is then replaced by its level
// 1 + #(thresholds below it), 1..L.  A target case is correctly localized
// when X > Z, otherwise by luck with probability q(m,j).
//
// Reproducibility: SplitMix64 streams, each seeded from the seed and its own
// stream number: one for the reader shifts, one per side for the effects
// (A, B, D reader-major, E and F modality-major), and one for the readings
// in output order (e_signal, e_noise, then the luck uniform, for every
// reading).  Changing only the components, shift, levels, no-mark threshold
// or the ROC switch therefore changes no underlying draw.  A fixed first
// reader takes its own effects (A and E, both sides) from a fifth stream of
// its own seed instead, leaving every other draw as it was.
#pragma once

#include <algorithm>
#include <boost/math/distributions/normal.hpp>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "../lroc_sim.h"

namespace case_sim {

inline constexpr int max_classes = 15;               // truth is 0..15
inline constexpr int max_levels = 1000;              // rating scale 1..L
inline constexpr long long max_readings = 20000000;  // about 1 GB in memory

// Target-class parameters of the LROC model in one modality.
struct TargetModel {
    double mu = 1.5;     // mean of X
    double sigma = 1.0;  // standard deviation of X
    double q = 0.0;      // chance of a lucky correct localization when Z > X
};

// Variance fractions of the effects (see the model above); each in [0, 1],
// their sum at most 1.
struct VarianceComponents {
    double r = 0.0;   // reader
    double c = 0.0;   // case
    double rc = 0.0;  // reader x case
    double mr = 0.0;  // modality x reader
    double mc = 0.0;  // modality x case
};

// What to draw.  Cases are numbered normal cases first, then the cases of
// class 1, class 2, and so on.
struct Design {
    int readers = 5;
    int modalities = 2;
    int normal_cases = 60;
    std::vector<int> target_cases{60};  // per class 1, 2, ...
    // Per modality, per class: targets[m][j - 1].
    std::vector<std::vector<TargetModel>> targets{2, std::vector<TargetModel>(1)};
    VarianceComponents variance{};
    double reader_shift = 0.0;  // standard deviation of the readers' shifts
    int levels = 0;             // 0: continuous ratings; else 1..levels
    // levels - 1 ascending thresholds; empty: the standard-normal quantiles
    // of k / levels, which put the normal cases evenly on the levels.
    std::vector<double> thresholds;
    // Target cases rated at or below this get no mark (localized empty).
    std::optional<double> no_mark_at_or_below;
    bool roc_only = false;  // no localized column at all
    std::uint64_t seed = 1;
    // When set, the first reader's own effects (reader and modality x reader,
    // both sides) come from this seed: the same in every study drawn with it,
    // as for a fixed reader such as an algorithm read against new readers and
    // new cases.
    std::optional<std::uint64_t> fixed_reader_seed;
};

// Localization as written: empty, 0 or 1.
enum class Mark : signed char { none = -1, incorrect = 0, correct = 1 };

// One drawn reading; indices are 0-based.
struct Reading {
    int reader = 0, modality = 0, case_index = 0;
    int truth = 0;                                        // 0 normal, j target class
    double signal = std::numeric_limits<double>::quiet_NaN();  // X (target cases)
    double noise = 0.0;                                   // Z (target) or Y (normal)
    double rating = 0.0;                                  // as written
    Mark mark = Mark::none;
};

// A drawn study: the design, the thresholds used, the readings in output
// order (reader, then modality, then case); or an error message.
struct Simulation {
    Design design;
    std::vector<double> thresholds;
    std::vector<Reading> readings;
    std::string error;
};

// The same parameters for every modality and class.
inline std::vector<std::vector<TargetModel>> same_targets(int modalities, int classes,
                                                          TargetModel t)
{
    return {static_cast<std::size_t>(std::max(modalities, 0)),
            std::vector<TargetModel>(static_cast<std::size_t>(std::max(classes, 0)), t)};
}

// Sum of the variance fractions.
inline double component_sum(const VarianceComponents& v)
{
    return v.r + v.c + v.rc + v.mr + v.mc;
}

inline long long total_cases(const Design& d)
{
    long long n = d.normal_cases;
    for (int k : d.target_cases) n += k;
    return n;
}

// Truth of every case: normal cases first, then class by class.
inline std::vector<int> case_truth(const Design& d)
{
    std::vector<int> truth(static_cast<std::size_t>(std::max(d.normal_cases, 0)), 0);
    for (std::size_t j = 0; j < d.target_cases.size(); ++j)
        truth.insert(truth.end(), static_cast<std::size_t>(std::max(d.target_cases[j], 0)),
                     static_cast<int>(j + 1));
    return truth;
}

// The problem with one target model, or "".
inline std::string target_error(const TargetModel& t, int m, int j)
{
    const std::string where = "modality " + std::to_string(m + 1) + " class " + std::to_string(j + 1);
    if (!std::isfinite(t.mu)) return "mu of " + where + " is not a finite number";
    if (!(t.sigma > 0.0) || !std::isfinite(t.sigma))
        return "sigma of " + where + " must be a positive number";
    if (!(t.q >= 0.0 && t.q <= 1.0)) return "q of " + where + " must lie between 0 and 1";
    return {};
}

// A number for a message, to 6 significant digits.
inline std::string short_number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// The problem with the variance fractions, or "".
inline std::string variance_error(const VarianceComponents& v)
{
    for (double x : {v.r, v.c, v.rc, v.mr, v.mc})
        if (!(x >= 0.0 && x <= 1.0))
            return "each variance component must lie between 0 and 1 (a fraction of the variance)";
    if (component_sum(v) > 1.0)
        return "the variance components sum to " + short_number(component_sum(v)) +
               "; as fractions of each value's variance they must sum to at most 1";
    return {};
}

// The problem with the rating levels and thresholds, or "".
inline std::string levels_error(const Design& d)
{
    if (d.levels != 0 && (d.levels < 2 || d.levels > max_levels))
        return "levels must be 0 (continuous ratings) or 2 to " + std::to_string(max_levels);
    if (d.thresholds.empty()) return {};
    if (d.levels == 0) return "thresholds are given but levels is 0; give levels too";
    if (static_cast<int>(d.thresholds.size()) != d.levels - 1)
        return "thresholds: " + std::to_string(d.thresholds.size()) + " given; " +
               std::to_string(d.levels) + " levels need " + std::to_string(d.levels - 1);
    for (std::size_t k = 0; k < d.thresholds.size(); ++k) {
        if (!std::isfinite(d.thresholds[k])) return "thresholds must be finite numbers";
        if (k > 0 && !(d.thresholds[k] > d.thresholds[k - 1]))
            return "thresholds must be strictly ascending";
    }
    return {};
}

// The problem with the study's size (readers, modalities, cases per class),
// or "".  Checked before anything of that size is allocated.
inline std::string size_error(const Design& d)
{
    if (d.readers < 1) return "readers must be at least 1";
    if (d.modalities < 1) return "modalities must be at least 1";
    if (d.normal_cases < 0) return "normal cases must not be negative";
    const int classes = static_cast<int>(d.target_cases.size());
    if (classes < 1 || classes > max_classes)
        return "give 1 to " + std::to_string(max_classes) + " target classes";
    for (int k : d.target_cases)
        if (k < 0) return "target cases must not be negative";
    const long long cases = total_cases(d);
    if (cases < 1) return "the study has no cases; give normal or target cases";
    // Step by step, so that no product can overflow.
    if (cases > max_readings || cases * d.readers > max_readings ||
        cases * d.readers * d.modalities > max_readings)
        return "readers x modalities x cases exceeds " + std::to_string(max_readings) +
               " readings; draw a smaller study";
    return {};
}

// The first problem with a design, in the words of gen_cases's options, or
// "" when it can be drawn.
inline std::string design_error(const Design& d)
{
    if (std::string e = size_error(d); !e.empty()) return e;
    const int classes = static_cast<int>(d.target_cases.size());
    if (static_cast<int>(d.targets.size()) != d.modalities)
        return "the target parameters cover " + std::to_string(d.targets.size()) +
               " modalities; the study has " + std::to_string(d.modalities);
    for (int m = 0; m < d.modalities; ++m) {
        if (static_cast<int>(d.targets[m].size()) != classes)
            return "the target parameters of modality " + std::to_string(m + 1) + " cover " +
                   std::to_string(d.targets[m].size()) + " classes; the study has " +
                   std::to_string(classes);
        for (int j = 0; j < classes; ++j)
            if (std::string e = target_error(d.targets[m][j], m, j); !e.empty()) return e;
    }
    if (std::string e = variance_error(d.variance); !e.empty()) return e;
    if (!(d.reader_shift >= 0.0) || !std::isfinite(d.reader_shift))
        return "reader shift must be a non-negative number (a standard deviation)";
    if (std::string e = levels_error(d); !e.empty()) return e;
    if (d.no_mark_at_or_below && std::isnan(*d.no_mark_at_or_below))
        return "the no-mark threshold is not a number";
    return {};
}

// Thresholds between the rating levels: the design's own, or the
// standard-normal quantiles of k / levels; none for continuous ratings.
inline std::vector<double> level_thresholds(const Design& d)
{
    if (d.levels == 0 || !d.thresholds.empty()) return d.thresholds;
    const boost::math::normal standard;
    std::vector<double> t;
    for (int k = 1; k < d.levels; ++k)
        t.push_back(boost::math::quantile(standard, static_cast<double>(k) / d.levels));
    return t;
}

// A generator for one purpose: the seed and the stream number mixed by one
// SplitMix64 step, so that the streams start far apart on its cycle.
inline lroc_sim::rng stream(std::uint64_t seed, std::uint64_t number)
{
    lroc_sim::rng mix{seed ^ (number * 0xd1b54a32d192ed03ULL)};
    return lroc_sim::rng{mix.next()};
}

// n standard-normal draws.
inline std::vector<double> normals(lroc_sim::rng& g, std::size_t n)
{
    std::vector<double> v(n);
    for (double& x : v) x = g.normal();
    return v;
}

// The effects of one side, each a standard normal.
struct Effects {
    std::vector<double> reader, case_, reader_case, modality_reader, modality_case;
};

// Draws the effects of one side in a fixed order (D reader-major, E and F
// modality-major).
inline Effects draw_effects(lroc_sim::rng& g, int readers, int modalities, int cases)
{
    const auto R = static_cast<std::size_t>(readers), M = static_cast<std::size_t>(modalities),
               K = static_cast<std::size_t>(cases);
    Effects fx;
    fx.reader = normals(g, R);
    fx.case_ = normals(g, K);
    fx.reader_case = normals(g, R * K);
    fx.modality_reader = normals(g, M * R);
    fx.modality_case = normals(g, M * K);
    return fx;
}

// Replaces the first reader's own effects (A, and E of every modality) on
// both sides by draws from the fixed reader's seed.
inline void fix_first_reader(Effects& signal, Effects& noise, std::uint64_t seed, int readers,
                             int modalities)
{
    constexpr std::uint64_t fixed_reader_stream = 5;
    lroc_sim::rng g = stream(seed, fixed_reader_stream);
    for (Effects* fx : {&signal, &noise}) {
        fx->reader[0] = g.normal();
        for (int m = 0; m < modalities; ++m)
            fx->modality_reader[static_cast<std::size_t>(m) * readers] = g.normal();
    }
}

// Square roots of the variance fractions, the residual last.
struct Weights {
    double r, c, rc, mr, mc, residual;
};

inline Weights effect_weights(const VarianceComponents& v)
{
    return {std::sqrt(v.r),  std::sqrt(v.c),  std::sqrt(v.rc),
            std::sqrt(v.mr), std::sqrt(v.mc), std::sqrt(std::max(0.0, 1.0 - component_sum(v)))};
}

// W of one side for reader r, modality m, case c with residual draw e.
inline double side_value(const Effects& fx, const Weights& w, int readers, int cases, int r, int m,
                         int c, double e)
{
    const auto R = static_cast<std::size_t>(readers), K = static_cast<std::size_t>(cases);
    return w.r * fx.reader[r] + w.c * fx.case_[c] + w.rc * fx.reader_case[r * K + c] +
           w.mr * fx.modality_reader[m * R + r] + w.mc * fx.modality_case[m * K + c] +
           w.residual * e;
}

// Draws the whole study of a design.
inline Simulation simulate(const Design& d)
{
    Simulation sim;
    sim.design = d;
    if (sim.error = design_error(d); !sim.error.empty()) return sim;
    sim.thresholds = level_thresholds(d);
    const std::vector<int> truth = case_truth(d);
    const int R = d.readers, M = d.modalities, K = static_cast<int>(truth.size());

    enum : std::uint64_t { shift_stream = 1, signal_stream, noise_stream, reading_stream };
    lroc_sim::rng shift_rng = stream(d.seed, shift_stream);
    lroc_sim::rng signal_rng = stream(d.seed, signal_stream);
    lroc_sim::rng noise_rng = stream(d.seed, noise_stream);
    lroc_sim::rng draws = stream(d.seed, reading_stream);
    const std::vector<double> shift = normals(shift_rng, static_cast<std::size_t>(R));
    Effects signal_fx = draw_effects(signal_rng, R, M, K);
    Effects noise_fx = draw_effects(noise_rng, R, M, K);
    if (d.fixed_reader_seed) fix_first_reader(signal_fx, noise_fx, *d.fixed_reader_seed, R, M);
    const Weights w = effect_weights(d.variance);

    sim.readings.reserve(static_cast<std::size_t>(R) * M * K);
    for (int r = 0; r < R; ++r)
        for (int m = 0; m < M; ++m)
            for (int c = 0; c < K; ++c) {
                const double e_signal = draws.normal();
                const double e_noise = draws.normal();
                const double luck = draws.uniform();
                Reading x{r, m, c, truth[c]};
                x.noise = side_value(noise_fx, w, R, K, r, m, c, e_noise);
                double value = x.noise;
                bool correct = false;
                if (x.truth > 0) {
                    const TargetModel& t = d.targets[m][x.truth - 1];
                    x.signal = t.mu + t.sigma * side_value(signal_fx, w, R, K, r, m, c, e_signal);
                    value = std::max(x.signal, x.noise);
                    correct = x.signal > x.noise || luck < t.q;
                }
                x.rating = d.reader_shift * shift[r] + value;
                if (d.levels > 0) x.rating = lroc_sim::category(sim.thresholds, x.rating);
                const bool no_mark = d.no_mark_at_or_below && x.rating <= *d.no_mark_at_or_below;
                if (x.truth > 0 && !d.roc_only && !no_mark)
                    x.mark = correct ? Mark::correct : Mark::incorrect;
                sim.readings.push_back(x);
            }
    return sim;
}

// Names as written: R01, M1, C0001 (from 0-based indices).
inline std::string numbered(const char* format, int index)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, format, index + 1);
    return buf;
}
inline std::string reader_name(int r) { return numbered("R%02d", r); }
inline std::string modality_name(int m) { return numbered("M%d", m); }
inline std::string case_name(int c) { return numbered("C%04d", c); }

// Shortest text that reads back to the same double.
inline std::string format_rating(double v)
{
    char buf[64];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    return std::string(buf, end);
}

// The CSV text of a drawn study: a header row, then one row per reading,
// LF line ends.
inline std::string csv_text(const Simulation& sim)
{
    const bool roc = sim.design.roc_only;
    std::string out = roc ? "reader,modality,case,truth,rating\n"
                          : "reader,modality,case,truth,rating,localized\n";
    out.reserve(out.size() + sim.readings.size() * 48);
    for (const Reading& x : sim.readings) {
        out += reader_name(x.reader) + ',' + modality_name(x.modality) + ',' +
               case_name(x.case_index) + ',' + std::to_string(x.truth) + ',' +
               format_rating(x.rating);
        if (!roc) {
            out += ',';
            if (x.mark != Mark::none) out += x.mark == Mark::correct ? '1' : '0';
        }
        out += '\n';
    }
    return out;
}

// Writes text to a file as is; "" on success, else a message naming the file.
inline std::string write_file(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return path + ": cannot open for writing (" + std::strerror(errno) +
               "); check that its folder exists and is writable";
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const int saved = errno;
    if (std::fclose(f) != 0 || !written)
        return path + ": write failed (" + std::strerror(written ? errno : saved) +
               "); check the free space";
    return {};
}

}  // namespace case_sim
