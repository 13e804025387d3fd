// Options shared by the subcommands of varnel-study.
#include "options.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string_view>
#include <thread>

#include "study/numbers.h"

namespace varnel::study::cli {

namespace {

// The text without leading and trailing spaces and tabs.
std::string_view without_blanks(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view()
                                           : s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

Result<std::vector<double>> parse_number_list(const std::string& text, const std::string& option,
                                              const std::string& what)
{
    std::vector<double> values;
    if (text.empty())
        return values;
    std::string_view rest = text;
    for (;;) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = without_blanks(rest.substr(0, comma));
        const std::optional<double> value = parse_number(item);
        if (!value)
            return Error{option + ": \"" + std::string(item) +
                         "\" is not a number; give " + what + " separated by commas"};
        values.push_back(*value);
        if (comma == std::string_view::npos)
            return values;
        rest.remove_prefix(comma + 1);
    }
}

void BinningArguments::add_to(CLI::App& command)
{
    command.add_option("--cutpoints", cutpoints,
                       "upper bounds of the rating categories c1,c2,... (increasing, at most 16)");
    command
        .add_option("--categories", categories,
                    "categories from the rating quantiles (2 to 17), used when there are more "
                    "than 17 distinct ratings")
        ->capture_default_str();
}

Result<BinningOptions> BinningArguments::options() const
{
    Result<std::vector<double>> c = parse_number_list(cutpoints, "--cutpoints", "increasing numbers");
    if (!c)
        return Error{c.error()};
    return BinningOptions{*c, categories};
}

void FitArguments::add_to(CLI::App& command)
{
    command.add_option("--criterion", criterion, "stopping criterion of the fit (at least 1e-8)")
        ->capture_default_str();
    command.add_option("--chance", chance,
                       "chance of a correct localization by luck: one value q for every target "
                       "class, or q1,q2,... one per class (0 to 1; default 0)");
    command.add_option("--noloc", noloc,
                       "raise the number of lowest categories without localization to N (as the "
                       "console dialogue does: ignored unless above a table's own and at most its "
                       "number of categories)");
}

Result<FitSettings> FitArguments::settings(int target_classes) const
{
    constexpr double min_criterion = 1e-8;
    FitSettings s;
    if (!std::isfinite(criterion) || criterion < min_criterion)
        return Error{"--criterion must be a number of at least 1e-8"};
    s.criterion = criterion;
    s.noloc = noloc;
    Result<std::vector<double>> q = parse_number_list(chance, "--chance", "numbers");
    if (!q)
        return Error{q.error()};
    if (q->size() > 1 && static_cast<int>(q->size()) != target_classes)
        return Error{"--chance: " + std::to_string(q->size()) + " values for " +
                     std::to_string(target_classes) +
                     " target classes; give one value, or one per class"};
    for (std::size_t i = 0; i < q->size(); ++i)
        if (!((*q)[i] >= 0.0 && (*q)[i] <= 1.0))
            return Error{"--chance: " + exact_number((*q)[i]) + " is not between 0 and 1"};
    if (q->size() == 1)
        s.chance.fill((*q)[0]);
    else
        for (std::size_t i = 0; i < q->size(); ++i)
            s.chance[i] = (*q)[i];
    return s;
}

Progress::Progress(bool wanted, const char* what)
    : shown_(wanted && isatty(2) != 0), what_(what), start_(std::chrono::steady_clock::now())
{}

void Progress::operator()(int done, int total)
{
    constexpr auto delay = std::chrono::milliseconds(500);
    constexpr int width = 40;
    if (!shown_ || std::chrono::steady_clock::now() - start_ < delay)
        return;
    const int filled = total ? width * done / total : width;
    std::fprintf(stderr, "\r%s [%s%s] %d/%d", what_, std::string(filled, '=').c_str(),
                 std::string(width - filled, ' ').c_str(), done, total);
    std::fflush(stderr);
    drawn_ = true;
}

Progress::~Progress()
{
    if (drawn_)
        std::fputs("\r\033[K", stderr);
}

int default_threads()
{
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

}  // namespace varnel::study::cli
