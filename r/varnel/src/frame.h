// Tables for the R side, built row by row: named columns of one type each
// (text, number, integer, logical), given in the same order in every row.
// The R side makes a data frame of the list `columns()` returns.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <cpp11.hpp>

namespace varnel::r {

// A logical value that may be NA (R's NA_LOGICAL).
struct Logical {
    int value;
    static Logical na() { return {NA_LOGICAL}; }
    static Logical of(bool b) { return {b ? 1 : 0}; }
};

// An integer that may be NA (R's NA_INTEGER).
struct Integer {
    int value;
    static Integer na() { return {NA_INTEGER}; }
};

class Frame {
public:
    enum class Kind { text, number, integer, logical };
    struct Column {
        const char* name;
        Kind kind;
    };

    explicit Frame(std::vector<Column> columns);

    // One row: one value per column, in column order (a string for text, a
    // double for a number, an int or Integer for an integer, a bool or
    // Logical for a logical).  A value of the wrong kind or number is a
    // programming error (std::logic_error).
    template <class... V>
    void row(const V&... values)
    {
        check_count(sizeof...(values));
        std::size_t i = 0;
        (put(i++, values), ...);
    }

    std::size_t rows() const { return rows_; }

    // The columns as a named list of R vectors.
    cpp11::writable::list columns() const;

private:
    void check_count(std::size_t given);
    void put(std::size_t i, std::string_view v);
    void put(std::size_t i, const std::string& v) { put(i, std::string_view(v)); }
    void put(std::size_t i, const char* v) { put(i, std::string_view(v)); }
    void put(std::size_t i, double v);
    void put(std::size_t i, int v) { put(i, Integer{v}); }
    void put(std::size_t i, Integer v);
    void put(std::size_t i, bool v) { put(i, Logical::of(v)); }
    void put(std::size_t i, Logical v);
    // Disallowed: a long long or size_t would pick an overload silently.
    void put(std::size_t, long long) = delete;
    void put(std::size_t, std::size_t) = delete;

    using Values = std::variant<std::vector<std::string>, std::vector<double>, std::vector<int>>;
    std::vector<Column> spec_;
    std::vector<Values> values_;
    std::size_t rows_ = 0;
};

}  // namespace varnel::r
