#include "frame.h"

#include <stdexcept>

namespace varnel::r {

Frame::Frame(std::vector<Column> columns) : spec_(std::move(columns))
{
    for (const Column& c : spec_) {
        if (c.kind == Kind::text)
            values_.emplace_back(std::vector<std::string>());
        else if (c.kind == Kind::number)
            values_.emplace_back(std::vector<double>());
        else
            values_.emplace_back(std::vector<int>());
    }
}

void Frame::check_count(std::size_t given)
{
    if (given != spec_.size())
        throw std::logic_error("frame: a row of " + std::to_string(given) + " values for " +
                               std::to_string(spec_.size()) + " columns");
    ++rows_;
}

namespace {

[[noreturn]] void wrong_kind(const char* name)
{
    throw std::logic_error(std::string("frame: a value of the wrong kind for column ") + name);
}

}  // namespace

void Frame::put(std::size_t i, std::string_view v)
{
    if (spec_[i].kind != Kind::text)
        wrong_kind(spec_[i].name);
    std::get<std::vector<std::string>>(values_[i]).emplace_back(v);
}

void Frame::put(std::size_t i, double v)
{
    if (spec_[i].kind != Kind::number)
        wrong_kind(spec_[i].name);
    std::get<std::vector<double>>(values_[i]).push_back(v);
}

void Frame::put(std::size_t i, Integer v)
{
    if (spec_[i].kind != Kind::integer)
        wrong_kind(spec_[i].name);
    std::get<std::vector<int>>(values_[i]).push_back(v.value);
}

void Frame::put(std::size_t i, Logical v)
{
    if (spec_[i].kind != Kind::logical)
        wrong_kind(spec_[i].name);
    std::get<std::vector<int>>(values_[i]).push_back(v.value);
}

cpp11::writable::list Frame::columns() const
{
    cpp11::writable::list out(static_cast<R_xlen_t>(spec_.size()));
    cpp11::writable::strings names(static_cast<R_xlen_t>(spec_.size()));
    for (std::size_t i = 0; i < spec_.size(); ++i) {
        const auto n = static_cast<R_xlen_t>(rows_);
        names[static_cast<R_xlen_t>(i)] = spec_[i].name;
        switch (spec_[i].kind) {
        case Kind::text: {
            const auto& v = std::get<std::vector<std::string>>(values_[i]);
            cpp11::writable::strings s(n);
            for (R_xlen_t k = 0; k < n; ++k)
                s[k] = v[static_cast<std::size_t>(k)];
            out[static_cast<R_xlen_t>(i)] = s;
            break;
        }
        case Kind::number: {
            const auto& v = std::get<std::vector<double>>(values_[i]);
            cpp11::writable::doubles d(n);
            for (R_xlen_t k = 0; k < n; ++k)
                d[k] = v[static_cast<std::size_t>(k)];
            out[static_cast<R_xlen_t>(i)] = d;
            break;
        }
        case Kind::integer: {
            const auto& v = std::get<std::vector<int>>(values_[i]);
            cpp11::writable::integers d(n);
            for (R_xlen_t k = 0; k < n; ++k)
                d[k] = v[static_cast<std::size_t>(k)];
            out[static_cast<R_xlen_t>(i)] = d;
            break;
        }
        case Kind::logical: {
            const auto& v = std::get<std::vector<int>>(values_[i]);
            cpp11::writable::logicals d(n);
            for (R_xlen_t k = 0; k < n; ++k)
                d[k] = cpp11::r_bool(v[static_cast<std::size_t>(k)]);
            out[static_cast<R_xlen_t>(i)] = d;
            break;
        }
        }
    }
    out.names() = names;
    return out;
}

}  // namespace varnel::r
