// Rating data file reader: the example study in both line-end styles, every
// error number with a minimal file, capacity and count checks, and the
// reading rules for keywords, labels, single counts and long lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "varnel/study.h"

namespace {

using varnel::ErrorKind;
using varnel::Expected;
using varnel::Study;

// What a read returned, and anything it printed (the reader prints nothing).
struct read_result {
    Expected<Study> study;
    std::string printed;
};

read_result read_with_capture(const std::function<Expected<Study>()>& read)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Expected<Study> study = read();
    std::string printed = testing::internal::GetCapturedStdout();
    printed += testing::internal::GetCapturedStderr();
    return {std::move(study), printed};
}

read_result read_path(const std::string& path)
{
    return read_with_capture([&] { return varnel::read_study(path); });
}

// Reads content from an unnamed temporary file, as the console program reads
// the stream it opened.
read_result read_text(const std::string& content)
{
    std::FILE* f = std::tmpfile();
    if (f == nullptr)
        return {varnel::Error{ErrorKind::open_failed, 0, "no temporary file"}, ""};
    std::fwrite(content.data(), 1, content.size(), f);
    std::rewind(f);
    read_result r = read_with_capture([&] { return varnel::read_study(f); });
    std::fclose(f);
    return r;
}

// Why a read failed, for the messages of failed assertions.
std::string failure(const read_result& r)
{
    return r.study.ok() ? std::string("read") : r.study.error().message;
}

// Counts of input distribution m (1 the non-target) in categories 1..ncat.
std::vector<int> column(const varnel::CountTable& t, int m, int ncat)
{
    std::vector<int> v;
    for (int i = 1; i <= ncat; ++i)
        v.push_back(t(i, m));
    return v;
}

// Lines joined with the given line end.
std::string join(const std::vector<std::string>& lines, const std::string& eol = "\n")
{
    std::string s;
    for (const std::string& l : lines)
        s += l + eol;
    return s;
}

std::string field(const std::string& text, size_t len) { return text + std::string(len - text.size(), ' '); }

// A table row: label in columns 2 to 17, counts from column 18.
std::string row(const std::string& label, const std::string& counts)
{
    return " " + field(label, 16) + counts;
}

// A small valid study (one target, three categories, NOLOC 1) as lines, for
// the fault cases to alter one line at a time.
std::vector<std::string> base_lines()
{
    return {"LROCDATA",
            "OBSERVER: Reader A",
            "CONDITION: Baseline",
            "REPLICATION: 1",
            "NDIST: 1",
            "NCAT: 3",
            "NOLOC: 1",
            "Non-target distribution",
            " 1                  40",
            " 2                  25    0",
            " 3                  15    0",
            "Target distribution 1",
            " 1                  10",
            " 2                   6    4",
            " 3                   5    9"};
}

std::vector<std::string> with_line(int index, const std::string& line)
{
    std::vector<std::string> l = base_lines();
    l[index] = line;
    return l;
}

// The example study of the documentation: identifiers, dimensions, labels and
// counts, the same for CRLF and LF line ends.
TEST(DataFileReader, ExampleStudyReadsAlikeWithCrlfAndLf)
{
    for (const char* name : {"examples/reader_a.lrc", "examples/reader_a_lf.lrc"}) {
        read_result r = read_path(std::string(VARNEL_SOURCE_DIR) + "/" + name);
        ASSERT_TRUE(r.study.ok()) << name << ": " << failure(r);
        const Study& s = *r.study;
        EXPECT_EQ(s.observer, " Reader A") << name;
        EXPECT_EQ(s.condition, " Baseline") << name;
        EXPECT_EQ(s.replication, " 1") << name;
        EXPECT_EQ(s.targets, 1);
        EXPECT_EQ(s.categories, 5);
        EXPECT_EQ(s.noloc, 1);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(s.labels[i], field(std::to_string(i + 1), 16)) << name;
        EXPECT_EQ(column(s.incorrect, 1, 5), (std::vector<int>{0, 25, 15, 12, 8})) << name;
        EXPECT_EQ(column(s.correct, 1, 5), (std::vector<int>{40, 0, 0, 0, 0})) << name;
        EXPECT_EQ(column(s.incorrect, 2, 5), (std::vector<int>{0, 6, 5, 3, 1})) << name;
        EXPECT_EQ(column(s.correct, 2, 5), (std::vector<int>{10, 4, 9, 15, 27})) << name;
        EXPECT_EQ(r.printed, "");
    }
}

