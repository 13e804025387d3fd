// Console capture for dialogue and echo tests: file descriptors 0 and 1 are
// pointed at temporary files for the duration of the body.
#include "console_capture.h"

#include <cstdio>
#include <stdexcept>
#include <stdio_ext.h>
#include <unistd.h>

namespace {

std::string slurp(std::FILE* f)
{
    std::string text;
    std::rewind(f);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    return text;
}

}  // namespace

std::string run_with_console(const std::string& answers, const std::function<void()>& body)
{
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    if (in == nullptr || out == nullptr)
        throw std::runtime_error("no temporary file for the console");
    std::fwrite(answers.data(), 1, answers.size(), in);
    std::fflush(in);

    std::fflush(stdout);
    const int saved_in = dup(0);
    const int saved_out = dup(1);
    dup2(fileno(in), 0);
    dup2(fileno(out), 1);
    __fpurge(stdin);
    clearerr(stdin);
    lseek(0, 0, SEEK_SET);

    body();

    std::fflush(stdout);
    dup2(saved_out, 1);
    dup2(saved_in, 0);
    close(saved_out);
    close(saved_in);
    __fpurge(stdin);
    clearerr(stdin);

    std::string text = slurp(out);
    std::fclose(in);
    std::fclose(out);
    return text;
}
