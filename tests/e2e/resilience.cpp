// Bad-input resilience: a seeded, bounded batch of data files mutated from the
// shipped examples, each run with random console answers.  Whatever the input,
// the program must end by itself, by exit status 0, 1 or 2 (never a signal),
// with no sanitizer report, with a message for every non-zero status, and
// without touching its data file.
#include <gtest/gtest.h>

#include <cctype>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace {

constexpr int cases = 300;
constexpr int seconds_per_run = 240;

std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string cur;
    for (char c : text) {
        cur += c;
        if (c == '\n') {
            lines.push_back(cur);
            cur.clear();
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

std::string join(const std::vector<std::string>& lines)
{
    std::string s;
    for (const std::string& l : lines) s += l;
    return s;
}

// One random change to a data file's text.
std::string mutate(std::string text, std::mt19937_64& g)
{
    auto pick = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(g() % n); };
    std::vector<std::string> lines = split_lines(text);
    switch (g() % 11) {
    case 0:  // flip a byte
        if (!text.empty()) text[pick(text.size())] ^= static_cast<char>(1 + g() % 255);
        return text;
    case 1:  // cut a line short
        if (!lines.empty()) {
            std::string& l = lines[pick(lines.size())];
            l = l.substr(0, pick(l.size())) + "\r\n";
        }
        return join(lines);
    case 2:  // duplicate a line
        if (!lines.empty()) {
            std::size_t i = pick(lines.size());
            lines.insert(lines.begin() + static_cast<long>(i), lines[i]);
        }
        return join(lines);
    case 3:  // drop a line
        if (!lines.empty()) lines.erase(lines.begin() + static_cast<long>(pick(lines.size())));
        return join(lines);
    case 4: {  // a number made huge, negative or not a number
        static const char* repl[] = {"99999999999", "2147483647", "-5", "abc", "4294967296",
                                     "0", "1e9", "-2147483648", "18", "16", "99"};
        std::vector<std::size_t> digits;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (std::isdigit(static_cast<unsigned char>(text[i])) &&
                (i == 0 || !std::isdigit(static_cast<unsigned char>(text[i - 1]))))
                digits.push_back(i);
        if (digits.empty()) return text;
        std::size_t at = digits[pick(digits.size())];
        std::size_t end = at;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
        return text.substr(0, at) + repl[pick(std::size(repl))] + text.substr(end);
    }
    case 5:  // line ends mixed: CRLF, LF and lone CR
        for (std::string& l : lines) {
            if (l.size() >= 2 && l[l.size() - 2] == '\r' && g() % 3 == 0)
                l.erase(l.size() - 2, 1);
            else if (!l.empty() && l.back() == '\n' && g() % 7 == 0)
                l.back() = '\r';
        }
        return join(lines);
    case 6:  // empty file
        return std::string();
    case 7: {  // binary junk
        std::string junk(1 + pick(400), '\0');
        for (char& c : junk) c = static_cast<char>(g() % 256);
        return junk;
    }
    case 8:  // truncated at a random byte
        return text.substr(0, pick(text.size() + 1));
    case 9: {  // a very long line
        std::string l(150 + pick(400), 'x');
        lines.insert(lines.begin() + static_cast<long>(pick(lines.size() + 1)), l + "\r\n");
        return join(lines);
    }
    default: {  // a zero column: empty categories and empty distributions
        for (std::string& l : lines)
            if (l.size() > 20 && g() % 2 == 0)
                for (std::size_t i = 17; i < l.size(); ++i)
                    if (std::isdigit(static_cast<unsigned char>(l[i]))) l[i] = '0';
        return join(lines);
    }
    }
}

std::string random_answers(std::mt19937_64& g, bool name_first, const std::string& data_name)
{
    static const char* pool[] = {"",     "",     "",      "y",    "Y",      " yes", "n",
                                 "abc",  "0",    "-5",    "1e-9", "1e308",  "-1e400",
                                 "nan",  "inf",  "0.25",  "1.5",  "1",      "7",
                                 "3",    "99999999999999", "report.txt", "  2  ", "\t0.5", "data.lrc", "./data.lrc"};
    std::string s;
    if (name_first) s += (g() % 4 == 0 ? std::string() : data_name) + "\n";
    int n = static_cast<int>(g() % 25);
    for (int i = 0; i < n; ++i) {
        if (g() % 20 == 0)
            s += std::string(3000 + g() % 5000, static_cast<char>('0' + g() % 10));
        else
            s += pool[g() % std::size(pool)];
        s += "\n";
    }
    if (g() % 5 == 0 && !s.empty()) s.pop_back();  // last answer without line end
    return s;
}

std::string tail(const std::string& text)
{
    std::size_t end = text.find_last_not_of('\n');
    if (end == std::string::npos) return std::string();
    std::size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start == std::string::npos ? 0 : start + 1));
}

