// Helpers shared by the tests of the numerical primitives.
#pragma once

#include <cstdio>
#include <unistd.h>

#include "support/alloc_count.h"

// Inside a death-test statement: sends standard output to standard error, so
// that the one-line console message of a stop can be matched.
inline void console_to_stderr()
{
    std::fflush(stdout);
    dup2(STDERR_FILENO, STDOUT_FILENO);
}
