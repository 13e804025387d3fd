// A study made in memory, checked as the data file reader checks a file.
#include <climits>

#include "varnel/study.h"

namespace varnel {

namespace {

Error study_error(int number, const std::string& what)
{
    return Error{ErrorKind::bad_data, number,
                 "Study has errors (" + std::to_string(number) + "): " + what};
}

std::string where(int distribution, int category)
{
    return (distribution == 0 ? std::string("non-target distribution")
                              : "target distribution " + std::to_string(distribution)) +
           ", category " + std::to_string(category);
}

}  // namespace

Expected<Study> make_study(const StudyCounts& counts)
{
    const int ncat = static_cast<int>(counts.labels.size());
    const long long ndist = static_cast<long long>(counts.distributions.size());
    if (ndist < 1 || ndist > max_targets + 1)
        return study_error(9, "there must be 0 to 15 target distributions besides the non-target one");
    if (ncat < 1 || ncat > max_categories)
        return study_error(10, "there must be 1 to 17 rating categories");
    if (counts.noloc < 0 || counts.noloc > ncat)
        return study_error(7, "NOLOC must lie between 0 and the number of categories");

    Study s;
    s.observer = counts.observer;
    s.condition = counts.condition;
    s.replication = counts.replication;
    s.targets = static_cast<int>(ndist) - 1;
    s.categories = ncat;
    s.noloc = counts.noloc;
    for (int k = 0; k < ncat; ++k)
        s.labels[k] = counts.labels[k];
    for (int m = 0; m < ndist; ++m) {
        const auto& rows = counts.distributions[m];
        if (static_cast<int>(rows.size()) != ncat)
            return study_error(8, (m == 0 ? std::string("the non-target distribution")
                                          : "target distribution " + std::to_string(m)) +
                                      " needs one row per category");
        long long total = 0;
        for (int k = 0; k < ncat; ++k) {
            const CategoryCounts& c = rows[k];
            if (c.incorrect < 0 || c.correct < 0)
                return study_error(8, where(m, k + 1) + ": negative count");
            if (c.incorrect > INT_MAX || c.correct > INT_MAX || c.incorrect + c.correct > INT_MAX)
                return study_error(8, where(m, k + 1) + ": count beyond 2,147,483,647");
            total += c.incorrect + c.correct;
            if (total > INT_MAX)
                return study_error(8, where(m, k + 1) + ": total beyond 2,147,483,647");
            s.incorrect(k + 1, m + 1) = static_cast<int>(c.incorrect);
            s.correct(k + 1, m + 1) = static_cast<int>(c.correct);
        }
    }
    return s;
}

}  // namespace varnel