// A run that fails says why: a diagnostic on standard error, or one of the
// program's stop messages as the last console output, or the input-file
// prompt that the user left with an empty answer.
bool ends_with_a_message(const program_result& r)
{
    if (!r.err.empty()) return true;
    static const char* stops[] = {"Input file has errors (", "There are less than two non-empty categories",
                                  "has no cases", "Too many steps in Romberg integration",
                                  "polint error", "Enter file name: "};
    const std::string last = tail(r.out);
    for (const char* s : stops)
        if (last.find(s) != std::string::npos) return true;
    return false;
}

bool has_sanitizer_report(const std::string& err)
{
    return err.find("Sanitizer") != std::string::npos ||
           err.find("runtime error") != std::string::npos;
}

}  // namespace

TEST(Resilience, MutatedFilesAndRandomAnswersEndCleanly)
{
    // Small studies most of the time; the full-capacity file now and then,
    // since each of its fits costs far more than the others.
    const std::vector<std::pair<std::string, int>> sources = {
        {"reader_a.lrc", 30},       {"reader_a_lf.lrc", 10}, {"two_targets_chance.lrc", 20},
        {"roc_only.lrc", 12},       {"two_categories.lrc", 12}, {"ten_targets.lrc", 12},
        {"full_capacity.lrc", 4}};
    int total_weight = 0;
    for (const auto& s : sources) total_weight += s.second;

    std::mt19937_64 g(20261207);

    int counts[3] = {0, 0, 0};
    for (int c = 0; c < cases; ++c) {
        int w = static_cast<int>(g() % total_weight);
        std::string name;
        for (const auto& s : sources) {
            if (w < s.second) {
                name = s.first;
                break;
            }
            w -= s.second;
        }
        std::string text = read_file(source_file("examples/" + name));
        int changes = static_cast<int>(g() % 3);  // 0 changes: a clean file with random answers
        for (int k = 0; k < changes; ++k) text = mutate(text, g);
        temp_dir dir;
        dir.write("data.lrc", text);

        bool name_first = g() % 8 == 0;
        std::vector<std::string> args;
        if (!name_first) args.push_back("data.lrc");
        std::string answers = random_answers(g, name_first, "data.lrc");
        program_result r = run_program(args, answers, dir.path, seconds_per_run);

        SCOPED_TRACE("case " + std::to_string(c) + " from " + name + ", answers: " +
                     answers.substr(0, 200));
        // A run killed by a signal, or by the time bound, has no exit status (-1).
        ASSERT_TRUE(r.status == 0 || r.status == 1 || r.status == 2)
            << "exit status " << r.status << " (-1: a signal or more than " << seconds_per_run
            << " s)\n" << r.err;
        ASSERT_FALSE(has_sanitizer_report(r.err)) << r.err;
        if (r.status != 0) {
            ASSERT_TRUE(ends_with_a_message(r)) << "status " << r.status << " without a message:\n"
                                                << tail(r.out) << "\n" << r.err;
        }
        ASSERT_EQ(text, read_file(dir.file("data.lrc"))) << "the data file was modified";
        ++counts[r.status];
    }
    std::printf("exit status 0: %d runs, 1: %d runs, 2: %d runs\n", counts[0], counts[1], counts[2]);
    // The batch must reach the fit and reports, not only the reader's faults.
    EXPECT_GT(counts[0], cases / 10);
    EXPECT_GT(counts[1], cases / 10);
}

TEST(Resilience, EndOfInputTakesEveryDefault)
{
    // With standard input at its end every answer is the default: the run
    // completes on a valid file, and without a file name ends with status 1.
    temp_dir dir;
    dir.write("data.lrc", read_file(source_file("examples/reader_a.lrc")));
    program_result with_file = run_program({"data.lrc"}, "", dir.path);
    EXPECT_EQ(0, with_file.status) << with_file.err;
    EXPECT_NE(std::string::npos, with_file.out.find("Procedure has estimates of model parameters"));
    EXPECT_NE(std::string::npos, with_file.out.find("Do you wish a file of this data? (y=yes):"));

    program_result without = run_program({}, "", dir.path);
    EXPECT_EQ(1, without.status);
    EXPECT_EQ("Enter file name: ", without.out);
}
