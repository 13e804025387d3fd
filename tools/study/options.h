// Options shared by the subcommands of varnel-study: binning, fit settings,
// threads.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "varnel/binning.h"
#include "varnel/error.h"
#include "varnel/fit_study.h"

namespace varnel::study::cli {

// "1.5, 2.5,3.5" (blanks around the numbers allowed) as numbers; `option`
// names the option in messages and `what` what to give ("numbers").
Expected<std::vector<double>> parse_number_list(const std::string& text, const std::string& option,
                                                const std::string& what);

// --cutpoints, --categories and --binning.
struct BinningArguments {
    std::string cutpoints;
    int categories = BinningOptions{}.categories;
    std::string scope = "study";

    void add_to(CLI::App& command);
    Expected<BinningOptions> options() const;
};

// --criterion, --chance and --noloc: the answers of the console dialogue.
struct FitArguments {
    double criterion = TableFitOptions{}.criterion;
    std::string chance;
    int noloc = 0;

    void add_to(CLI::App& command);
    // The options with the chance values as numbers; the library checks
    // them against the study's target classes.
    Expected<TableFitOptions> options() const;
};

// The message of a library error as the command prints it: the settings
// named by their options ("--chance: ...").
std::string message_of(const Error& error);

// -j: threads, by default one per core.
int default_threads();

// SIGINT and SIGTERM set this flag (the commands pass it to the library as
// the cancellation flag); a second signal ends the program at once.
void catch_interrupts();
const std::atomic<bool>& interrupted();
// The exit status after an interrupt: 128 + the signal's number.
int interrupted_status();

// A progress bar on standard error (a terminal only), shown once the work
// takes a while; called with the numbers of steps done and in all.
class Progress {
public:
    Progress(bool wanted, const char* what);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    ~Progress();
    void operator()(int done, int total);

private:
    bool shown_;
    bool drawn_ = false;
    const char* what_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace varnel::study::cli
