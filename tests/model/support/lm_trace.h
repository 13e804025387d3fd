// Reading the iteration trace back: expected field texts and a walk over the
// trace that checks each line against the iteration's rules (the damping
// value must follow every refusal and acceptance, the step sums and points
// are collected for the tests).
#pragma once

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/support/lm_support.h"

namespace lmtest {

// Fixed-point field Fw.d as the report writer produces it.
inline std::string f_field(int w, int d, double x) {
    if (std::isnan(x)) {
        std::string s = "NaN";
        return s.size() <= static_cast<size_t>(w) ? std::string(w - s.size(), ' ') + s
                                                  : std::string(w, '*');
    }
    std::string mag = fmt("%.*f", d, std::fabs(x));
    if (d == 0) mag += ".";
    bool all_zero = true;
    for (char c : mag)
        if (c >= '1' && c <= '9') all_zero = false;
    std::string s = (x < 0 && !all_zero ? "-" : "") + mag;
    if (static_cast<int>(s.size()) == w + 1) {
        const size_t p = s.find("0.");
        if (p != std::string::npos && (p == 0 || (p == 1 && s[0] == '-'))) s.erase(p, 1);
    }
    if (static_cast<int>(s.size()) > w) return std::string(w, '*');
    return std::string(w - s.size(), ' ') + s;
}

// Integer field Iw.
inline std::string i_field(int w, int v) {
    std::string s = fmt("%d", v);
    if (static_cast<int>(s.size()) > w) return std::string(w, '*');
    return std::string(w - s.size(), ' ') + s;
}

// Exponent field Ew.d (positive values only are needed here).
inline std::string e_field(int w, int d, double x) {
    if (x == 0.0) {
        std::string s = "0." + std::string(d, '0') + "E+00";
        return std::string(w - s.size(), ' ') + s;
    }
    std::string m = fmt("%.*e", d - 1, x);  // d.ddddde+xx
    const size_t e = m.find('e');
    const int exp10 = std::atoi(m.c_str() + e + 1) + 1;
    std::string digits = m.substr(0, 1) + m.substr(2, e - 2);
    std::string s = "0." + digits + fmt("E%c%02d", exp10 < 0 ? '-' : '+', std::abs(exp10));
    if (static_cast<int>(s.size()) > w) s.erase(0, 1);
    return std::string(w - s.size(), ' ') + s;
}

// General field Gw.d.
inline std::string g_field(int w, int d, double x) {
    const double m = std::fabs(x);
    if ((m < 0.1 && m != 0.0) || m >= std::pow(10.0, d)) return e_field(w, d, x);
    int i = 0;
    if (m == 0.0)
        i = 1;
    else
        while (!(m < std::pow(10.0, i))) ++i;
    return f_field(w - 4, d - i, x) + "    ";
}

// What the walk over one iteration trace found.
struct walk {
    std::string error;            // empty when every line followed the rules
    size_t end = 0;               // index of the first line after the trace
    int iterations = 0;           // main iterations begun
    int accepted = 0;             // accepted steps
    int refused = 0;              // trials refused for a worse log-likelihood
    int range_refusals = 0;       // passes refused for out-of-range trials
    std::vector<std::string> range_lines;  // the range-test lines, in order
    bool crashed = false;         // ended by the failed-inversion line
    bool cut = false;             // ended after a Top line with nothing further
    bool converged_on_refusal = false;
    double lamda = 0.0;           // damping value at the end
    double tnet_last = -1.0;      // step sum of the last trial
    double tnet_min_accepted = 1000.0;
    std::vector<std::string> last_point;  // the three T13 lines of the last acceptance
};

// T11 line: " loglike =" f11.2 "   tnet =" f16.8 "   lamda =" f16.8; returns
// the step sum and checks the damping value.
inline bool parse_t11(const std::string& s, double lamda, double& tnet, std::string& err) {
    if (s.size() != 72 || s.compare(0, 10, " loglike =") != 0 ||
        s.compare(21, 9, "   tnet =") != 0 || s.compare(46, 10, "   lamda =") != 0) {
        err = "bad loglike line: " + s;
        return false;
    }
    tnet = std::atof(s.substr(30, 16).c_str());
    if (s.substr(56) != f_field(16, 8, lamda)) {
        err = "loglike line has damping " + s.substr(56) + ", expected " + f_field(16, 8, lamda);
        return false;
    }
    return true;
}

// Walks the trace lines from `start` (the first header line) and checks the
// damping value in every line that shows it.
inline walk walk_trace(const std::vector<std::string>& ln, size_t start) {
    walk w;
    size_t i = start;
    auto at = [&](size_t n) -> std::string { return n < ln.size() ? ln[n] : std::string("<eof>"); };
    auto fail = [&](const std::string& e) {
        w.error = fmt("line %zu: ", i + 1) + e;
        w.end = i;
        return w;
    };
    if (at(i) != "   nc   nb   nd   ne  nar  noloc") return fail("header: " + at(i));
    i += 2;
    double lam = 0.001;
    int ll = 0;
    for (;;) {
        if (at(i) == "" && at(i + 1).rfind(" Begin main loop", 0) == 0) {
            ++ll;
            const std::string want =
                " Begin main loop, ll =" + i_field(3, ll) + "     lambda =" + f_field(16, 9, lam);
            if (at(i + 1) != want) return fail("got '" + at(i + 1) + "' want '" + want + "'");
            i += 2;
            w.iterations = ll;
            // Inner passes.
            bool iteration_done = false;
            while (!iteration_done) {
                if (at(i) != " Top of inside loop") return fail("expected Top: " + at(i));
                ++i;
                if (at(i) == " invert_matrix returned crashed flag") {
                    w.crashed = true;
                    w.lamda = lam;
                    w.end = i + 1;
                    return w;
                }
                if (at(i) == "<eof>" || at(i).rfind(" No solution", 0) == 0) {
                    w.cut = true;
                    w.lamda = lam;
                    w.end = i;
                    return w;
                }
                const std::string& s = at(i);
                if (s.rfind("b_pi > 10 ", 0) == 0 || s.rfind("a_pi > 100 ", 0) == 0 ||
                    s.rfind("b_pi < 0.1 ", 0) == 0) {
                    while (at(i).rfind("b_pi", 0) == 0 || at(i).rfind("a_pi", 0) == 0) {
                        w.range_lines.push_back(at(i));
                        ++i;
                    }
                    const std::string want =
                        " Model parameters out of range, lamda =" + g_field(12, 7, lam);
                    if (at(i) != want) return fail("got '" + at(i) + "' want '" + want + "'");
                    ++i;
                    ++w.range_refusals;
                    lam *= 10.0;
                    continue;
                }
                if (s == "" && at(i + 1) == " Old LogL greater than New LogL") {
                    i += 3;
                    lam *= 10.0;
                    ++w.refused;
                    if (at(i) == " Convergence") {
                        ++i;
                        if (!parse_t11(at(i), lam, w.tnet_last, w.error)) return fail(w.error);
                        ++i;
                        if (at(i) != " Bottom of inside loop") return fail("Bottom: " + at(i));
                        ++i;
                        w.converged_on_refusal = true;
                        iteration_done = true;
                    } else {
                        i += 3;
                        if (!parse_t11(at(i), lam, w.tnet_last, w.error)) return fail(w.error);
                        ++i;
                        if (at(i) != " Bottom of inside loop") return fail("Bottom: " + at(i));
                        ++i;
                    }
                    continue;
                }
                if (s == "" && at(i + 1) == " Old LogL less than New LogL") {
                    i += 3;
                    w.last_point = {at(i), at(i + 1), at(i + 2)};
                    i += 3;
                    if (!parse_t11(at(i), lam, w.tnet_last, w.error)) return fail(w.error);
                    ++i;
                    lam /= 10.0;
                    ++w.accepted;
                    if (w.tnet_last < w.tnet_min_accepted) w.tnet_min_accepted = w.tnet_last;
                    iteration_done = true;
                    continue;
                }
                return fail("unexpected line: " + s);
            }
            if (at(i) != " At bottom of main loop!!") return fail("expected bottom: " + at(i));
            ++i;
            continue;
        }
        break;
    }
    const std::string exit1 = " Exited main loop, ll =" + i_field(3, ll) + "     lambda =" + f_field(16, 9, lam);
    if (at(i) != "" || at(i + 1) != exit1) return fail("got '" + at(i + 1) + "' want '" + exit1 + "'");
    if (at(i + 2) != "" || at(i + 3) != " Exiting LMitercl -- procedure not diverging")
        return fail("exit lines: " + at(i + 3));
    w.lamda = lam;
    w.end = i + 4;
    return w;
}

}  // namespace lmtest
