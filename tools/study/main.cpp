// varnel-study: LROC reader studies (readers, modalities, cases) from per-case
// ratings.  Exit status 0 on success, 1 for bad input or options, 2 when a
// table could not be fitted, 130 (143) after SIGINT (SIGTERM).
#include <cstdio>
#include <vector>

#include "commands.h"
#include "options.h"

namespace varnel::study::cli {

// Messages on standard error begin with the program's name.
int fail(const std::string& message)
{
    std::fprintf(stderr, "varnel-study: %s\n", message.c_str());
    return 1;
}

int fail(const Error& error)
{
    if (error.kind == ErrorKind::cancelled)
        return interrupted_status();
    std::fprintf(stderr, "varnel-study: %s\n", message_of(error).c_str());
    return error.status;
}

}  // namespace varnel::study::cli

// Parses the command line and runs the subcommand it names.
int main(int argc, char** argv)
{
    namespace cli = varnel::study::cli;
    CLI::App program{"Reader studies for varnel from per-case ratings.", "varnel-study"};
    program.require_subcommand(1);
    const std::vector<cli::Command> commands{cli::add_bin_command(program),
                                             cli::add_fit_command(program),
                                             cli::add_compare_command(program),
                                             cli::add_power_command(program)};
    try {
        program.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success))
            return program.exit(e);  // --help
        return cli::fail(std::string(e.what()) + "; run varnel-study --help");
    }
    cli::catch_interrupts();
    for (const cli::Command& command : commands)
        if (command.app->parsed())
            return command.run();
    return cli::fail("name a command; run varnel-study --help");
}
