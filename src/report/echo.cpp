// Data echo: identifiers, dimensions, chance values and the count tables.
#include <climits>
#include <cstring>

#include "varnel/report.h"

namespace varnel::report {

namespace {

constexpr int id_len = 64;     // identifier fields of the echo
constexpr int label_len = 16;  // category label fields

// A text of a data file's fixed field: cut at width, blank-padded.
template <int Width>
struct Field {
    explicit Field(const std::string& s)
    {
        const int n = s.size() < Width ? static_cast<int>(s.size()) : Width;
        std::memcpy(text, s.data(), static_cast<size_t>(n));
        std::memset(text + n, ' ', static_cast<size_t>(Width - n));
    }
    char text[Width];
};

}  // namespace

// The numbers of distributions, categories and categories without
// localization, the chance value of each target, and per input distribution
// one row per category: the total where localization is not used (the
// non-target distribution, categories 1..noloc, targets with chance value
// 1.0), else the non-hit and hit counts.
void write_echo(output::Printer& out, const PreparedStudy& prepared)
{
    const Study& s = prepared.study;
    const ModelSpec& spec = prepared.spec;
    const CountTable& freqnon = prepared.echo_incorrect;
    const CountTable& freq = prepared.echo_correct;
    const int ncat = spec.categories;
    const int ndist = spec.distributions;
    const int noloc = spec.noloc;
    const int ntarget = ndist - 1;
    const int first = 1;

    out.field("(' OBSERVER:',1a64)", Field<id_len>(s.observer).text, id_len);
    out.field("(' CONDITION:',1a64)", Field<id_len>(s.condition).text, id_len);
    out.field("(' REPLICATION:',1a64,/)", Field<id_len>(s.replication).text, id_len);
    out.write("(' NDIST:',1i2,4x,'Number of target distributions')", ntarget);
    out.write("(' NCAT:',1i3,4x,'Number of rating categories')", ncat);
    out.write("(' NOLOC:',1i2,4x,'Number of categories without localization')", noloc);
    out.text("(/,' Chance Correct Location (qset) values:')");
    out.index_row("($)", "(6x,i2,$)", first, ntarget);
    out.value_row("('  ',$)", "(1x,f7.3,$)", spec.chance, first, ntarget);
    out.end_record();

    for (int m = 1; m <= ndist; ++m) {
        const int shown = m - 1;
        if (m == 1) {
            out.write("(' DISTRIBUTION:',1i3,3x,'Non-target distribution')", shown);
            out.text("('            Rating               Frequency')");
        } else {
            out.write("(' DISTRIBUTION:',1i3,3x,'Target distribution')", shown);
            out.text("('            Rating      Non-hit     Hit')");
        }
        // The non-target test comes first, so the chance value is read only for targets.
        const bool roc_only = (m == 1 || spec.q(m - 1) == 1.0);
        for (int n = 1; n <= ncat; ++n) {
            out.field("(1a16,$)", Field<label_len>(s.labels[n - 1]).text, label_len);
            if (roc_only || n <= noloc) {
                // A total beyond the int range overflows the I5 field all the same.
                long long sum = static_cast<long long>(freq(n, m)) + freqnon(n, m);
                const int total = sum > INT_MAX ? INT_MAX : sum < INT_MIN ? INT_MIN
                                                                          : static_cast<int>(sum);
                out.write("(18x,1i5)", total);
            } else {
                out.write("(7x,1i5,6x,1i5)", freqnon(n, m), freq(n, m));
            }
        }
    }
}

}  // namespace varnel::report
