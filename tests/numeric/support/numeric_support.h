// Helpers shared by the tests of the numerical primitives.
#pragma once

#include <cstdio>
#include <unistd.h>

// Heap allocations (operator new) made by this thread since the program
// started; compare before and after a call to show it allocates nothing.
long allocation_count();

// Inside a death-test statement: sends standard output to standard error, so
// that the one-line console message of a stop can be matched.
inline void console_to_stderr()
{
    std::fflush(stdout);
    dup2(STDERR_FILENO, STDOUT_FILENO);
}
