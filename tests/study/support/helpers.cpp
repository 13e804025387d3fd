// Test helpers for the reader-study tests.
#include "support/helpers.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <gtest/gtest.h>

#include "varnel/cases.h"

namespace study_test {

namespace fs = std::filesystem;

constexpr unsigned run_timeout_seconds = 120;

// clang-format off
const char* const two_reader_lroc_csv =
    "reader,modality,case,truth,rating,localized\n"
    "R1,A,n1,0,1,\n" "R1,A,n2,0,2,\n" "R1,A,t1,1,2,\n" "R1,A,t2,2,4,1\n" "R1,A,t3,1,5,0\n"
    "R1,B,n1,0,3,\n" "R1,B,n2,0,1,\n" "R1,B,t1,1,5,1\n" "R1,B,t2,2,5,0\n" "R1,B,t3,1,1,\n"
    "R2,A,n1,0,1,\n" "R2,A,n2,0,1,\n" "R2,A,t1,1,3,\n" "R2,A,t2,2,4,\n"  "R2,A,t3,1,5,\n"
    "R2,B,n1,0,4,\n" "R2,B,n2,0,5,\n" "R2,B,t1,1,1,1\n" "R2,B,t2,2,2,1\n" "R2,B,t3,1,3,0\n";
// clang-format on

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "varnel-study-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path TempDir::write(const std::string& name, const std::string& bytes) const
{
    const fs::path p = path_ / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
}

std::vector<std::string> TempDir::entries() const
{
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(path_))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string read_text(const fs::path& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

pid_t start(const std::string& program, const std::vector<std::string>& args, const fs::path& cwd,
            const fs::path& out, const fs::path& err, const std::string& in)
{
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        alarm(run_timeout_seconds);
        const int in_fd = open(in.c_str(), O_RDONLY);
        const int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in_fd < 0 || out_fd < 0 || err_fd < 0 || chdir(cwd.c_str()) != 0)
            _exit(127);
        dup2(in_fd, 0);
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int wait_for_exit(pid_t pid)
{
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        return WEXITSTATUS(status);
    return -1;
}

RunResult run(const std::string& program, const std::vector<std::string>& args, const fs::path& cwd,
              const std::string* input)
{
    TempDir io;
    const fs::path out = io.path() / "out", err = io.path() / "err";
    const std::string in = input ? io.write("in", *input).string() : std::string("/dev/null");
    RunResult r;
    r.status = wait_for_exit(start(program, args, cwd, out, err, in));
    r.out = read_text(out);
    r.err = read_text(err);
    return r;
}

varnel::study::CaseStudy study_from(const std::string& csv)
{
    auto study = varnel::study::parse_cases(csv, "t.csv");
    EXPECT_TRUE(study.ok()) << (study.ok() ? "" : study.error().message);
    return study.ok() ? *study : varnel::study::CaseStudy{};
}

void expect_same_study(const varnel::study::CaseStudy& a, const varnel::study::CaseStudy& b)
{
    EXPECT_EQ(a.readers, b.readers);
    EXPECT_EQ(a.modalities, b.modalities);
    EXPECT_EQ(a.cases, b.cases);
    EXPECT_EQ(a.truth, b.truth);
    EXPECT_EQ(a.has_localization, b.has_localization);
    ASSERT_EQ(a.readings.size(), b.readings.size());
    for (std::size_t i = 0; i < a.readings.size(); ++i) {
        const varnel::study::Reading &x = a.readings[i], &y = b.readings[i];
        EXPECT_EQ(x.reader, y.reader) << i;
        EXPECT_EQ(x.modality, y.modality) << i;
        EXPECT_EQ(x.case_index, y.case_index) << i;
        EXPECT_EQ(x.rating, y.rating) << i;
        EXPECT_EQ(x.localization, y.localization) << i;
    }
}

}  // namespace study_test
