// Data file writer: the exact text, identifiers and labels that must not
// corrupt it, file names, and a round trip through the console program.
#include "varnel/data_file.h"

#include <sstream>

#include <gtest/gtest.h>

#include "support/helpers.h"

namespace {

using namespace varnel::study;

varnel::Study small_study()
{
    varnel::Study s;
    s.observer = "R1";
    s.condition = "CT";
    s.replication = "1";
    s.targets = 1;
    s.categories = 3;
    s.noloc = 1;
    s.labels[0] = "<=1.5";
    s.labels[1] = "(1.5,2.5]";
    s.labels[2] = ">2.5";
    s.correct(1, 1) = 5;
    s.correct(2, 1) = 3;
    s.correct(3, 1) = 123456;
    s.correct(1, 2) = 1;
    s.incorrect(2, 2) = 2;
    s.correct(2, 2) = 3;
    s.correct(3, 2) = 4;
    return s;
}

TEST(DataFileText, KeywordsThenOneTablePerDistributionInFixedColumns)
{
    varnel::Expected<std::string> text = format_data_file(small_study());
    ASSERT_TRUE(text.ok()) << text.error().message;
    // Rows 1..NOLOC+1 hold a total where nothing is incorrectly localized;
    // counts begin in column 18.
    EXPECT_EQ(*text,
              "LROCDATA\n"
              "OBSERVER: R1\n"
              "CONDITION: CT\n"
              "REPLICATION: 1\n"
              "NDIST: 1\n"
              "NCAT: 3\n"
              "NOLOC: 1\n"
              "Non-target distribution\n"
              " <=1.5                5\n"
              " (1.5,2.5]            3\n"
              " >2.5                 0 123456\n"
              "Target distribution 1\n"
              " <=1.5                1\n"
              " (1.5,2.5]            2     3\n"
              " >2.5                 0     4\n");
}

TEST(DataFileText, IdentifiersAndLabelsCannotBreakTheLayout)
{
    EXPECT_EQ(data_file_identifier("a\tb\r\nc\x7f"), "a b  c ");
    EXPECT_EQ(data_file_identifier(std::string(70, 'x')), std::string(63, 'x'));
    EXPECT_EQ(data_file_identifier(std::string(62, 'x') + "\xC3\xA4"),
              std::string(62, 'x'));  // no half "ä"

    varnel::Study s = small_study();
    s.observer = "line\nbreak";
    s.labels[0] = "a label of more than sixteen characters";
    s.labels[1] =
        "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4";  // 9 x "ä", 18
                                                                                     // bytes
    varnel::Expected<std::string> text = format_data_file(s);
    ASSERT_TRUE(text.ok()) << text.error().message;
    std::istringstream lines(*text);
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);)
        all.push_back(line);
    ASSERT_EQ(all.size(), 15u);
    EXPECT_EQ(all[1], "OBSERVER: line break");
    EXPECT_EQ(all[8], " a label of more      5");
    EXPECT_EQ(all[9],
              " \xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
              "     3");  // 8 x "ä", one blank
}

TEST(DataFileText, TablesOutsideVarnelsLimitsAreRefused)
{
    const std::string where = "table of reader \"R1\", modality \"CT\": ";
    varnel::Study s = small_study();
    s.noloc = 4;
    EXPECT_EQ(format_data_file(s).error().message, where + "NOLOC 4 is outside 0 to 3");
    s = small_study();
    s.categories = 18;
    EXPECT_EQ(format_data_file(s).error().message, where + "18 categories; varnel takes 1 to 17");
    s = small_study();
    s.targets = 16;
    EXPECT_EQ(format_data_file(s).error().message,
              where + "16 target distributions; varnel takes 0 to 15");
    s = small_study();
    s.incorrect(3, 2) = -1;
    EXPECT_EQ(format_data_file(s).error().message, where + "a negative count in category 3");
}

TEST(DataFileNames, NumberedSafeAndUnique)
{
    EXPECT_EQ(data_file_name(1, 10, "R1", "CT"), "01_R1_CT.lrc");
    EXPECT_EQ(data_file_name(7, 120, "Dr. \xC3\x84/B", "CT low"), "007_Dr.___B_CT_low.lrc");
    EXPECT_EQ(data_file_name(2, 2, "R/1", "A"), "02_R_1_A.lrc");
    EXPECT_EQ(data_file_name(3, 3, std::string(50, 'r'), ".."),
              "03_" + std::string(40, 'r') + "_...lrc");
}

