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
        "the header needs the columns reader, modality, case, truth and rating "
        "and "
        "optionally localized";
    const std::string truth_range = " is not 0 (no target) or a target class from 1 to 15";
    const std::string double_quote = "a quote inside a quoted field is written twice (\"\")";
    const BadInput cases[] = {
        {"", "t.csv: the file is empty; " + columns + ", then one row per rating"},
        {"\xEF\xBB\xBF\n \t\n",
         "t.csv: the file is empty; " + columns + ", then one row per rating"},
        {"reader,modality,case,truth\nR1,A,c1,0\n", "t.csv:1: no \"rating\" column; " + columns},
        {"Leser,modality,case,truth,rating\n",
         "t.csv:1: no \"reader\" column; " + columns +
             "; found the columns \"Leser\", \"modality\", \"case\", \"truth\", \"rating\""},
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
        {header + "R1,A,c1,2.5,1,\n", "t.csv:2: truth \"2.5\"" + truth_range},
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

// The same study written as spreadsheets and data frames write it.
TEST(CaseReaderForgiving, EachVariantReadsToTheSameStudy)
{
    const CaseStudy plain = study_from(
        "reader,modality,case,truth,rating,localized\n"
        "\"Smith, J.\",CT,c1,0,2.5,\n"
        "\"Smith, J.\",CT,c2,1,4,1\n"
        "\"Smith, J.\",CT,c3,2,3,0\n"
        "R2,\"CT; low\",c1,0,1,\n"
        "R2,\"CT; low\",c2,1,5,\n"
        "R2,\"CT; low\",c3,2,-0.5,1\n");
    ASSERT_EQ(plain.readings.size(), 6u);
    const std::pair<const char*, std::string> variants[] = {
        {"semicolons; a comma is part of a field",
         "reader;modality;case;truth;rating;localized\n"
         "Smith, J.;CT;c1;0;2.5;\n"
         "Smith, J.;CT;c2;1;4;1\n"
         "Smith, J.;CT;c3;2;3;0\n"
         "R2;\"CT; low\";c1;0;1;\n"
         "R2;\"CT; low\";c2;1;5;\n"
         "R2;\"CT; low\";c3;2;-0.5;1\n"},
        {"tabs; spaces around fields and a line of tabs",
         "reader\tmodality\tcase\ttruth\trating\tlocalized\n"
         "Smith, J.\tCT\tc1\t0\t2.5\t\n"
         "Smith, J.\tCT \t c2\t1\t4\t1\n"
         "\t\t\t\t\t\n"
         "Smith, J.\tCT\tc3\t2\t3\t0\n"
         "  R2\tCT; low\tc1\t0\t1\t\n"
         "R2\t\"CT; low\"\tc2\t1\t5\t\n"
         "R2\tCT; low\tc3\t2\t-0.5\t1"},
        {"capitalised and blank-padded names",
         " Reader ,MODALITY,Case,\tTRUTH\t,\" Rating \",LocaLized\n"
         "\"Smith, J.\",CT,c1,0,2.5,\n"
         "\"Smith, J.\",CT,c2,1,4,1\n"
         "\"Smith, J.\",CT,c3,2,3,0\n"
         "R2,\"CT; low\",c1,0,1,\n"
         "R2,\"CT; low\",c2,1,5,\n"
         "R2,\"CT; low\",c3,2,-0.5,1\n"},
        {"1.0 and 0.0",
         "reader,modality,case,truth,rating,localized\n"
         "\"Smith, J.\",CT,c1,0.0,2.5,\n"
         "\"Smith, J.\",CT,c2,1.0,4,1.0\n"
         "\"Smith, J.\",CT,c3,2.00,3,0.0\n"
         "R2,\"CT; low\",c1,0,1,\n"
         "R2,\"CT; low\",c2,01,5,\n"
         "R2,\"CT; low\",c3,2.0,-0.5,1.000\n"},
        {"TRUE and FALSE",
         "reader,modality,case,truth,rating,localized\n"
         "\"Smith, J.\",CT,c1,FALSE,2.5,\n"
         "\"Smith, J.\",CT,c2,TRUE,4,TRUE\n"
         "\"Smith, J.\",CT,c3,2,3,False\n"
         "R2,\"CT; low\",c1,false,1,\n"
         "R2,\"CT; low\",c2,True,5,\n"
         "R2,\"CT; low\",c3,2,-0.5,true\n"},
        {"NA for a missing localized",
         "reader,modality,case,truth,rating,localized\n"
         "\"Smith, J.\",CT,c1,0,2.5,NA\n"
         "\"Smith, J.\",CT,c2,1,4,1\n"
         "\"Smith, J.\",CT,c3,2,3,0\n"
         "R2,\"CT; low\",c1,0,1,na\n"
         "R2,\"CT; low\",c2,1,5,\"NA\"\n"
         "R2,\"CT; low\",c3,2,-0.5,1\n"},
        {"a spreadsheet's semicolon export: mark, CRLF, names, 1.0, NA, empty rows",
         "\xEF\xBB\xBF\"Reader\";\"Modality\";\"Case\";\"Truth\";\"Rating\";\"Localized\"\r\n"
         "\"Smith, J.\";\"CT\";\"c1\";0.0;2.5;NA\r\n"
         "\"Smith, J.\";\"CT\";\"c2\";1.0;4;1.0\r\n"
         "\"Smith, J.\";\"CT\";\"c3\";2.0;3;0.0\r\n"
         "\"R2\";\"CT; low\";\"c1\";0.0;1;NA\r\n"
         "\"R2\";\"CT; low\";\"c2\";1.0;5;\r\n"
         "\"R2\";\"CT; low\";\"c3\";2.0;-0.5;1.0\r\n"
         ";;;;;\r\n"},
    };
    for (const auto& [what, csv] : variants) {
        SCOPED_TRACE(what);
        study_test::expect_same_study(study_from(csv), plain);
    }
}

// Where the reader still refuses a file, the message says what it found.
TEST(CaseReaderForgiving, RefusalsSayWhatWasFound)
{
    const std::string columns =
        "the header needs the columns reader, modality, case, truth and rating "
        "and optionally localized";
    const std::string row = "R1,A,c1,1,2,1\n";
    const BadInput cases[] = {
        // No separator gives a required column: the header as one column.
        {"Leser;Modalit\xC3\xA4t;Fall;Wahrheit;Wert\nR1;A;c1;1;2\n",
         "t.csv:1: no \"reader\" column; " + columns +
             "; found the column \"Leser;Modalit\xC3\xA4t;Fall;Wahrheit;Wert\"; is the separator "
             "\";\"?"},
        {"Leser\tFall\tWert\n", "t.csv:1: no \"reader\" column; " + columns +
                                    "; found the column \"Leser\tFall\tWert\"; is the separator a "
                                    "tab?"},
        {"reader modality case truth rating\n",
         "t.csv:1: no \"reader\" column; " + columns +
             "; found the column \"reader modality case truth rating\""},
        // The separator found, a column missing.
        {"Reader;Modality;Fall;Truth;Rating\n",
         "t.csv:1: no \"case\" column; " + columns +
             "; found the columns \"Reader\", \"Modality\", \"Fall\", \"Truth\", \"Rating\" "
             "separated by \";\""},
        {"reader\tmodality\tcase id\ttruth\trating\n",
         "t.csv:1: no \"case\" column; " + columns +
             "; found the columns \"reader\", \"modality\", \"case id\", \"truth\", \"rating\" "
             "separated by tabs"},
        // Many columns: the first twelve, long names cut.
        {"reader,modality,case,truth,c5,c6,c7,c8,c9,c10,c11,"
         "\"a name much longer than forty bytes, cut short\",c13,c14\n",
         "t.csv:1: no \"rating\" column; " + columns +
             "; found the columns \"reader\", \"modality\", \"case\", \"truth\", \"c5\", \"c6\", "
             "\"c7\", \"c8\", \"c9\", \"c10\", \"c11\", \"a name much longer than forty bytes, "
             "cut...\", ... (14 columns)"},
        // Two columns with one name after folding.
        {"reader,modality,case,truth,Rating,\"rating \"\n" + row,
         "t.csv:1: the header names the column \"rating\" twice, as \"Rating\" and \"rating \"; "
         "keep one of them"},
        {"reader,modality,CASE,truth,rating, CASE\n" + row,
         "t.csv:1: the column \"CASE\" appears twice in the header"},
        // Values: what was found and what is expected.
        {header + "R1,A,c1,1.5,2,\n",
         "t.csv:2: truth \"1.5\" is not 0 (no target) or a target class from 1 to 15"},
        {header + "R1,A,c1,2.,2,\n",
         "t.csv:2: truth \"2.\" is not 0 (no target) or a target class from 1 to 15"},
        {header + "R1,A,c1,NA,2,\n",
         "t.csv:2: truth \"NA\" is not 0 (no target) or a target class from 1 to 15"},
        {header + "R1,A,c1,yes,2,\n",
         "t.csv:2: truth \"yes\" is not 0 (no target) or a target class from 1 to 15"},
        {header + "R1,A,c1,1,2,2.0\n",
         "t.csv:2: localized \"2.0\" is not 1 (correct), 0 (incorrect) or empty (not recorded)"},
        {header + "R1,A,c1,1,2,N/A\n",
         "t.csv:2: localized \"N/A\" is not 1 (correct), 0 (incorrect) or empty (not recorded)"},
        {header + "R1,A,c1,0,2,FALSE\n",
         "t.csv:2: localized is \"FALSE\" but case \"c1\" has no target (truth 0); leave "
         "localized empty for a case without a target"},
        {"reader;modality;case;truth;rating\nR1;A;c1;1;2,5\n",
         "t.csv:2: rating \"2,5\" is not a number; write numbers with a decimal point, not a "
         "comma"},
        {header + "R1,A,c1,1,\"1,000,5\",\n", "t.csv:2: rating \"1,000,5\" is not a number"},
        // Field counts name the separator.
        {"reader;modality;case;truth;rating\nR1;A;c1;1\n",
         "t.csv:2: 4 fields, but the header has 5; put a field that contains a semicolon in "
         "quotes"},
        {"reader\tmodality\tcase\ttruth\trating\nR1\tA\tc1\t1\t2\t\n",
         "t.csv:2: 6 fields, but the header has 5; put a field that contains a tab in quotes"},
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
