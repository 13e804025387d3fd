// Test helpers: temporary folders, files, running a built program, and small
// studies made from CSV text.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "varnel/cases.h"

namespace study_test {

// A fresh temporary folder, removed with its content at the end of its scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes bytes to `name` in the folder; its path.
    std::filesystem::path write(const std::string& name, const std::string& bytes) const;
    // Names of the entries of the folder, sorted.
    std::vector<std::string> entries() const;

private:
    std::filesystem::path path_;
};

std::string read_text(const std::filesystem::path& path);

struct RunResult {
    int status = -1;  // exit status; -1 when the program did not exit normally
    std::string out, err;
};

// Starts `program` with `args` in folder `cwd` without waiting for it,
// standard output and error into the files `out` and `err`, standard input
// from the file `in`; its process id.
pid_t start(const std::string& program, const std::vector<std::string>& args,
            const std::filesystem::path& cwd, const std::filesystem::path& out,
            const std::filesystem::path& err, const std::string& in = "/dev/null");

// Waits for a started program; its exit status, -1 when it did not exit
// normally.
int wait_for_exit(pid_t pid);

// Runs `program` with `args` in folder `cwd`, standard input from /dev/null
// (or the given text), standard output and error captured.
RunResult run(const std::string& program, const std::vector<std::string>& args,
              const std::filesystem::path& cwd, const std::string* input = nullptr);

// Two readers, two modalities, five cases (two target classes), ratings 1 to
// 5: each reader and modality has its own extent of target ratings without
// localization (NOLOC 2, 1, 5 and 0 with one category per rating).
extern const char* const two_reader_lroc_csv;

// The study in CSV text; the test fails (and the study is empty) when it does
// not parse.
varnel::study::CaseStudy study_from(const std::string& csv);

// Expects the same readers, modalities, cases, truths and readings (all but
// the source and the numbering of the readings).
void expect_same_study(const varnel::study::CaseStudy& a, const varnel::study::CaseStudy& b);

}  // namespace study_test