// Every fault of the file's content: a bad-data error with its number and the
// text the console program shows; nothing printed.
TEST(DataFileReader, EveryFaultHasItsErrorNumber)
{
    struct fault {
        const char* what;
        std::vector<std::string> lines;
        int error;
        bool lf_only = false;  // with CRLF the line is valid
    };
    std::vector<std::string> no_noloc = base_lines();
    no_noloc.erase(no_noloc.begin() + 6);
    std::vector<std::string> two_big_rows = base_lines();
    two_big_rows[9] = " 2                  2000000000 0";
    two_big_rows[10] = " 3                  2000000000 0";
    const std::vector<fault> cases = {
        {"header not LROCDATA", with_line(0, "LROCDAT"), 1},
        {"header after text", with_line(0, "x LROCDATA"), 1},
        {"keyword line of colons", with_line(1, "::::"), 1},
        {"keyword line without colon", with_line(1, "OBSERVER Reader A"), 2},
        {"keyword line with nothing after colon", with_line(1, "OBSERVER:"), 2, true},
        {"second line not OBSERVER", with_line(1, "OBSERVER NAME: Reader A"), 2},
        {"CONDITION misnamed", with_line(2, "CONDITIONS: Baseline"), 3},
        {"REPLICATION misnamed", with_line(3, "REPLICA: 1"), 4},
        {"NDIST misnamed", with_line(4, "NDISTS: 1"), 5},
        {"NCAT misnamed", with_line(5, "N CAT: 3"), 6},
        {"NOLOC above NCAT", with_line(6, "NOLOC: 4"), 7},
        {"NOLOC negative", with_line(6, "NOLOC: -1"), 7},
        {"NOLOC beyond 32 bits", with_line(6, "NOLOC: 4294967297"), 7},
        {"single count beyond row NOLOC + 1", with_line(10, " 3                  15"), 8},
        {"text where the counts begin", with_line(10, " 3 long label text 15 0"), 8},
        {"row shorter than its count column", with_line(10, " 3"), 8},
        {"negative count", with_line(14, " 3                   5   -9"), 8},
        {"negative single count", with_line(8, " 1                 -40"), 8},
        {"count beyond 32 bits", with_line(13, " 2                   6 2147483648"), 8},
        {"row total beyond 32 bits", with_line(13, row("2", "2147483647 1")), 8},
        {"distribution total beyond 32 bits", two_big_rows, 8},
        {"NDIST above 15", with_line(4, "NDIST: 16"), 9},
        {"NDIST negative", with_line(4, "NDIST: -1"), 9},
        {"NDIST wrapping into range", with_line(4, "NDIST: 4294967297"), 9},
        {"NCAT above 17", with_line(5, "NCAT: 18"), 10},
        {"NCAT zero", with_line(5, "NCAT: 0"), 10},
        {"NCAT negative", with_line(5, "NCAT: -3"), 10},
        {"NCAT wrapping into range", with_line(5, "NCAT: 4294967299"), 10},
        {"heading read as keyword line without NOLOC", no_noloc, 2},
    };
    for (const fault& c : cases) {
        for (const std::string eol : {"\n", "\r\n"}) {
            if (c.lf_only && eol != "\n")
                continue;
            read_result r = read_text(join(c.lines, eol));
            ASSERT_FALSE(r.study.ok()) << c.what;
            EXPECT_EQ(r.study.error().kind, ErrorKind::bad_data) << c.what;
            EXPECT_EQ(r.study.error().number, c.error) << c.what;
            EXPECT_EQ(r.study.error().message,
                      "Input file has errors (" + std::to_string(c.error) + ")")
                << c.what;
            EXPECT_EQ(r.printed, "") << c.what;
        }
    }
}

// A file that ends where a line is still expected is a read fault; with no
// system error behind it the report names the early end (never the system's
// text for "no error").
TEST(DataFileReader, FileEndingEarlyIsAReadError)
{
    std::vector<std::string> lines = base_lines();
    lines.pop_back();
    for (const std::vector<std::string>& l : {lines, std::vector<std::string>{}}) {
        read_result r = read_text(join(l, "\r\n"));
        ASSERT_FALSE(r.study.ok());
        EXPECT_EQ(r.study.error().kind, ErrorKind::read_failed);
        EXPECT_EQ(r.study.error().message, "Error reading input file: unexpected end of file");
        EXPECT_EQ(r.printed, "");
    }
}

// Text values keep their last character with LF line ends and lose only the
// carriage return with CRLF; an empty value stays empty (the report pads the
// identifiers to their 64-character fields).
TEST(DataFileReader, TextValuesWithEitherLineEnd)
{
    for (const char* eol : {"\n", "\r\n"}) {
        std::vector<std::string> l = with_line(2, "CONDITION:");
        l[1] = "Observer : Reader A ";
        if (std::string(eol) == "\n")
            l[2] = "CONDITION: \t";
        read_result r = read_text(join(l, eol));
        ASSERT_TRUE(r.study.ok()) << failure(r);
        EXPECT_EQ(r.study->observer, " Reader A ");
        EXPECT_EQ(r.study->condition, std::string(eol) == "\n" ? " \t" : "");
    }
    // A value longer than the field is cut at 64 characters.
    read_result r = read_text(join(with_line(3, "REPLICATION:" + std::string(70, 'r')), "\r\n"));
    ASSERT_TRUE(r.study.ok()) << failure(r);
    EXPECT_EQ(r.study->replication, std::string(64, 'r'));
}

