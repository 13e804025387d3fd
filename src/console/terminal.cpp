// Console prompts and answer lines.
#include "console/terminal.h"

#include <cstdio>

namespace varnel::console {

void prompt(const char* text)
{
    std::fputs(text, stdout);
    std::fflush(stdout);
}

int read_answer(char* buf, int cap)
{
    std::fflush(stdout);
    int n = 0;
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
        if (n < cap - 1)
            buf[n++] = static_cast<char>(c);
    }
    if (n > 0 && buf[n - 1] == '\r')
        --n;
    if (cap > 0)
        buf[n] = '\0';
    return n;
}

}  // namespace varnel::console
