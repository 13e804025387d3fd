// Options shared by the subcommands of varnel-study, and the interrupt flag.
#include "options.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>
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

Expected<std::vector<double>> parse_number_list(const std::string& text, const std::string& option,
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
            return input_error(option + ": \"" + std::string(item) +
                               "\" is not a number; give " + what + " separated by commas");
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
    command
        .add_option("--binning", scope,
                    "study: one set of categories from all ratings; reader: each reader's own "
                    "from that reader's ratings in every modality (readers on different rating "
                    "scales)")
        ->capture_default_str();
}

Expected<BinningOptions> BinningArguments::options() const
{
    Expected<std::vector<double>> c =
        parse_number_list(cutpoints, "--cutpoints", "increasing numbers");
    if (!c)
        return c.error();
    if (scope != "study" && scope != "reader")
        return input_error("--binning: \"" + scope + "\" is not study or reader");
    return BinningOptions{*c, categories,
                          scope == "reader" ? BinningScope::reader : BinningScope::study};
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

Expected<TableFitOptions> FitArguments::options() const
{
    Expected<std::vector<double>> q = parse_number_list(chance, "--chance", "numbers");
    if (!q)
        return q.error();
    return TableFitOptions{criterion, std::move(*q), noloc};
}

std::string message_of(const Error& error)
{
    return error.kind == ErrorKind::bad_settings ? "--" + error.message : error.message;
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

namespace {

std::atomic<bool> interrupt_flag{false};
volatile std::sig_atomic_t interrupt_signal = 0;

// Only async-signal-safe work: a lock-free store and the signal's number.
extern "C" void on_interrupt(int signal)
{
    interrupt_signal = signal;
    interrupt_flag.store(true);
}

}  // namespace

// A signal ignored when the program starts (a background job of a script,
// nohup) stays ignored.
void catch_interrupts()
{
    static_assert(std::atomic<bool>::is_always_lock_free);
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // a second signal is not caught
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction before {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
}

const std::atomic<bool>& interrupted() { return interrupt_flag; }

int interrupted_status() { return 128 + static_cast<int>(interrupt_signal); }

}  // namespace varnel::study::cli
