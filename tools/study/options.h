// Options shared by the subcommands of varnel-study: binning, fit settings,
// threads.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "study/binning.h"
#include "study/result.h"
#include "varnel/fit.h"

namespace varnel::study::cli {

// "1.5, 2.5,3.5" (blanks around the numbers allowed) as numbers; `option`
// names the option in messages and `what` what to give ("numbers").
Result<std::vector<double>> parse_number_list(const std::string& text, const std::string& option,
                                              const std::string& what);

// --cutpoints and --categories.
struct BinningArguments {
    std::string cutpoints;
    int categories = BinningOptions{}.categories;

    void add_to(CLI::App& command);
    Result<BinningOptions> options() const;
};

// --criterion, --chance and --noloc: the answers of the console dialogue.
struct FitArguments {
    double criterion = FitSettings{}.criterion;
    std::string chance;
    int noloc = 0;

    void add_to(CLI::App& command);
    // The settings for a study with `target_classes` target classes: one
    // chance value for every class, or one per class.
    Result<FitSettings> settings(int target_classes) const;
};

// -j: threads, by default one per core.
int default_threads();

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
