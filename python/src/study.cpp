// varnel.Study and varnel.read_study: one observer's ratings in one reading
// condition, as counts per rating category.
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include <nanobind/stl/filesystem.h>
#include <nanobind/stl/string.h>

#include "bindings.h"
#include "varnel/study.h"

namespace varnel::python {

namespace {

using namespace nb::literals;

// A sequence of values, not text and not a single value.
bool is_sequence(nb::handle h)
{
    PyObject* p = h.ptr();
    return PySequence_Check(p) && !PyUnicode_Check(p) && !PyBytes_Check(p) &&
           !PyByteArray_Check(p);
}

Py_ssize_t length_of(nb::handle seq)
{
    const Py_ssize_t n = PySequence_Size(seq.ptr());
    if (n < 0)
        throw nb::python_error();
    return n;
}

nb::object item_of(nb::handle seq, Py_ssize_t k)
{
    PyObject* item = PySequence_GetItem(seq.ptr(), k);
    if (item == nullptr)
        throw nb::python_error();
    return nb::steal(item);
}

// One count: an int or a NumPy integer (a float or text is refused).  One
// beyond the range of long long is held at the range's end, which the checks
// of make_study refuse as beyond 2,147,483,647 or negative.
long long count_of(nb::handle value, const std::string& where)
{
    PyObject* index = PyNumber_Index(value.ptr());
    if (index == nullptr) {
        PyErr_Clear();
        throw nb::type_error(("Study: " + where + " is not a whole number").c_str());
    }
    int overflow = 0;
    long long count = PyLong_AsLongLongAndOverflow(index, &overflow);
    Py_DECREF(index);
    if (overflow != 0)
        count = overflow > 0 ? LLONG_MAX : LLONG_MIN;
    return count;
}

// The counts of one distribution, one per category; name is the argument
// and position the messages give ("correct[1]").
std::vector<long long> count_row(nb::handle row, const std::string& name)
{
    if (!is_sequence(row))
        throw nb::type_error(("Study: " + name + " must be a sequence of counts").c_str());
    std::vector<long long> counts;
    const Py_ssize_t n = length_of(row);
    for (Py_ssize_t k = 0; k < n; ++k)
        counts.push_back(count_of(item_of(row, k), name + "[" + std::to_string(k) + "]"));
    return counts;
}

// The rows of a per-target argument: a sequence of rows, one per target, or
// a single row for a study of one target; an empty sequence is no target.
std::vector<std::vector<long long>> target_rows(nb::handle arg, const std::string& name)
{
    if (!is_sequence(arg))
        throw nb::type_error(("Study: " + name + " must be a sequence of counts per target")
                                 .c_str());
    const Py_ssize_t n = length_of(arg);
    if (n == 0)
        return {};
    if (!is_sequence(item_of(arg, 0)))
        return {count_row(arg, name)};
    std::vector<std::vector<long long>> rows;
    for (Py_ssize_t t = 0; t < n; ++t)
        rows.push_back(count_row(item_of(arg, t), name + "[" + std::to_string(t) + "]"));
    return rows;
}

// The study of the counts, checked by the library as the data file reader
// checks a file.
void init_study(Study* self, nb::handle normal, nb::handle correct, nb::handle incorrect,
                int noloc, nb::handle labels, nb::handle observer, nb::handle condition,
                nb::handle replication)
{
    StudyCounts counts;
    counts.observer = from_str(observer, "Study: observer");
    counts.condition = from_str(condition, "Study: condition");
    counts.replication = from_str(replication, "Study: replication");
    counts.noloc = noloc;

    const std::vector<long long> normal_row = count_row(normal, "normal");
    const std::vector<std::vector<long long>> hits = target_rows(correct, "correct");
    std::vector<std::vector<long long>> misses;
    if (incorrect.is_none()) {
        for (const auto& row : hits)
            misses.emplace_back(row.size(), 0);
    } else {
        misses = target_rows(incorrect, "incorrect");
        if (misses.size() != hits.size())
            throw nb::value_error(("Study: incorrect has " + std::to_string(misses.size()) +
                                   " targets, correct " + std::to_string(hits.size()))
                                      .c_str());
        for (std::size_t t = 0; t < hits.size(); ++t)
            if (misses[t].size() != hits[t].size())
                throw nb::value_error(("Study: incorrect has " + std::to_string(misses[t].size()) +
                                       " counts for target " + std::to_string(t + 1) +
                                       ", correct " + std::to_string(hits[t].size()))
                                          .c_str());
    }

    const std::size_t ncat = normal_row.size();
    if (labels.is_none()) {
        for (std::size_t k = 1; k <= ncat; ++k)
            counts.labels.push_back(std::to_string(k));
    } else {
        if (!is_sequence(labels))
            throw nb::type_error("Study: labels must be a sequence of str");
        const Py_ssize_t n = length_of(labels);
        for (Py_ssize_t k = 0; k < n; ++k)
            counts.labels.push_back(
                from_str(item_of(labels, k), "Study: labels[" + std::to_string(k) + "]"));
        if (counts.labels.size() != ncat)
            throw nb::value_error(("Study: " + std::to_string(counts.labels.size()) +
                                   " labels for " + std::to_string(ncat) + " categories")
                                      .c_str());
    }

    std::vector<CategoryCounts> column;
    for (long long n : normal_row)
        column.push_back(CategoryCounts{0, n});
    counts.distributions.push_back(std::move(column));
    for (std::size_t t = 0; t < hits.size(); ++t) {
        column.clear();
        for (std::size_t k = 0; k < hits[t].size(); ++k)
            column.push_back(CategoryCounts{misses[t][k], hits[t][k]});
        counts.distributions.push_back(column);
    }
    new (self) Study(take(make_study(counts)));
}

// Counts of input distribution m (1 the non-target, 1 + t target t) per
// category: images whose mark missed (incorrect) or hit, or the total.
enum class Part { incorrect, correct, total };
long long count_at(const Study& s, int k, int m, Part part)
{
    switch (part) {
    case Part::incorrect: return s.incorrect(k, m);
    case Part::correct: return s.correct(k, m);
    case Part::total: break;
    }
    return static_cast<long long>(s.incorrect(k, m)) + s.correct(k, m);
}

CountMatrix target_counts(const Study& s, Part part)
{
    std::vector<std::int64_t> data;
    for (int t = 1; t <= s.targets; ++t)
        for (int k = 1; k <= s.categories; ++k)
            data.push_back(count_at(s, k, 1 + t, part));
    return new_array<CountMatrix>(std::move(data), {static_cast<std::size_t>(s.targets),
                                                    static_cast<std::size_t>(s.categories)});
}

// A label as the reports show it: the blanks that pad it are dropped.
nb::str label_text(const std::string& label)
{
    const std::size_t end = label.find_last_not_of(' ');
    return to_str(end == std::string::npos ? std::string() : label.substr(0, end + 1));
}

constexpr const char* study_doc =
    R"doc(One observer's ratings in one reading condition: counts of images per
rating category (lowest rating first) for the non-target distribution and
each target distribution.

Made from a rating data file by :func:`read_study`, or from counts::

