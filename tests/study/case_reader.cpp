// Per-case ratings reader: the CSV forms it accepts and each fault with its
// exact message and line.
#include "varnel/cases.h"

#include <cmath>

#include <gtest/gtest.h>

#include "support/helpers.h"

namespace {

using namespace varnel::study;
using study_test::study_from;

const std::string header = "reader,modality,case,truth,rating,localized\n";

std::string error_of(const std::string& csv)
{
    varnel::Expected<CaseStudy> r = parse_cases(csv, "t.csv");
    return r.ok() ? "(parsed)" : r.error().message;
}

TEST(CaseReaderForms, ColumnsByNameInAnyOrderWithOtherColumnsIgnored)
{
    const CaseStudy s = study_from(
        "note,rating,case,localized,truth,modality,reader\n"
        "x,2.5,c1,,0,CT,R1\n"
        "y,-1e1,c2,1,3,CT,R1\n"
        "z,+4,c1,,0,MR,R2\n");
    EXPECT_EQ(s.readers, (std::vector<std::string>{"R1", "R2"}));
    EXPECT_EQ(s.modalities, (std::vector<std::string>{"CT", "MR"}));
    EXPECT_EQ(s.cases, (std::vector<std::string>{"c1", "c2"}));
    EXPECT_EQ(s.truth, (std::vector<int>{0, 3}));
    EXPECT_TRUE(s.has_localization);
    ASSERT_EQ(s.readings.size(), 3u);
    EXPECT_EQ(s.readings[1].rating, -10.0);
    EXPECT_EQ(s.readings[1].localization, Localization::correct);
    EXPECT_EQ(s.readings[2].reader, 1);
    EXPECT_EQ(s.readings[2].modality, 1);
    EXPECT_EQ(s.readings[2].case_index, 0);
    EXPECT_EQ(s.readings[2].rating, 4.0);
    EXPECT_EQ(s.readings[2].line, 4);
}

TEST(CaseReaderForms, ByteOrderMarkCrlfAndLastLineWithoutLineEnd)
{
    const CaseStudy s = study_from(
        "\xEF\xBB\xBF"
        "reader,modality,case,truth,rating\r\n"
        "R1,A,c1,1,3\r\n"
        "\r\n"
        "R1,A,c2,0,1");
    ASSERT_EQ(s.readings.size(), 2u);
    EXPECT_EQ(s.readers[0], "R1");  // the mark is not part of the first column name
    EXPECT_FALSE(s.has_localization);
    EXPECT_EQ(s.readings[0].localization, Localization::unknown);
    EXPECT_EQ(s.readings[1].line, 4);
}

TEST(CaseReaderForms, QuotedFieldsHoldCommasQuotesLineBreaksAndBlanks)
{
    const CaseStudy s = study_from(header +
                                   "\"Smith, J.\",\"CT \"\"low\"\"\",\"case\n7\",1,2,0\n"
                                   "  R2 ,\t\"  padded \" ,c8 , 0 , 3 ,  \n");
    EXPECT_EQ(s.readers, (std::vector<std::string>{"Smith, J.", "R2"}));
    EXPECT_EQ(s.modalities, (std::vector<std::string>{"CT \"low\"", "  padded "}));
    EXPECT_EQ(s.cases, (std::vector<std::string>{"case\n7", "c8"}));
    ASSERT_EQ(s.readings.size(), 2u);
    EXPECT_EQ(s.readings[0].localization, Localization::incorrect);
    EXPECT_EQ(s.readings[1].line, 4);  // the quoted line break counts
}

TEST(CaseReaderForms, NegativeZeroIsZeroAndOverflowIsNotFinite)
{
    const CaseStudy s = study_from(header + "R1,A,c1,0,-0,\nR1,A,c2,0,1e-400,\n");
    ASSERT_EQ(s.readings.size(), 2u);
    EXPECT_FALSE(std::signbit(s.readings[0].rating));
    EXPECT_GE(s.readings[1].rating, 0.0);
    EXPECT_EQ(error_of(header + "R1,A,c1,0,1e999,\n"),
              "t.csv:2: rating \"1e999\" is not a finite number");
}

struct BadInput {
    std::string csv, message;
};

TEST(CaseReaderErrors, EachFaultNamesFileLineAndWhatToDo)
{
    const std::string columns =
        "the header needs the columns reader, modality, case, truth and rating (lowercase names) "
        "and "
        "optionally localized";
    const std::string truth_range = " is not 0 (no target) or a target class from 1 to 15";
    const std::string double_quote = "a quote inside a quoted field is written twice (\"\")";
    const BadInput cases[] = {
        {"", "t.csv: the file is empty; " + columns + ", then one row per rating"},
        {"\xEF\xBB\xBF\n \t\n",
         "t.csv: the file is empty; " + columns + ", then one row per rating"},
        {"reader,modality,case,truth\nR1,A,c1,0\n", "t.csv:1: no \"rating\" column; " + columns},
        {"Reader,modality,case,truth,rating\n", "t.csv:1: no \"reader\" column; " + columns},
        {"\nreader,modality,case,truth,rating,rating\n",
         "t.csv:2: the column \"rating\" appears twice in the header"},
        {header, "t.csv:1: no ratings follow the header row"},
        {header + "R1,A,c1,0,2\n",
         "t.csv:2: 5 fields, but the header has 6; put a field that contains a comma in quotes"},
        {header + "R1,A,c1,0,abc,\n", "t.csv:2: rating \"abc\" is not a number"},
        {header + "R1,A,c1,0,,\n", "t.csv:2: rating \"\" is not a number"},
        {header + "R1,A,c1,0,1.5.2,\n", "t.csv:2: rating \"1.5.2\" is not a number"},
        {header + "R1,A,c1,0,inf,\n", "t.csv:2: rating \"inf\" is not a finite number"},
        {header + "R1,A,c1,0,nan,\n", "t.csv:2: rating \"nan\" is not a finite number"},
        {header + "R1,A,c1,2.0,1,\n", "t.csv:2: truth \"2.0\"" + truth_range},
        {header + "R1,A,c1,16,1,\n", "t.csv:2: truth \"16\"" + truth_range},
        {header + "R1,A,c1,-1,1,\n", "t.csv:2: truth \"-1\"" + truth_range},
        {header + "R1,A,c1,1,1,yes\n",
         "t.csv:2: localized \"yes\" is not 1 (correct), 0 (incorrect) or empty (not recorded)"},
        {header + "R1,A,c1,0,1,0\n",
         "t.csv:2: localized is \"0\" but case \"c1\" has no target (truth 0); leave localized "
         "empty for a case "
         "without a target"},
        {header + "R1,A,c1,1,2,1\nR2,A,c1,1,2,\nR1,A,c1,1,3,0\n",
         "t.csv:4: reader \"R1\", modality \"A\", case \"c1\" is rated a second time (first on "
         "line 2); give one "
         "row per reader, modality and case"},
        {header + "R1,A,c1,1,2,\nR2,A,c1,0,3,\n",
         "t.csv:3: case \"c1\" has truth 0 here but truth 1 on line 2; a case has one truth in all "
         "its rows"},
        {header + "R1,A,c1,0,2,\n\"R2,A,c2,0,2,\n",
         "t.csv:3: the quoted field that begins here is not closed; " + double_quote},
        {header + "R1,\"A\"x,c1,0,2,\n",
         "t.csv:2: text after the closing quote of a field; " + double_quote},
        {header + "R1,A\"x,c1,0,2,\n",
         "t.csv:2: a quote inside a field that does not begin with one; put the field in quotes "
         "and write the "
         "quote twice (\"\")"},
        {header + "R1,,c1,0,2,\n",
         "t.csv:2: empty modality name; every row needs a reader, a modality and a case"},
        {header + "R1,A,  ,0,2,\n",
         "t.csv:2: empty case name; every row needs a reader, a modality and a case"},
        {header + "\"\",A,c1,0,2,\n",
         "t.csv:2: empty reader name; every row needs a reader, a modality and a case"},
        {header + "R1,A,c1,0,2,\rR1,A,c2,0,2,\n",
         "t.csv:2: a carriage return without a line feed; save the file with LF or CRLF line ends"},
        {header + "R1,A,c1,0,2,\nR\xE9,A,c2,0,2,\n",
         "t.csv:3: the text is not UTF-8; save the file as UTF-8"},
        {header + "R1,A,c1,0,2,\n\xED\xA0\x80,A,c2,0,2,\n",
         "t.csv:3: the text is not UTF-8; save the file as UTF-8"},
        // Lines stay right after quoted line breaks, CRLF ends and blank lines.
        {header + "\"R\n1\",A,c1,0,2,\nR1,A,c2,0,abc,\n",
         "t.csv:4: rating \"abc\" is not a number"},
        {"reader,modality,case,truth,note,rating\r\nR1,A,c1,0,\"a\r\nb\",abc\r\n",
         "t.csv:3: rating \"abc\" is not a number"},  // the line of the field, not of the row
        {"reader,modality,case,truth,rating\r\n\r\n\r\nR1,A,c1,x,1\r\n",
         "t.csv:4: truth \"x\"" + truth_range},
    };
    for (const BadInput& c : cases)
        EXPECT_EQ(error_of(c.csv), c.message) << c.csv;
}

TEST(CaseReaderFile, ReadsTheFileAndNamesItInMessages)
{
    study_test::TempDir dir;
    const auto good = dir.write("cases.csv", header + "R1,A,c1,1,2,1\n");
    varnel::Expected<CaseStudy> s = read_cases(good);
    ASSERT_TRUE(s.ok()) << s.error().message;
    EXPECT_EQ(s->source, good.string());
    EXPECT_EQ(s->readings.size(), 1u);

    const auto bad = dir.write("bad.csv", header + "R1,A,c1,1,x,1\n");
    EXPECT_EQ(read_cases(bad).error().message, bad.string() + ":2: rating \"x\" is not a number");
}

TEST(CaseReaderFile, UnreadableFileGivesTheSystemsReason)
{
    study_test::TempDir dir;
    const std::string missing = (dir.path() / "missing.csv").string();
    EXPECT_EQ(read_cases(missing).error().message,
              missing + ": cannot read the file: No such file or directory");
    EXPECT_EQ(read_cases(dir.path()).error().message,
              dir.path().string() + ": cannot read the file: Is a directory");
}

}  // namespace
