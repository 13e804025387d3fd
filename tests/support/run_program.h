// Runs the built program as a user would: arguments, a working directory and
// the whole standard input given; standard output, standard error and the
// exit status captured.
#pragma once

#include <string>
#include <vector>

#include "support/temp_dir.h"

struct program_result {
    int status = -1;    // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// args excludes the program name; argv[0] is the program's path.  The program
// is killed after timeout_seconds.
program_result run_program(const std::vector<std::string>& args, const std::string& stdin_text,
                           const std::string& cwd, int timeout_seconds = 300);

// The built program and the source tree.
const char* varnel_exe();
std::string source_file(const std::string& relative);
