// Reading a varnel output file back: the data echo, the fit verdict, the area
// table and the curve table.  The echo is read by its fixed columns, so that
// category labels may hold any text.
#include "plot/plot.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace varnel::plot {
namespace {

struct Lines {
    std::vector<std::string> v;
    size_t at = 0;  // next line to read
};

// Small text helpers: prefix test, blank trimming, blank test, split at blanks.
bool starts_with(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

std::string trim(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

bool blank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

std::vector<std::string> words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> w;
    for (std::string x; in >> x;) w.push_back(x);
    return w;
}

// A whole integer text, optionally signed; false for anything else.
bool to_long(const std::string& s, long& v) {
    const std::string t = trim(s);
    if (t.empty()) return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtol(t.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

// A fixed-point field; fields without a number (asterisks) give NaN.
double to_real(const std::string& s) {
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    return (end != s.c_str() && *end == '\0') ? v : std::nan("");
}

// Integer after a keyword prefix such as " NCAT:", range-checked.
bool keyword_int(const std::string& line, const char* key, long lo, long hi, long& v) {
    if (!starts_with(line, key)) return false;
    std::istringstream in(line.substr(std::string(key).size()));
    return static_cast<bool>(in >> v) && v >= lo && v <= hi;
}

std::string where(const Lines& L) { return "line " + std::to_string(L.at + 1); }

// One category row of the echo: a 16-column label, then either a total in
// columns 35-39 or the non-hit count in 24-28 and the hit count in 35-39.
// `known` turns false when a count overflowed its field (asterisks).
bool echo_row(const std::string& line, long& nonhit, long& hit, bool& split, bool& known) {
    if (line.size() < 39 || !blank(line.substr(16, 7)) || !blank(line.substr(28, 6)) ||
        !blank(line.substr(39)))
        return false;
    const std::string a = line.substr(23, 5), b = line.substr(34, 5);
    split = !blank(a);
    nonhit = 0;
    const bool stars_a = a == "*****", stars_b = b == "*****";
    if (stars_a || stars_b) known = false;
    if (split && !stars_a && !to_long(a, nonhit)) return false;
    return stars_b || to_long(b, hit);
}

// Reads the data echo starting at its OBSERVER line.
bool parse_echo(Lines& L, Report& rep, std::string& error) {
    auto next = [&]() -> const std::string& {
        static const std::string none;
        return L.at < L.v.size() ? L.v[L.at] : none;
    };
    auto fail = [&](const std::string& what) {
        error = "data echo: " + what + " expected at " + where(L);
        return false;
    };
    rep.observer = trim(next().substr(10));
    ++L.at;
    if (!starts_with(next(), " CONDITION:")) return fail("CONDITION");
    rep.condition = trim(next().substr(11));
    ++L.at;
    if (!starts_with(next(), " REPLICATION:")) return fail("REPLICATION");
    L.at += 2;
    long ntarget = 0, ncat = 0, noloc = 0;
    if (!keyword_int(next(), " NDIST:", 0, 15, ntarget)) return fail("NDIST (0 to 15)");
    ++L.at;
    if (!keyword_int(next(), " NCAT:", 2, 17, ncat)) return fail("NCAT (2 to 17)");
    ++L.at;
    if (!keyword_int(next(), " NOLOC:", 0, ncat, noloc)) return fail("NOLOC (0 to NCAT)");
    L.at += 2;
    if (trim(next()) != "Chance Correct Location (qset) values:") return fail("chance values");
    L.at += 2;
    const std::vector<std::string> q = words(next());
    if (q.size() != static_cast<size_t>(ntarget)) return fail("one chance value per target");
    L.at += 2;
    rep.ncat = static_cast<int>(ncat);
    rep.noloc = static_cast<int>(noloc);
    rep.targets.assign(ntarget, Target{});
    for (long m = 0; m <= ntarget; ++m) {
        long number = -1;
        if (!keyword_int(next(), " DISTRIBUTION:", m, m, number))
            return fail("DISTRIBUTION " + std::to_string(m));
        L.at += 2;
        Target scratch;
        Target& t = m == 0 ? scratch : rep.targets[m - 1];
        if (m > 0) t.qset = q[m - 1];
        for (long n = 0; n < ncat; ++n, ++L.at) {
            long nonhit = 0, hit = 0;
            bool split = false;
            if (!echo_row(next(), nonhit, hit, split, t.counts_known))
                return fail("category row of distribution " + std::to_string(m));
            t.nonhit.push_back(nonhit);
            t.hit.push_back(hit);
            t.split.push_back(split);
        }
        if (m == 0) {
            rep.nontarget = t.hit;
            rep.nontarget_known = t.counts_known;
        }
    }
    return true;
}

// Finds the first line at or after `from` that, without trailing blanks, equals `text`.
size_t find_line(const Lines& L, size_t from, const char* text) {
    for (size_t i = from; i < L.v.size(); ++i) {
        const std::string& s = L.v[i];
        if (s.compare(0, s.find_last_not_of(' ') + 1, text) == 0) return i;
    }
    return std::string::npos;
}

// The AreaROC and AreaLROC rows of the area table, kept as printed.
bool parse_areas(Lines& L, Report& rep, std::string& error) {
    const size_t head = find_line(L, L.at, "Used numerical integration from parameter values");
    if (head == std::string::npos) {
        error = "no area table (Used numerical integration from parameter values)";
        return false;
    }
    bool roc = false, lroc = false;
    for (size_t i = head + 1; i < L.v.size() && !blank(L.v[i]); ++i) {
        const std::string& s = L.v[i];
        const bool is_roc = starts_with(s, "AreaROC     "), is_lroc = starts_with(s, "AreaLROC    ");
        if (!is_roc && !is_lroc) continue;
        const std::vector<std::string> w = words(s.substr(12));
        if (w.size() != rep.targets.size()) {
            error = "area table row at line " + std::to_string(i + 1) + " has " +
                    std::to_string(w.size()) + " values for " + std::to_string(rep.targets.size()) + " targets";
            return false;
        }
        for (size_t t = 0; t < w.size(); ++t) (is_roc ? rep.targets[t].area_roc : rep.targets[t].area_lroc) = w[t];
        (is_roc ? roc : lroc) = true;
    }
    if (!roc || !lroc) {
        error = "area table without AreaROC and AreaLROC rows";
        return false;
    }
    L.at = head;
    return true;
}

// The curve table: header with one "Tar" per target, then the point rows.
bool parse_curves(Lines& L, size_t head, Report& rep, std::string& error) {
    L.at = head + 1;
    if (L.at >= L.v.size() || !starts_with(L.v[L.at], " False Pos")) {
        error = "curve table without its header line (the file may be truncated)";
        return false;
    }
    const std::string& h = L.v[L.at];
    size_t tars = 0;
    for (size_t p = h.find("Tar"); p != std::string::npos; p = h.find("Tar", p + 3)) ++tars;
    if (tars != rep.targets.size()) {
        error = "curve table has " + std::to_string(tars) + " target columns, the data echo " +
                std::to_string(rep.targets.size());
        return false;
    }
    rep.adjusted = h.size() > 10 && starts_with(h.substr(10), "          Tar");
    const size_t per = rep.adjusted ? 3 : 2;
    for (++L.at; L.at < L.v.size() && rep.fp.size() < curve_rows; ++L.at) {
        const std::vector<std::string> w = words(L.v[L.at]);
        if (w.size() != 1 + per * tars || !std::isfinite(to_real(w[0]))) break;
        rep.fp.push_back(to_real(w[0]));
        for (size_t t = 0; t < tars; ++t) {
            rep.targets[t].tp.push_back(to_real(w[1 + per * t]));
            rep.targets[t].ctp.push_back(to_real(w[2 + per * t]));
            rep.targets[t].ctpadj.push_back(per == 3 ? to_real(w[3 + per * t]) : std::nan(""));
        }
    }
    if (rep.fp.size() != curve_rows) {
        error = "curve table ends after " + std::to_string(rep.fp.size()) + " of " +
                std::to_string(curve_rows) + " rows (the file may be truncated)";
        return false;
    }
    return true;
}

}  // namespace

Parse parse_report(const std::string& text, Report& rep, std::string& error) {
    Lines L;
    std::istringstream in(text);
    for (std::string s; std::getline(in, s);) {
        if (!s.empty() && s.back() == '\r') s.pop_back();
        L.v.push_back(s);
    }
    rep = Report{};
    const size_t curves = find_line(L, 0, "Curves from fit distribution parameters");
    if (curves == std::string::npos) return Parse::no_curve_table;
    L.at = 0;
    while (L.at < curves && !starts_with(L.v[L.at], " OBSERVER:")) ++L.at;
    if (L.at == curves) {
        error = "no data echo (OBSERVER line) before the curve table";
        return Parse::malformed;
    }
    if (!parse_echo(L, rep, error)) return Parse::malformed;
    rep.fit_failed = find_line(L, L.at, "Procedure has failed to fit ratings") < curves;
    if (!parse_areas(L, rep, error) || !parse_curves(L, curves, rep, error)) return Parse::malformed;
    return Parse::ok;
}

namespace {

// Cumulative operating points from the highest category down to category
// `lowest` (1-based): x from the non-target counts, y from `counted`.
std::vector<Point> cumulate(const Report& rep, const Target& t, const std::vector<long>& counted, int lowest) {
    std::vector<Point> pts;
    if (!rep.nontarget_known || !t.counts_known) return pts;
    double n0 = 0, n1 = 0;
    for (int k = 0; k < rep.ncat; ++k) {
        n0 += rep.nontarget[k];
        n1 += t.nonhit[k] + t.hit[k];
    }
    if (n0 <= 0 || n1 <= 0) return pts;
    double c0 = 0, c1 = 0;
    for (int k = rep.ncat; k >= lowest; --k) {
        c0 += rep.nontarget[k - 1];
        c1 += counted[k - 1];
        pts.push_back({c0 / n0, c1 / n1});
    }
    return pts;
}

}  // namespace

std::vector<Point> observed_roc(const Report& rep, int t) {
    const Target& d = rep.targets[t];
    std::vector<long> all(rep.ncat);
    for (int k = 0; k < rep.ncat; ++k) all[k] = d.nonhit[k] + d.hit[k];
    // The threshold below the lowest category gives the trivial point (1, 1).
    return cumulate(rep, d, all, 2);
}

std::vector<Point> observed_lroc(const Report& rep, int t) {
    const Target& d = rep.targets[t];
    // A merged row's hit column is a total, not a count of correct
    // localizations, so thresholds at or below it have no LROC point.
    int lowest = rep.ncat + 1;
    while (lowest > 1 && d.split[lowest - 2]) --lowest;
    return cumulate(rep, d, d.hit, lowest);
}

}  // namespace varnel::plot
