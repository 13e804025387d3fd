// Runs a piece of code in a forked child process with scripted standard
// input, capturing its standard output, standard error and exit status.
// Code that ends the process (exit) is tested this way, and state kept for
// the life of a program starts afresh in each child.  Header-only, so that
// test programs of other subsystems can include it too.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "support/temp_dir.h"

struct child_result {
    int status = -1;    // exit status; -1 when the child did not exit normally
    std::string out;    // standard output
    std::string err;    // standard error
};

// Runs body in a child; its return value is the exit status unless it exits
// by itself.  stdin_text is the child's whole standard input.
inline child_result run_in_child(const std::function<int()>& body, const std::string& stdin_text = "")
{
    temp_dir tmp;
    const std::string in = tmp.write("stdin.txt", stdin_text);
    const std::string out = tmp.file("stdout.txt");
    const std::string err = tmp.file("stderr.txt");
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        alarm(60);
        int fi = open(in.c_str(), O_RDONLY);
        int fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int fe = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fi < 0 || fo < 0 || fe < 0)
            _exit(127);
        dup2(fi, 0);
        dup2(fo, 1);
        dup2(fe, 2);
        std::clearerr(stdin);
        int rc = body();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(rc);
    }
    child_result r;
    int ws = 0;
    if (pid > 0 && waitpid(pid, &ws, 0) == pid && WIFEXITED(ws))
        r.status = WEXITSTATUS(ws);
    r.out = read_file(out);
    r.err = read_file(err);
    return r;
}
