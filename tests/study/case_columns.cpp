// Studies built from columns in memory: the same study as the CSV reader
// makes of the same values, and every fault named by its data row and column
// with the reader's texts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "varnel/binning.h"
#include "support/helpers.h"
#include "varnel/cases.h"

namespace {

using namespace varnel::study;
using study_test::expect_same_study;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// Rows of reader, modality, case, truth, rating and localized as texts.
using Row = std::vector<std::string>;

std::string csv_of(const std::vector<Row>& rows)
{
    std::string csv = "reader,modality,case,truth,rating,localized\n";
    for (const Row& r : rows)
        csv += r[0] + "," + r[1] + "," + r[2] + "," + r[3] + "," + r[4] + "," + r[5] + "\n";
    return csv;
}

// The same rows as columns of texts.
CaseColumns text_columns(const std::vector<Row>& rows)
{
    CaseColumns c;
    std::vector<std::string> truth, rating, localized;
    for (const Row& r : rows) {
        c.reader.push_back(r[0]);
        c.modality.push_back(r[1]);
        c.case_name.push_back(r[2]);
        truth.push_back(r[3]);
        rating.push_back(r[4]);
        localized.push_back(r[5]);
    }
    c.truth.values = truth;
    c.rating.values = rating;
    c.localized = Column{localized, {}};
    return c;
}

std::string error_of(const CaseColumns& c)
{
    const varnel::Expected<CaseStudy> s = make_cases(c, "df");
    return s ? "(made)" : s.error().message;
}

std::string csv_error_of(const std::vector<Row>& rows)
{
    const varnel::Expected<CaseStudy> s = parse_cases(csv_of(rows), "t.csv");
    return s ? "(parsed)" : s.error().message;
}

const std::vector<Row> good_rows = {
    {"R1", "CT", "c1", "0", "2.5", ""},  {"R1", "CT", "c2", "2", "-1e1", "1"},
    {"R1", "CT", "c3", "1", "+4", "0"},  {"R2", "CT", "c1", "0", "-0", ""},
    {"R2", "CT", "c2", "2", "3", ""},    {"R2", "CT", "c3", "1", "0.5", "1"},
};

TEST(CaseColumns, TextsGiveTheStudyTheCsvReaderMakes)
{
    const auto csv = parse_cases(csv_of(good_rows), "t.csv");
    ASSERT_TRUE(csv.ok()) << csv.error().message;
    const auto columns = make_cases(text_columns(good_rows), "df");
    ASSERT_TRUE(columns.ok()) << columns.error().message;
    expect_same_study(*columns, *csv);
    EXPECT_EQ(columns->source, "df");
    EXPECT_TRUE(columns->numbered_by_row);
    for (std::size_t i = 0; i < columns->readings.size(); ++i) {
        EXPECT_EQ(columns->readings[i].line, static_cast<int>(i) + 1);  // data rows
        EXPECT_EQ(csv->readings[i].line, static_cast<int>(i) + 2);      // file lines
    }
    EXPECT_FALSE(std::signbit(columns->readings[3].rating));  // -0 is 0, as in the file
}

// A data frame's columns of numbers and of booleans, with missing values as
// NaN or flags, give the same study as their texts.
TEST(CaseColumns, NumbersAndTruthValuesGiveTheSameStudy)
{
    CaseColumns c = text_columns(good_rows);
    c.truth.values = std::vector<double>{0, 2, 1, 0, 2, 1};
    c.rating.values = std::vector<double>{2.5, -10, 4, -0.0, 3, 0.5};
    c.localized = Column{std::vector<double>{nan, 1, 0, nan, nan, 1}, {}};
    const auto numbers = make_cases(c, "df");
    ASSERT_TRUE(numbers.ok()) << numbers.error().message;
    const auto csv = parse_cases(csv_of(good_rows), "t.csv");
    expect_same_study(*numbers, *csv);

    c.localized = Column{std::vector<bool>{false, true, false, false, false, true},
                         {true, false, false, true, true, false}};
    const auto booleans = make_cases(c, "df");
    ASSERT_TRUE(booleans.ok()) << booleans.error().message;
    expect_same_study(*booleans, *csv);

    // Without a localized column the study is ROC data, as without the column
    // in the file.
    c.localized.reset();
    const auto roc = make_cases(c, "df");
    ASSERT_TRUE(roc.ok());
    EXPECT_FALSE(roc->has_localization);
    EXPECT_EQ(roc->readings[1].localization, Localization::unknown);

    // Truth values as truth and rating: false 0, true 1.
    c.truth.values = std::vector<bool>{false, true, true, false, true, true};
    c.rating.values = std::vector<bool>{false, true, true, false, false, true};
    const auto flags = make_cases(c, "df");
    ASSERT_TRUE(flags.ok()) << flags.error().message;
    EXPECT_EQ(flags->truth, (std::vector<int>{0, 1, 1}));
    EXPECT_EQ(flags->readings[1].rating, 1.0);
    EXPECT_EQ(flags->readings[4].rating, 0.0);
}

// Texts as spreadsheets and data frames write them (1.0, TRUE/FALSE in any
// case, NA) give the study of the plain texts, as in the file.
TEST(CaseColumns, ForgivingTextsGiveTheSameStudy)
{
    const auto plain = make_cases(text_columns(good_rows), "df");
    ASSERT_TRUE(plain.ok()) << plain.error().message;
    const std::vector<Row> variants[] = {
        {{"R1", "CT", "c1", "0.0", "2.5", "NA"},
         {"R1", "CT", "c2", "2.0", "-1e1", "1.0"},
         {"R1", "CT", "c3", "1.0", "+4", "0.0"},
         {"R2", "CT", "c1", "0", "-0", "na"},
         {"R2", "CT", "c2", "2.00", "3", ""},
         {"R2", "CT", "c3", "01", "0.5", "1"}},
        {{"R1", "CT", "c1", "FALSE", "2.5", ""},
         {"R1", "CT", "c2", "2", "-1e1", "TRUE"},
         {"R1", "CT", "c3", "true", "+4", "False"},
         {"R2", "CT", "c1", "false", "-0", "NA"},
         {"R2", "CT", "c2", "2", "3", ""},
         {"R2", "CT", "c3", "True", "0.5", "true"}},
    };
    for (const std::vector<Row>& rows : variants) {
        const auto texts = make_cases(text_columns(rows), "df");
        ASSERT_TRUE(texts.ok()) << texts.error().message;
        expect_same_study(*texts, *plain);
    }

    // Truth values in the localized column of a target case; a missing one is
    // not recorded.
    CaseColumns c = text_columns(good_rows);
    c.localized = Column{std::vector<bool>{true, true, false, false, true, true},
                         {true, false, false, true, true, false}};
    const auto flags = make_cases(c, "df");
    ASSERT_TRUE(flags.ok()) << flags.error().message;
    expect_same_study(*flags, *plain);

    // A decimal comma is refused with the rule.
    c.rating.values = std::vector<std::string>{"2,5", "1", "1", "1", "1", "1"};
    EXPECT_EQ(error_of(c), "df: row 1: rating \"2,5\" is not a number; write numbers with a "
                           "decimal point, not a comma");
}

// A fault in a field: the reader's text after "t.csv:LINE: " and after
// "df: row ROW: ", the row one less than the line (the header is line 1).
TEST(CaseColumnsErrors, FieldFaultsHaveTheReadersTexts)
{
    const std::string truth_range = " is not 0 (no target) or a target class from 1 to 15";
    struct Fault {
        Row row;
        std::string text;
    };
    const Fault faults[] = {
        {{"R1", "CT", "c9", "0", "abc", ""}, "rating \"abc\" is not a number"},
        {{"R1", "CT", "c9", "0", "", ""}, "rating \"\" is not a number"},
        {{"R1", "CT", "c9", "0", "inf", ""}, "rating \"inf\" is not a finite number"},
        {{"R1", "CT", "c9", "2.5", "1", ""}, "truth \"2.5\"" + truth_range},
        {{"R1", "CT", "c9", "NA", "1", ""}, "truth \"NA\"" + truth_range},
        {{"R1", "CT", "c9", "1", "1", "2.0"},
         "localized \"2.0\" is not 1 (correct), 0 (incorrect) or empty (not recorded)"},
        {{"R1", "CT", "c9", "1", "1", "N/A"},
         "localized \"N/A\" is not 1 (correct), 0 (incorrect) or empty (not recorded)"},
        {{"R1", "CT", "c9", "0", "1", "TRUE"},
         "localized is \"TRUE\" but case \"c9\" has no target (truth 0); leave localized empty "
         "for a case without a target"},
        {{"R1", "CT", "c9", "16", "1", ""}, "truth \"16\"" + truth_range},
        {{"R1", "CT", "c9", "1", "1", "yes"},
         "localized \"yes\" is not 1 (correct), 0 (incorrect) or empty (not recorded)"},
        {{"R1", "CT", "c9", "0", "1", "0"},
         "localized is \"0\" but case \"c9\" has no target (truth 0); leave localized empty for "
         "a case without a target"},
        {{"R1", "", "c9", "0", "1", ""},
         "empty modality name; every row needs a reader, a modality and a case"},
        {{"", "CT", "c9", "x", "1", ""},  // the name first, as in the file
         "empty reader name; every row needs a reader, a modality and a case"},
    };
    for (const Fault& f : faults) {
        std::vector<Row> rows = good_rows;
        rows.insert(rows.begin() + 2, f.row);  // data row 3, file line 4
        EXPECT_EQ(csv_error_of(rows), "t.csv:4: " + f.text);
        EXPECT_EQ(error_of(text_columns(rows)), "df: row 3: " + f.text);
    }
}

// Faults between rows name the earlier row as the file names the earlier line.
TEST(CaseColumnsErrors, FaultsBetweenRowsNameBothRows)
{
    std::vector<Row> twice = good_rows;
    twice.push_back({"R1", "CT", "c2", "2", "5", ""});
    EXPECT_EQ(csv_error_of(twice),
              "t.csv:8: reader \"R1\", modality \"CT\", case \"c2\" is rated a second time "
              "(first on line 3); give one row per reader, modality and case");
    EXPECT_EQ(error_of(text_columns(twice)),
              "df: row 7: reader \"R1\", modality \"CT\", case \"c2\" is rated a second time "
              "(first on row 2); give one row per reader, modality and case");

    std::vector<Row> truths = good_rows;
    truths.push_back({"R3", "CT", "c3", "0", "5", ""});
    EXPECT_EQ(error_of(text_columns(truths)),
              "df: row 7: case \"c3\" has truth 0 here but truth 1 on row 3; a case has one "
              "truth in all its rows");

    // The binning names rows too.
    std::vector<Row> mixed = {{"R1", "CT", "c1", "0", "1", ""}, {"R1", "CT", "c2", "1", "2", ""},
                              {"R1", "CT", "c3", "1", "2", "1"}, {"R1", "CT", "c4", "1", "3", "1"}};
    const auto study = make_cases(text_columns(mixed), "df");
    ASSERT_TRUE(study.ok());
    const auto binned = bin_study(*study, {});
    ASSERT_FALSE(binned.ok());
    EXPECT_NE(binned.error().message.find("with localization (row 3) and without (row 2)"),
              std::string::npos)
        << binned.error().message;
}

// Numbers and truth values are shown as "1.5", "inf", "true" where the file
// would show its text; a missing value is an empty field.
TEST(CaseColumnsErrors, NumbersAndMissingValues)
{
    const std::string truth_range = " is not 0 (no target) or a target class from 1 to 15";
    CaseColumns c = text_columns(good_rows);
    c.truth.values = std::vector<double>{0, 2, 1.5, 0, 2, 1};
    EXPECT_EQ(error_of(c), "df: row 3: truth \"1.5\"" + truth_range);
    c.truth.values = std::vector<double>{0, 2, 1, 0, -1, 1};
    EXPECT_EQ(error_of(c), "df: row 5: truth \"-1\"" + truth_range);
    c.truth.values = std::vector<double>{0, 2, 1, nan, 2, 1};
    EXPECT_EQ(error_of(c), "df: row 4: truth \"\"" + truth_range);
    c.truth.values = std::vector<double>{0, 2, 1, 0, 2, 1};
    c.truth.missing = {false, true, false, false, false, false};
    EXPECT_EQ(error_of(c), "df: row 2: truth \"\"" + truth_range);
    c.truth.missing.clear();

    c.rating.values = std::vector<double>{1, 2, -inf, 4, 5, 6};
    EXPECT_EQ(error_of(c), "df: row 3: rating \"-inf\" is not a finite number");
    c.rating.values = std::vector<double>{1, 2, 3, 4, nan, 6};
    EXPECT_EQ(error_of(c), "df: row 5: rating \"\" is not a number");
    c.rating.values = std::vector<double>{1, 2, 3, 4, 5, 6};

    c.localized = Column{std::vector<double>{nan, 0.5, nan, nan, nan, nan}, {}};
    EXPECT_EQ(error_of(c), "df: row 2: localized \"0.5\" is not 1 (correct), 0 (incorrect) or "
                           "empty (not recorded)");
    c.localized = Column{std::vector<bool>{true, true, true, true, true, true}, {}};
    EXPECT_EQ(error_of(c), "df: row 1: localized is \"true\" but case \"c1\" has no target "
                           "(truth 0); leave localized empty for a case without a target");
}

// Columns of different lengths, flags that do not match their values, no
// rows, names that are not UTF-8.
TEST(CaseColumnsErrors, ColumnShapesAndNames)
{
    CaseColumns c = text_columns(good_rows);
    c.truth.values = std::vector<double>{0, 2, 1};
    EXPECT_EQ(error_of(c), "df: the column \"truth\" has 3 values but the column \"reader\" has "
                           "6; every column needs one value per row");
    c = text_columns(good_rows);
    c.case_name.pop_back();
    EXPECT_EQ(error_of(c), "df: the column \"case\" has 5 values but the column \"reader\" has 6; "
                           "every column needs one value per row");
    c = text_columns(good_rows);
    c.localized->missing = {true};
    EXPECT_EQ(error_of(c), "df: the column \"localized\" has 1 missing-value flags for 6 values; "
                           "give one flag per value or none");
    EXPECT_EQ(error_of(text_columns({})), "df: the columns hold no rows; give one row per rating");
    c = text_columns(good_rows);
    c.modality[4] = "C\xE9";
    EXPECT_EQ(error_of(c), "df: row 5: the modality name is not UTF-8 text; give names as UTF-8");
}

}  // namespace
