// Subcommands of varnel-study: each adds its CLI11 definition to the program
// and returns what runs it once the command line has been parsed.
#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

#include "varnel/error.h"

namespace varnel::study::cli {

struct Command {
    CLI::App* app = nullptr;   // the subcommand's definition
    std::function<int()> run;  // runs it; the exit status
};

// Prints "varnel-study: <message>" on standard error; the exit status 1.
int fail(const std::string& message);
// The same for a library error (settings named by their options); its exit
// status, or the interrupt's for a cancelled call (which prints nothing).
int fail(const Error& error);

// bin CASES.csv --out DIR [--cutpoints c1,...] [--categories N]
Command add_bin_command(CLI::App& program);
// fit INPUT... [binning options] [--criterion X] [--chance q,...] [--noloc N]
//     [-j N] [--format csv|json] [--out DIR] [--quiet]
Command add_fit_command(CLI::App& program);
// compare CASES.csv --fom F [--reference READER] [--target t] [--alpha A]
//     [--margin d] [binning and fit options] [-j N] [--format text|json]
//     [--jackknife FILE] [--plot DIR]
Command add_compare_command(CLI::App& program);
// power [PILOT.csv --fom F [compare's options] | --var ... --pilot-cases K]
//     --readers J,... (--cases K,... | --power P) [--modalities T] [--alpha A]
//     [--effect d] [--format text|csv|json] [--plot FILE.svg] [-j N] [--quiet]
Command add_power_command(CLI::App& program);

}  // namespace varnel::study::cli