TEST(DataFileReader, HeaderAndKeywordSpellings)
{
    std::vector<std::string> l = base_lines();
    l[0] = "  lrocdata version 2";
    l[5] = "ncat : 3";
    l[4] = "::NDIST:  1 distributions";
    l.insert(l.begin(), {"", ""});
    read_result r = read_text(join(l, "\r\n"));
    ASSERT_TRUE(r.study.ok()) << failure(r);
    EXPECT_EQ(r.study->categories, 3);
    EXPECT_EQ(r.study->targets, 1);

    // Blank lines between the lines are skipped; a value that is not a
    // number leaves the count at 0.
    l = base_lines();
    l[6] = "NOLOC: none";
    l.insert(l.begin() + 9, "");
    r = read_text(join(l, "\n"));
    ASSERT_TRUE(r.study.ok()) << failure(r);
    EXPECT_EQ(r.study->noloc, 0);
    EXPECT_EQ(r.study->incorrect(2, 1), 25);
}

TEST(DataFileReader, NolocLineIsOptional)
{
    std::vector<std::string> l = base_lines();
    l.erase(l.begin() + 6);
    l[6] = "Non-target distribution: 0";
    read_result r = read_text(join(l, "\r\n"));
    ASSERT_TRUE(r.study.ok()) << failure(r);
    EXPECT_EQ(r.study->noloc, 0);
    // Row 1 may still hold a single count, stored as correct localizations.
    EXPECT_EQ(r.study->correct(1, 2), 10);
    EXPECT_EQ(r.study->incorrect(1, 2), 0);
}

TEST(DataFileReader, SingleCountsAllowedInFirstNolocPlusOneRows)
{
    std::vector<std::string> l = {"LROCDATA", "OBSERVER: o", "CONDITION: c", "REPLICATION: r",
                                  "NDIST: 1", "NCAT: 4", "NOLOC: 2", "Non-target",
                                  " 1                  4", " 2                  3",
                                  " 3                  2", " 4                  1    0",
                                  "Target", " a                  5", " b                  6 1",
                                  " c                  7", " d                  3   15 extra"};
    read_result r = read_text(join(l, "\r\n"));
    ASSERT_TRUE(r.study.ok()) << failure(r);
    EXPECT_EQ(r.study->noloc, 2);
    // Two counts in a category without localization are kept apart.
    EXPECT_EQ(column(r.study->incorrect, 2, 4), (std::vector<int>{0, 6, 0, 3}));
    EXPECT_EQ(column(r.study->correct, 2, 4), (std::vector<int>{5, 1, 7, 15}));
    // The last table's labels remain.
    EXPECT_EQ(r.study->labels[1], field("b", 16));

    l[11] = " 4                  1";
    r = read_text(join(l, "\r\n"));
    ASSERT_FALSE(r.study.ok());
    EXPECT_EQ(r.study.error().number, 8);
    EXPECT_EQ(r.study.error().message, "Input file has errors (8)");
}

TEST(DataFileReader, NoTargetDistributionsReadsOnlyTheNonTargetTable)
{
    std::vector<std::string> l = base_lines();
    l[4] = "NDIST: 0";
    l.resize(11);
    read_result r = read_text(join(l, "\n"));
    ASSERT_TRUE(r.study.ok()) << failure(r);
    EXPECT_EQ(r.study->targets, 0);
    EXPECT_EQ(column(r.study->correct, 1, 3), (std::vector<int>{40, 0, 0}));
}

TEST(DataFileReader, FullCapacityAndLargestCounts)
{
    std::vector<std::string> l = {"LROCDATA", "OBSERVER: o", "CONDITION: c", "REPLICATION: r",
                                  "NDIST: 15", "NCAT: 17", "NOLOC: 17"};
    for (int m = 1; m <= 16; ++m) {
        l.push_back("Distribution");
        for (int i = 1; i <= 17; ++i)
            l.push_back(" L                 " + std::to_string(m == 16 && i == 17 ? 2147453647
                                                                                    : m * 100 + i));
    }
    // The sixteenth table's total, 2,147,479,383, is just below the 32-bit limit.
    read_result r = read_text(join(l, "\r\n"));
    ASSERT_TRUE(r.study.ok()) << failure(r);
    EXPECT_EQ(r.study->targets, 15);
    EXPECT_EQ(r.study->categories, 17);
    EXPECT_EQ(r.study->correct(17, 16), 2147453647);
    EXPECT_EQ(r.study->correct(1, 15), 1501);
}

// A line longer than 99 characters (line end included) is read in pieces of
// 99, each taken as a line of its own.
TEST(DataFileReader, LongLinesAreReadInPiecesOf99)
{
    std::vector<std::string> l = base_lines();
    // The heading's second piece is row 1 of the first table.
    l[7] = std::string(99, 'h') + row("x", "41");
    l.erase(l.begin() + 8);
    read_result r = read_text(join(l, "\n"));
    ASSERT_TRUE(r.study.ok()) << failure(r);
    EXPECT_EQ(r.study->correct(1, 1), 41);
    EXPECT_EQ(r.study->incorrect(2, 1), 25);

    // A row of 98 characters plus its line feed is still one line.
    l = base_lines();
    l[8] = row("1", "40") + std::string(98 - row("1", "40").size(), ' ');
    r = read_text(join(l, "\n"));
    ASSERT_TRUE(r.study.ok()) << failure(r);
    EXPECT_EQ(r.study->correct(1, 1), 40);
}

}  // namespace
