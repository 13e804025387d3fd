#include "convert.h"

#include <cmath>

namespace varnel::r {

using namespace cpp11::literals;

namespace {

// A count as R holds it (a double, whole and finite: the R side checked)
// in the reader's wide type; make_study rejects what does not fit.
long long whole_count(double v)
{
    constexpr double limit = 9.0e15;  // far beyond any count that can be valid
    if (!(std::fabs(v) < limit))
        return v < 0 ? -static_cast<long long>(limit) : static_cast<long long>(limit);
    return static_cast<long long>(v);
}

}  // namespace

cpp11::writable::integers_matrix<> count_matrix(const CountTable& table, int categories,
                                                int distributions)
{
    cpp11::writable::integers_matrix<> m(categories, distributions);
    for (int k = 1; k <= categories; ++k)
        for (int d = 1; d <= distributions; ++d)
            m(k - 1, d - 1) = table(k, d);
    return m;
}

cpp11::writable::list study_to_r(const Study& s)
{
    cpp11::writable::strings labels(s.categories);
    for (int k = 0; k < s.categories; ++k)
        labels[k] = s.labels[k];
    return cpp11::writable::list({
        "observer"_nm = s.observer,
        "condition"_nm = s.condition,
        "replication"_nm = s.replication,
        "noloc"_nm = s.noloc,
        "labels"_nm = labels,
        "incorrect"_nm = count_matrix(s.incorrect, s.categories, s.targets + 1),
        "correct"_nm = count_matrix(s.correct, s.categories, s.targets + 1),
    });
}

StudyCounts study_from_r(const cpp11::list& x)
{
    StudyCounts c;
    c.observer = cpp11::as_cpp<std::string>(x["observer"]);
    c.condition = cpp11::as_cpp<std::string>(x["condition"]);
    c.replication = cpp11::as_cpp<std::string>(x["replication"]);
    c.noloc = cpp11::as_cpp<int>(x["noloc"]);
    const cpp11::strings labels(x["labels"]);
    for (R_xlen_t k = 0; k < labels.size(); ++k)
        c.labels.push_back(std::string(labels[k]));
    const cpp11::doubles_matrix<> incorrect(x["incorrect"]);
    const cpp11::doubles_matrix<> correct(x["correct"]);
    c.distributions.resize(incorrect.ncol());
    for (int d = 0; d < incorrect.ncol(); ++d) {
        auto& rows = c.distributions[d];
        rows.resize(incorrect.nrow());
        for (int k = 0; k < incorrect.nrow(); ++k)
            rows[k] = {whole_count(incorrect(k, d)), whole_count(correct(k, d))};
    }
    return c;
}

cpp11::writable::list value_result(SEXP value)
{
    return cpp11::writable::list({"value"_nm = value});
}

cpp11::writable::list error_result(const Error& e)
{
    return cpp11::writable::list({
        "error"_nm = cpp11::writable::list({
            "kind"_nm = error_kind_name(e.kind),
            "number"_nm = e.number,
            "message"_nm = e.message,
            "status"_nm = e.status,
        }),
    });
}

}  // namespace varnel::r
