// Console dialogue that settles the fitting setup: stopping criterion,
// chance-localization values and the categories without localization.
#include "console/settings_dialogue.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "console/terminal.h"

namespace varnel::console {

namespace {

constexpr int answer_cap = 80;  // answers of at most 79 characters

// The number an answer begins with (after white space).  Text, nan, inf and
// values beyond the double range count as no number.
bool leading_real(const char* answer, double& value)
{
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(answer, &end);
    if (end == answer || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

// The integer an answer begins with (after white space); one outside the
// 32-bit range counts as no number.
bool leading_int(const char* answer, int& value)
{
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(answer, &end, 10);
    if (end == answer || errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return false;
    value = static_cast<int>(v);
    return true;
}

// Yes when the first character that is not white space is y or Y.
bool answer_is_yes(const char* answer)
{
    while (*answer != '\0' && std::isspace(static_cast<unsigned char>(*answer)))
        ++answer;
    return *answer == 'y' || *answer == 'Y';
}

}  // namespace

// Asks for the stopping criterion of the fit (default 0.001, at least 1e-08),
// the chance probability of a correct localization per target distribution
// (0.0 to 1.0; each accepted value is the next target's default) and lets the
// user raise NOLOC up to the number of categories.
FitSettings ask_fit_settings(const Study& study)
{
    constexpr double min_crit = 1e-08;
    const int ntarget = study.targets;
    char answer[answer_cap];
    char text[160];
    FitSettings settings;

    prompt("Input parameters of fitting procedure\n");

    prompt("Stopping criterion (0.001 default): ");
    read_answer(answer, answer_cap);
    double crit;
    if (leading_real(answer, crit))
        settings.criterion = crit;
    if (settings.criterion < min_crit)
        settings.criterion = min_crit;

    auto q_of = [&](int t) -> double& { return settings.chance[t - 1]; };
    prompt("Do you want to enter Chance-CL parmeters?(y=yes): ");
    read_answer(answer, answer_cap);
    if (answer_is_yes(answer)) {
        for (int t = 1; t <= ntarget;) {
            std::snprintf(text, sizeof text, "Chance CL [%d] (%4.2lf default): ", t, q_of(t));
            prompt(text);
            read_answer(answer, answer_cap);
            double q = q_of(t);
            leading_real(answer, q);
            if (q < 0.0 || q > 1.0) {
                prompt("Must be 0.0 to 1.0\n");
                continue;
            }
            q_of(t) = q;
            if (t < ntarget)
                q_of(t + 1) = q;
            ++t;
        }
    }

    const int ncat = study.categories;
    const int noloc = study.noloc;
    if (ncat == noloc) {
        prompt("\nProcedure will fit ROC data (no categories have localization data)\n");
        return settings;
    }
    std::snprintf(text, sizeof text, "\nData has %d categor%s without localization.\n", noloc,
                  noloc == 1 ? "y" : "ies");
    prompt(text);
    std::snprintf(text, sizeof text,
                  "To change this, enter a number between %d and %d (%d default):", noloc, ncat,
                  noloc);
    prompt(text);
    read_answer(answer, answer_cap);
    int n;
    if (leading_int(answer, n) && n > noloc && n <= ncat)
        settings.noloc = n;
    return settings;
}

}  // namespace varnel::console
