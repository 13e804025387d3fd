// libFuzzer entry: arbitrary bytes through the per-case ratings reader and,
// when they parse, the default binning, the data file writer and one
// leave-one-out binning.  Besides memory and undefined-behaviour faults it
// stops on a broken invariant: a table whose counts do not add up to its
// reader's ratings in its modality, a label longer than 16 characters, NOLOC
// out of range, a table the writer refuses, or a failing leave-one-out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "varnel/binning.h"
#include "varnel/cases.h"
#include "varnel/data_file.h"

namespace {

using namespace varnel::study;

constexpr std::size_t max_label = 16;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

long long table_total(const varnel::Study& s)
{
    long long n = 0;
    for (int m = 1; m <= s.targets + 1; ++m)
        for (int k = 1; k <= s.categories; ++k)
            n += s.incorrect(k, m) + s.correct(k, m);
    return n;
}

// Ratings per table (reader-major), the readings of case `left_out` not counted.
std::vector<long long> ratings_per_table(const CaseStudy& study, int left_out)
{
    std::vector<long long> n(study.readers.size() * study.modalities.size(), 0);
    for (const Reading& r : study.readings)
        if (r.case_index != left_out)
            ++n[static_cast<std::size_t>(r.reader) * study.modalities.size() + r.modality];
    return n;
}

void check_tables(const CaseStudy& study, const std::vector<varnel::Study>& tables, int left_out)
{
    const std::vector<long long> expected = ratings_per_table(study, left_out);
    require(tables.size() == expected.size());
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const varnel::Study& s = tables[t];
        require(table_total(s) == expected[t]);
        require(s.noloc >= 0 && s.noloc <= s.categories);
        for (int k = 0; k < s.categories; ++k)
            require(s.labels[k].size() <= max_label);
        require(format_data_file(s).ok());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    varnel::Expected<CaseStudy> study = parse_cases(text, "fuzz.csv");
    if (!study)
        return 0;
    varnel::Expected<BinnedStudy> binned = bin_study(*study, BinningOptions{});
    if (!binned)
        return 0;
    check_tables(*study, binned->tables, -1);
    varnel::Expected<std::vector<varnel::Study>> without =
        make_tables_without_case(*study, binned->binning, 0);
    require(without.ok());
    check_tables(*study, *without, 0);
    return 0;
}