// The console echo of varnel, reduced to comparable lines: identifiers,
// NCAT, NOLOC, and per distribution "label: counts".
std::vector<std::string> echo_lines(const std::string& console)
{
    std::vector<std::string> out;
    std::istringstream in(console);
    int rows_left = 0, ncat = 0;
    for (std::string line; std::getline(in, line);) {
        const auto rstrip = [](std::string s) { return s.erase(s.find_last_not_of(' ') + 1); };
        for (const char* key : {"OBSERVER:", "CONDITION:", "REPLICATION:"})
            if (const auto at = line.find(key); at != std::string::npos && out.size() < 3)
                out.push_back(key + rstrip(line.substr(at + std::string(key).size())));
        if (line.find(" NCAT:") == 0)
            out.push_back("NCAT " + std::to_string(ncat = std::stoi(line.substr(6))));
        if (line.find(" NOLOC:") == 0)
            out.push_back("NOLOC " + std::to_string(std::stoi(line.substr(7))));
        if (rows_left > 0 && line.find("Rating") == std::string::npos) {
            std::istringstream counts(line.substr(16));
            std::string row = rstrip(line.substr(0, 16)) + ":";
            for (int n; counts >> n;)
                row += " " + std::to_string(n);
            out.push_back(row);
            --rows_left;
        }
        if (line.find(" DISTRIBUTION:") == 0) {
            out.push_back(rstrip(line));
            rows_left = ncat;
        }
    }
    return out;
}

// The same lines as varnel should echo a table: categories without any count
// dropped, totals where localization is not used.
std::vector<std::string> expected_echo(const varnel::Study& s)
{
    const auto pad = [](int n, int width) {
        std::string t = std::to_string(n);
        return std::string(width - t.size(), ' ') + t;
    };
    std::vector<int> kept;
    int noloc = 0;
    for (int k = 1; k <= s.categories; ++k) {
        int n = 0;
        for (int m = 1; m <= s.targets + 1; ++m)
            n += s.incorrect(k, m) + s.correct(k, m);
        if (n > 0) {
            kept.push_back(k);
            noloc += k <= s.noloc;
        }
    }
    std::vector<std::string> out{"OBSERVER: " + data_file_identifier(s.observer),
                                 "CONDITION: " + s.condition, "REPLICATION: " + s.replication,
                                 "NCAT " + std::to_string(kept.size()),
                                 "NOLOC " + std::to_string(noloc)};
    for (int m = 1; m <= s.targets + 1; ++m) {
        out.push_back(" DISTRIBUTION:" + pad(m - 1, 3) +
                      (m == 1 ? "   Non-target distribution" : "   Target distribution"));
        for (std::size_t i = 0; i < kept.size(); ++i) {
            const int k = kept[i];
            const bool total = m == 1 || static_cast<int>(i) < noloc;
            out.push_back(s.labels[k - 1] + ":" +
                          (total ? " " + std::to_string(s.incorrect(k, m) + s.correct(k, m))
                                 : " " + std::to_string(s.incorrect(k, m)) + " " +
                                       std::to_string(s.correct(k, m))));
        }
    }
    return out;
}

// Writes the table as a data file, runs varnel on it with every answer
// defaulted, and compares the echoed data with the table.
void expect_round_trip(const varnel::Study& s)
{
    study_test::TempDir dir;
    varnel::Expected<std::string> text = format_data_file(s);
    ASSERT_TRUE(text.ok()) << text.error().message;
    dir.write("study.lrc", *text);
    const study_test::RunResult r = study_test::run(VARNEL_EXE, {"study.lrc"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(echo_lines(r.out), expected_echo(s)) << r.out;
}

TEST(DataFileRoundTrip, VarnelReadsBackTheCountsOfAnLrocStudy)
{
    // Two targets, NOLOC 1, category 3 empty (varnel drops it), an observer
    // with a line break and more than 63 bytes.
    varnel::Study s;
    s.observer =
        "Reader with a line\nbreak and a name that goes on well past sixty-four characters";
    s.condition = "CT, low dose";
    s.replication = "1";
    s.targets = 2;
    s.categories = 5;
    s.noloc = 1;
    const char* labels[] = {"<=1", "(1,2]", "(2,3]", "(3,4]", ">4"};
    std::copy(std::begin(labels), std::end(labels), s.labels.begin());
    const int nontarget[] = {40, 25, 0, 12, 8};
    const int incorrect[2][5] = {{0, 6, 0, 3, 1}, {0, 0, 0, 8, 4}};
    const int correct[2][5] = {{10, 4, 0, 15, 27}, {3, 7, 0, 52, 76}};
    for (int k = 1; k <= 5; ++k) {
        s.correct(k, 1) = nontarget[k - 1];
        for (int t = 1; t <= 2; ++t) {
            s.incorrect(k, 1 + t) = incorrect[t - 1][k - 1];
            s.correct(k, 1 + t) = correct[t - 1][k - 1];
        }
    }
    expect_round_trip(s);
}

TEST(DataFileRoundTrip, VarnelReadsBackRocOnlyAndFullyLocalizedStudies)
{
    varnel::Study s = small_study();
    s.correct(3, 1) = 99999;  // the widest count the echo shows
    s.incorrect(2, 2) = 0;
    s.noloc = s.categories;
    expect_round_trip(s);
    s.incorrect(2, 2) = 2;
    s.noloc = 0;
    expect_round_trip(s);
}

}  // namespace
