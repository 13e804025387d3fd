// Preparation of a study for the fit: purge of empty rating categories, the
// checks that make a study fittable, the settings, and the fitting tables in
// fit order with the counts merged wherever localization data is not used.
#include <climits>
#include <cmath>

#include "varnel/fit.h"

namespace varnel {

namespace {

// a + b for the input-order tables, held at the int range: a merged total too
// large for an int prints as an overflowing field in the echo either way.
int saturating_add(int a, int b)
{
    const long long s = static_cast<long long>(a) + b;
    if (s > INT_MAX)
        return INT_MAX;
    if (s < INT_MIN)
        return INT_MIN;
    return static_cast<int>(s);
}

// Copies the counts into fit order (targets 1..ndist-1 first, the non-target
// distribution last), counts the images of each distribution, and adds the
// incorrect-localization count into the correct one for every category whose
// localization is not used: all categories of the non-target distribution and
// of a target with chance value exactly 1.0, else the first noloc categories.
// The same merge is applied to the input-order tables of the echo.
void fitting_tables(PreparedStudy& p)
{
    const Study& s = p.study;
    const ModelSpec& spec = p.spec;
    const int ncat = spec.categories;
    const int ndist = spec.distributions;
    const int noloc = spec.noloc;
    FitCounts& c = p.counts;

    for (int j = 1; j <= ndist; ++j) {
        const int k = (j < ndist) ? j + 1 : 1;  // input distribution of fit distribution j
        c.images[j - 1] = 0.0;
        for (int i = 1; i <= ncat; ++i) {
            c.incorrect(i, j) = s.incorrect(i, k);
            c.correct(i, j) = s.correct(i, k);
            c.images[j - 1] += c.incorrect(i, j) + c.correct(i, j);
        }
    }

    // The non-target test comes first, so the chance value is read only for targets.
    for (int j = 1; j <= ndist; ++j) {
        const int merged = (j == ndist || spec.q(j) == 1.0) ? ncat : noloc;
        for (int i = 1; i <= merged; ++i) {
            c.correct(i, j) += c.incorrect(i, j);
            c.incorrect(i, j) = 0.0;
        }
    }

    p.echo_incorrect = s.incorrect;
    p.echo_correct = s.correct;
    for (int m = 1; m <= ndist; ++m) {
        const int merged = (m == 1 || spec.q(m - 1) == 1.0) ? ncat : noloc;
        for (int i = 1; i <= merged; ++i) {
            p.echo_correct(i, m) = saturating_add(p.echo_correct(i, m), p.echo_incorrect(i, m));
            p.echo_incorrect(i, m) = 0;
        }
    }
}

}  // namespace

// Every rating category that no case fell into, in any distribution, is
// removed: later categories move one place down in both count tables, their
// labels with them; NOLOC drops by one per removed category among the first
// NOLOC.
Study without_empty_categories(const Study& study)
{
    Study s = study;
    const int old_ncat = s.categories;
    const int ndist = s.targets + 1;

    // A category is empty when its two counts add up to 0 in every
    // distribution (opposite counts cancel).  The sum is taken wide so that
    // extreme counts cannot overflow.
    bool empty[max_categories + 1] = {};
    for (int i = 1; i <= old_ncat; ++i) {
        empty[i] = true;
        for (int m = 1; m <= ndist; ++m) {
            if (static_cast<long long>(s.correct(i, m)) + s.incorrect(i, m) != 0) {
                empty[i] = false;
                break;
            }
        }
    }

    // Walking from the top keeps the marks of the categories still to be
    // visited valid: only categories above i have moved.
    for (int i = old_ncat; i >= 1; --i) {
        if (!empty[i])
            continue;
        const int live_top = s.categories;  // highest category still in use
        --s.categories;
        if (i <= s.noloc)
            --s.noloc;
        for (int k = i; k < live_top; ++k) {
            for (int m = 1; m <= ndist; ++m) {
                s.incorrect(k, m) = s.incorrect(k + 1, m);
                s.correct(k, m) = s.correct(k + 1, m);
            }
            s.labels[k - 1] = s.labels[k];
        }
        // The vacated top row holds no category any more.
        for (int m = 1; m <= ndist; ++m) {
            s.incorrect(live_top, m) = 0;
            s.correct(live_top, m) = 0;
        }
        s.labels[live_top - 1].clear();
    }
    return s;
}

// A study is fittable with at least two categories and cases in every target
// distribution (numbered 1 upward, as in the echo).
std::optional<Error> check_fittable(const Study& s)
{
    if (s.categories < 2)
        return Error{ErrorKind::too_few_categories, 0,
                     "There are less than two non-empty categories"};
    for (int m = 2; m <= s.targets + 1; ++m) {
        bool no_cases = true;
        for (int i = 1; i <= s.categories; ++i) {
            if (s.incorrect(i, m) != 0 || s.correct(i, m) != 0) {
                no_cases = false;
                break;
            }
        }
        if (no_cases)
            return Error{ErrorKind::empty_target, m - 1,
                         "Target distribution " + std::to_string(m - 1) + " has no cases"};
    }
    return std::nullopt;
}

Expected<PreparedStudy> prepare(const Study& study, const FitSettings& settings)
{
    if (study.targets < 0 || study.targets > max_targets)
        return Error{ErrorKind::bad_data, 9, "Study has errors (9): 0 to 15 target distributions"};
    if (study.categories < 1 || study.categories > max_categories)
        return Error{ErrorKind::bad_data, 10, "Study has errors (10): 1 to 17 rating categories"};
    if (study.noloc < 0 || study.noloc > study.categories)
        return Error{ErrorKind::bad_data, 7,
                     "Study has errors (7): NOLOC between 0 and the number of categories"};
    if (!std::isfinite(settings.criterion))
        return Error{ErrorKind::bad_settings, 0, "The stopping criterion must be a number"};
    for (int t = 1; t <= study.targets && t <= max_targets; ++t) {
        const double q = settings.chance[t - 1];
        if (!(q >= 0.0 && q <= 1.0))
            return Error{ErrorKind::bad_settings, t,
                         "Chance value of target " + std::to_string(t) + " must be 0.0 to 1.0"};
    }

    PreparedStudy p;
    p.study = without_empty_categories(study);
    if (std::optional<Error> fault = check_fittable(p.study))
        return *fault;
    Study& s = p.study;
    if (settings.noloc > s.noloc && settings.noloc <= s.categories)
        s.noloc = settings.noloc;

    ModelSpec& spec = p.spec;
    spec.categories = s.categories;
    spec.distributions = s.targets + 1;
    spec.noloc = s.noloc;
    spec.parameters = (spec.categories - 1) + 2 * (spec.distributions - 1);
    for (int t = 1; t <= s.targets; ++t) {
        spec.chance[t - 1] = settings.chance[t - 1];
        if (spec.chance[t - 1] != 0.0)
            spec.chance_entered = true;
    }
    fitting_tables(p);
    return p;
}

}  // namespace varnel
