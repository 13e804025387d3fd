// Tables on their way to pandas: columns of NumPy arrays and lists of str.
#include "bindings.h"

namespace varnel::python {

nb::list str_list(const std::vector<std::string>& texts)
{
    nb::list list;
    for (const std::string& t : texts)
        list.append(to_str(t));
    return list;
}

namespace {

using BoolVector = nb::ndarray<nb::numpy, bool, nb::ndim<1>>;
using IntVector = nb::ndarray<nb::numpy, std::int64_t, nb::ndim<1>>;

nb::object column_object(const std::vector<std::string>& v) { return str_list(v); }

nb::object column_object(const std::vector<double>& v)
{
    return nb::cast(new_array<Vector>(v, {v.size()}), nb::rv_policy::move);
}

nb::object column_object(const std::vector<std::int64_t>& v)
{
    return nb::cast(new_array<IntVector>(v, {v.size()}), nb::rv_policy::move);
}

// std::vector<bool> holds bits: copied into bytes first.
nb::object column_object(const std::vector<bool>& v)
{
    return nb::cast(new_array<BoolVector>(std::vector<char>(v.begin(), v.end()), {v.size()}),
                    nb::rv_policy::move);
}

}  // namespace

nb::dict Frame::columns() const
{
    nb::dict d;
    for (const auto& [name, values] : columns_)
        d[name.c_str()] = std::visit([](const auto& v) { return column_object(v); }, values);
    return d;
}

}  // namespace varnel::python
