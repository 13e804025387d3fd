// Opening the data file, the reader's first step: the console dialogue for a
// missing or wrong name with scripted standard input, the open fault, and the
// identity recorded for the data-protection checks.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "console/run.h"
#include "support/child_run.h"

using namespace varnel::console;

namespace {

const std::string prompt = "Enter file name: ";
const std::string missing = "File does not exist -- re-enter or press return to exit\n";

// Opens the blank-padded name in a child with the given answers; on success
// the child writes the file's first line to standard error.
child_result open_with(const std::string& name, const std::string& answers, const std::string& cwd)
{
    return run_in_child(
        [&] {
            if (chdir(cwd.c_str()) != 0)
                return 99;
            std::string field = name + std::string(256 - name.size(), ' ');
            std::FILE* f = open_data_file(field.c_str());
            char line[100] = "";
            if (std::fgets(line, sizeof line, f) == nullptr)
                return 98;
            std::fprintf(stderr, "%s", line);
            struct stat st;
            if (stat("data.lrc", &st) == 0 && run_files.input.known &&
                run_files.input.dev == static_cast<unsigned long long>(st.st_dev) &&
                run_files.input.ino == static_cast<unsigned long long>(st.st_ino))
                std::fprintf(stderr, "identity recorded\n");
            return 0;
        },
        answers);
}

TEST(OpenDataFile, PromptFlow)
{
    temp_dir dir;
    dir.write("data.lrc", "LROCDATA first line\n");
    struct flow {
        const char* what;
        std::string name, answers;
        int status;
        std::string out;
    };
    const std::vector<flow> cases = {
        {"given name opens without a question", "data.lrc", "", 0, ""},
        {"no name, end of input", "", "", 1, prompt},
        {"no name, empty answer", "", "\n", 1, prompt},
        {"no name, then the right name", "", "data.lrc\n", 0, prompt},
        {"wrong name, then empty", "nothere.lrc", "\n", 1, missing + prompt},
        {"wrong name twice, then right", "nothere.lrc", "other.lrc\ndata.lrc\n", 0,
         missing + prompt + missing + prompt},
        {"CRLF answer", "", "data.lrc\r\n", 0, prompt},
        // The rest of an over-long answer is discarded, not taken as the next
        // answer: one "does not exist", then the empty answer ends the run.
        {"over-long answer", "", std::string(300, 'x') + "\n\n", 1, prompt + missing + prompt},
    };
    for (const flow& c : cases) {
        child_result r = open_with(c.name, c.answers, dir.path);
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(r.out, c.out) << c.what;
        if (c.status == 0)
            EXPECT_EQ(r.err, "LROCDATA first line\nidentity recorded\n") << c.what;
        else
            EXPECT_EQ(r.err, "") << c.what;
    }
}

TEST(OpenDataFile, UnreadableFileIsReportedWithTheSystemReason)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    temp_dir dir;
    dir.write("data.lrc", "LROCDATA\n");
    chmod(dir.file("data.lrc").c_str(), 0);
    child_result r = open_with("data.lrc", "", dir.path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error opening input file: Permission denied\n");
}

}  // namespace
