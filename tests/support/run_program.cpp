// Subprocess runner for the end-to-end tests.
#include "support/run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

program_result run_program(const std::vector<std::string>& args, const std::string& stdin_text,
                           const std::string& cwd, int timeout_seconds)
{
    temp_dir io;
    const std::string in = io.write("stdin.txt", stdin_text);
    const std::string out = io.file("stdout.txt");
    const std::string err = io.file("stderr.txt");
    std::vector<std::string> words{varnel_exe()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    pid_t pid = fork();
    if (pid == 0) {
        alarm(timeout_seconds);
        int fi = open(in.c_str(), O_RDONLY);
        int fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int fe = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fi < 0 || fo < 0 || fe < 0 || chdir(cwd.c_str()) != 0)
            _exit(127);
        dup2(fi, 0);
        dup2(fo, 1);
        dup2(fe, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    program_result r;
    int ws = 0;
    if (pid > 0 && waitpid(pid, &ws, 0) == pid && WIFEXITED(ws))
        r.status = WEXITSTATUS(ws);
    r.out = read_file(out);
    r.err = read_file(err);
    return r;
}

const char* varnel_exe() { return VARNEL_EXE; }

std::string source_file(const std::string& relative)
{
    return std::string(VARNEL_SOURCE_DIR) + "/" + relative;
}