    Study(normal=[40, 25, 15, 12, 8],
          correct=[10, 4, 9, 15, 27],      # one target; a list of lists for several
          incorrect=[0, 6, 5, 3, 1],
          noloc=1, observer="Reader A")

Args:
    normal: images without a target, per category.
    correct: per target distribution, the target images whose mark was on
        the target, per category; for categories without localization data
        (the lowest ``noloc``) the category's total.  A single sequence is
        one target; an empty sequence no target.
    incorrect: the same shape: target images whose mark was elsewhere
        (``None``: none).  In the lowest ``noloc`` categories only the sum
        of incorrect and correct is used.
    noloc: the number of lowest categories without localization data (0 to
        the number of categories).
    labels: one text per category (``None``: "1", "2", ...); the reports
        show 16 characters.
    observer, condition, replication: identifiers (the reports show 64
        characters).

Raises:
    VarnelError: the counts break a rule of the data file format, with the
        data file error number: 0 to 15 targets (9), 1 to 17 categories (10),
        NOLOC within the categories (7), a row per category, no negative
        count and no count or total beyond 2,147,483,647 (8).
    TypeError: a count is not a whole number.
    ValueError: ``incorrect`` or ``labels`` do not match the counts' shape.)doc";

}  // namespace

void bind_study(nb::module_& m)
{
    nb::class_<Study>(m, "Study", study_doc)
        .def("__init__", &init_study, "normal"_a, "correct"_a, "incorrect"_a = nb::none(),
             nb::kw_only(), "noloc"_a = 0, "labels"_a = nb::none(), "observer"_a = "",
             "condition"_a = "", "replication"_a = "",
             nb::sig("def __init__(self, normal: numpy.typing.ArrayLike, "
                     "correct: numpy.typing.ArrayLike, "
                     "incorrect: numpy.typing.ArrayLike | None = None, *, noloc: int = 0, "
                     "labels: collections.abc.Sequence[str] | None = None, "
                     "observer: str = '', condition: str = '', replication: str = '') -> None"),
             "Makes the study from counts; see the class documentation.")
        .def_prop_ro("observer", [](const Study& s) { return to_str(s.observer); },
                     "The observer's identifier (for a data file: the text after the colon).")
        .def_prop_ro("condition", [](const Study& s) { return to_str(s.condition); },
                     "The reading condition's identifier.")
        .def_prop_ro("replication", [](const Study& s) { return to_str(s.replication); },
                     "The replication's identifier.")
        .def_ro("targets", &Study::targets, "The number of target distributions, 0 to 15.")
        .def_ro("categories", &Study::categories,
                "The number of rating categories, 1 to 17, lowest rating first.")
        .def_ro("noloc", &Study::noloc,
                "The number of lowest categories without localization data.")
        .def_prop_ro(
            "labels",
            [](const Study& s) {
                nb::list labels;
                for (int k = 0; k < s.categories; ++k)
                    labels.append(label_text(s.labels[k]));
                return labels;
            },
            nb::sig("def labels(self) -> list[str]"),
            "The category labels, lowest rating first, without the blanks that pad them.")
        .def_prop_ro(
            "normal",
            [](const Study& s) {
                std::vector<std::int64_t> data;
                for (int k = 1; k <= s.categories; ++k)
                    data.push_back(count_at(s, k, 1, Part::total));
                return new_array<CountVector>(std::move(data),
                                              {static_cast<std::size_t>(s.categories)});
            },
            nb::rv_policy::move,
            "Images without a target per category (shape: categories).")
        .def_prop_ro(
            "correct", [](const Study& s) { return target_counts(s, Part::correct); },
            nb::rv_policy::move,
            "Target images correctly localized per target and category (shape: targets x "
            "categories); where only a category's total is known, the total.")
        .def_prop_ro(
            "incorrect", [](const Study& s) { return target_counts(s, Part::incorrect); },
            nb::rv_policy::move,
            "Target images whose mark missed the target per target and category (shape: "
            "targets x categories); 0 where only the total is known.")
        .def("__repr__", [](const Study& s) {
            return nb::str("Study(observer={!r}, condition={!r}, targets={}, categories={}, "
                           "noloc={})")
                .format(to_str(s.observer), to_str(s.condition), s.targets, s.categories,
                        s.noloc);
        });

    m.def(
        "read_study",
        [](const std::filesystem::path& path) {
            const std::string name = path.string();
            auto study = [&] {
                nb::gil_scoped_release unlocked;
                return read_study(name);
            }();
            return take(std::move(study));
        },
        "path"_a, nb::sig("def read_study(path: str | os.PathLike[str]) -> Study"),
        R"doc(Reads a rating data file (LROCDATA header, keyword lines, one count table
per distribution), as the console program reads it.

Args:
    path: the data file (str or path-like).

Returns:
    The study, categories and counts as the file has them (empty categories
    are dropped only by :func:`fit`).

Raises:
    VarnelError: the file cannot be opened (``kind == "open_failed"``) or
        read or ends early (``"read_failed"``: "Error reading input file"),
        or its content has errors (``"bad_data"``: "Input file has errors
        (N)", ``number`` N as the console program's table of faults).)doc");
}

}  // namespace varnel::python
