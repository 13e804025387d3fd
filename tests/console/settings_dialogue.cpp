// Setup dialogue: answers, defaults, limits, and the console text up to the fit.
#include <gtest/gtest.h>

#include <string>

#include "console/settings_dialogue.h"
#include "console/terminal.h"
#include "console/units.h"
#include "support/console_capture.h"
#include "support/rating_tables.h"
#include "varnel/report.h"

using varnel::FitSettings;
using varnel::ModelSpec;
using varnel::Study;

namespace {

const std::string opening =
    "Input parameters of fitting procedure\n"
    "Stopping criterion (0.001 default): "
    "Do you want to enter Chance-CL parmeters?(y=yes): ";

// A study of the given dimensions with a case in every category of every
// distribution, so that the whole study is fitted as asked.
Study study_of(int ncat, int ntarget, int noloc)
{
    Study s = empty_study(ncat, ntarget, noloc);
    for (int i = 1; i <= ncat; ++i)
        for (int m = 1; m <= ntarget + 1; ++m)
            s.correct(i, m) = 1;
    return s;
}

// What the dialogue settled: its console text, the settings it returned and
// the model they make of the study (chance_entered, the raised NOLOC).
struct dialogue_result {
    std::string out;
    FitSettings settings;
    ModelSpec spec;
};

// The model the settings make of the study.
ModelSpec spec_of(const Study& study, const FitSettings& settings)
{
    auto prepared = varnel::prepare(study, settings);
    EXPECT_TRUE(prepared.ok()) << prepared.error().message;
    return prepared.ok() ? prepared->spec : ModelSpec{};
}

// Runs the dialogue on the given answers for a study of the given dimensions.
dialogue_result dialogue(int ncat, int ntarget, int noloc, const std::string& answers)
{
    const Study study = study_of(ncat, ntarget, noloc);
    dialogue_result r;
    r.out = run_with_console(answers,
                             [&] { r.settings = varnel::console::ask_fit_settings(study); });
    r.spec = spec_of(study, r.settings);
    return r;
}

TEST(Dialogue, StoppingCriterionHasDefaultAndFloor)
{
    struct crit_case {
        const char* answer;
        double expected;
    };
    const crit_case cases[] = {
        {"", 0.001},          {"0.01", 0.01},       {"  2.5e-3 more", 0.0025},
        {"0", 1e-08},         {"-5", 1e-08},        {"1e-9", 1e-08},
        {"1e-8", 1e-08},      {"abc", 0.001},       {"nan", 0.001},
        {"inf", 0.001},       {"-inf", 0.001},      {"1e999", 0.001},
        {"x0.5", 0.001},
    };
    for (const auto& cc : cases) {
        SCOPED_TRACE(std::string("answer '") + cc.answer + "'");
        const dialogue_result r = dialogue(5, 1, 1, std::string(cc.answer) + "\n");
        EXPECT_DOUBLE_EQ(cc.expected, r.settings.criterion);
    }
}

TEST(Dialogue, DecliningChanceValuesResetsThemToZero)
{
    for (const char* answer : {"\n", "n\n", "x y\n", "   \n"}) {
        SCOPED_TRACE(answer);
        const dialogue_result r = dialogue(5, 3, 1, std::string("\n") + answer + "\n");
        EXPECT_EQ(std::string::npos, r.out.find("Chance CL"));
        for (int t = 1; t <= 3; ++t)
            EXPECT_EQ(0.0, r.settings.chance[t - 1]);
        EXPECT_EQ(0.0, r.settings.chance[3]) << "only the targets of the run are set";
        EXPECT_FALSE(r.spec.chance_entered);
    }
}

TEST(Dialogue, ChanceValuesAreCheckedAndCarriedForward)
{
    struct chance_case {
        const char* name;
        int ntarget;
        const char* answers;  // after the stopping criterion
        double q1, q2, q3;
        bool qflag;
        const char* prompts;  // the chance-value part of the console text
    };
    const chance_case cases[] = {
        {"out of range asked again", 1, "y\n1.5\n0.3\n", 0.3, 0, 0, true,
         "Chance CL [1] (0.00 default): Must be 0.0 to 1.0\n"
         "Chance CL [1] (0.00 default): "},
        {"negative asked again", 1, " Y\n-0.1\n1\n", 1.0, 0, 0, true,
         "Chance CL [1] (0.00 default): Must be 0.0 to 1.0\n"
         "Chance CL [1] (0.00 default): "},
        {"first value is the default of the rest", 3, "y\n0.25\n\n\n", 0.25, 0.25, 0.25, true,
         "Chance CL [1] (0.00 default): Chance CL [2] (0.25 default): "
         "Chance CL [3] (0.25 default): "},
        {"each value its own", 3, "y\n0.5\n0\n1\n", 0.5, 0.0, 1.0, true,
         "Chance CL [1] (0.00 default): Chance CL [2] (0.50 default): "
         "Chance CL [3] (0.00 default): "},
        {"zeros leave qflag false", 2, "y\n0\n0.0\n", 0.0, 0.0, 0, false,
         "Chance CL [1] (0.00 default): Chance CL [2] (0.00 default): "},
        {"nan, inf and overflow keep the default", 3, "y\nnan\n-inf\n1e999\n", 0, 0, 0, false,
         "Chance CL [1] (0.00 default): Chance CL [2] (0.00 default): "
         "Chance CL [3] (0.00 default): "},
        {"text keeps the carried default", 2, "y\n0.4\nabc\n", 0.4, 0.4, 0, true,
         "Chance CL [1] (0.00 default): Chance CL [2] (0.40 default): "},
        {"end of input after a refusal takes the default", 2, "y\n7\n", 0.0, 0.0, 0, false,
         "Chance CL [1] (0.00 default): Must be 0.0 to 1.0\n"
         "Chance CL [1] (0.00 default): Chance CL [2] (0.00 default): "},
        {"end of input mid-way keeps the carried value", 3, "y\n0.75\n", 0.75, 0.75, 0.75, true,
         "Chance CL [1] (0.00 default): Chance CL [2] (0.75 default): "
         "Chance CL [3] (0.75 default): "},
    };
    for (const auto& cc : cases) {
        SCOPED_TRACE(cc.name);
        // No localization question at the end.
        const dialogue_result r = dialogue(5, cc.ntarget, 5, std::string("\n") + cc.answers);
        EXPECT_EQ(opening + cc.prompts +
                      "\nProcedure will fit ROC data (no categories have localization data)\n",
                  r.out);
        const double q[3] = {cc.q1, cc.q2, cc.q3};
        for (int t = 1; t <= cc.ntarget; ++t)
            EXPECT_DOUBLE_EQ(q[t - 1], r.spec.q(t)) << "target " << t;
        EXPECT_EQ(cc.qflag, r.spec.chance_entered);
    }
}

TEST(Dialogue, NolocCanOnlyBeRaisedUpToNcat)
{
    struct noloc_case {
        const char* answer;
        int expected;
    };
    // Two of six categories without localization.
    const noloc_case cases[] = {
        {"1", 2},  {"7", 2},   {"6", 6},          {"2", 2},           {"3", 3},
        {"", 2},   {"abc", 2}, {"  4 cats", 4},   {"5.9", 5},         {"-3", 2},
        {"4294967299", 2},     {"99999999999999999999", 2},           {"-4294967294", 2},
    };
    for (const auto& nc : cases) {
        SCOPED_TRACE(std::string("answer '") + nc.answer + "'");
        const dialogue_result r = dialogue(6, 1, 2, std::string("\n\n") + nc.answer + "\n");
        EXPECT_EQ(opening +
                      "\nData has 2 categories without localization.\n"
                      "To change this, enter a number between 2 and 6 (2 default):",
                  r.out);
        EXPECT_EQ(nc.expected, r.spec.noloc);
        EXPECT_EQ(6, r.spec.categories);
    }
}

TEST(Dialogue, CategoryNoticeWording)
{
    struct notice_case {
        int ncat, noloc;
        const char* text;
    };
    const notice_case cases[] = {
        {3, 0, "\nData has 0 categories without localization.\n"
               "To change this, enter a number between 0 and 3 (0 default):"},
        {3, 1, "\nData has 1 category without localization.\n"
               "To change this, enter a number between 1 and 3 (1 default):"},
        {17, 12, "\nData has 12 categories without localization.\n"
                 "To change this, enter a number between 12 and 17 (12 default):"},
        {4, 4, "\nProcedure will fit ROC data (no categories have localization data)\n"},
    };
    for (const auto& nc : cases) {
        SCOPED_TRACE(nc.text);
        const Study study = study_of(nc.ncat, 1, nc.noloc);
        FitSettings settings;
        char rest[80] = "";
        const std::string out = run_with_console("\n\n" + std::to_string(nc.ncat) + "\n", [&] {
            settings = varnel::console::ask_fit_settings(study);
            varnel::console::read_answer(rest, sizeof rest);
        });
        EXPECT_EQ(opening + nc.text, out);
        EXPECT_EQ(nc.ncat, spec_of(study, settings).noloc);
        // With the ROC-only notice the third answer is left unread.
        EXPECT_EQ(nc.ncat == nc.noloc ? std::to_string(nc.ncat) : "", std::string(rest));
    }
}

TEST(Dialogue, EndOfInputAtEveryPromptTakesTheDefaults)
{
    // Input that ends after 0, 1, 2 ... answers; no prompt may loop.
    const std::string answers[] = {"0.01\n", "y\n", "1.5\n", "0.2\n", "\n", "5\n"};
    for (int given = 0; given <= 6; ++given) {
        SCOPED_TRACE("answers given: " + std::to_string(given));
        std::string script;
        for (int k = 0; k < given; ++k)
            script += answers[k];
        const dialogue_result r = dialogue(5, 2, 1, script);
        EXPECT_DOUBLE_EQ(given >= 1 ? 0.01 : 0.001, r.settings.criterion);
        EXPECT_DOUBLE_EQ(given >= 4 ? 0.2 : 0.0, r.spec.q(1));
        EXPECT_DOUBLE_EQ(given >= 4 ? 0.2 : 0.0, r.spec.q(2));
        EXPECT_EQ(given >= 6 ? 5 : 1, r.spec.noloc);
        EXPECT_NE(std::string::npos, r.out.find("(1 default):")) << "the dialogue reached its end";
    }
}

TEST(Dialogue, LongAnswerIsCutNotCarriedToTheNextPrompt)
{
    // 79 characters are read; the rest of the line is dropped with it.
    const std::string long_line = "0.5" + std::string(76, '0') + "123";
    const dialogue_result r = dialogue(5, 1, 1, long_line + "\ny\n0.5\n3\n");
    EXPECT_DOUBLE_EQ(0.5, r.settings.criterion);
    EXPECT_DOUBLE_EQ(0.5, r.spec.q(1));
    EXPECT_EQ(3, r.spec.noloc);
}

// The whole console text of the one-reader example study up to the fit:
// dialogue answered with empty lines (or no input at all), then the echo.
TEST(ConsoleRun, ExampleStudyUpToTheFit)
{
    const std::string expected =
        "Input parameters of fitting procedure\n"
        "Stopping criterion (0.001 default): "
        "Do you want to enter Chance-CL parmeters?(y=yes): "
        "\nData has 1 category without localization.\n"
        "To change this, enter a number between 1 and 5 (1 default):" +
        reader_a_echo();
    for (const char* answers : {"\n\n\n", ""}) {
        SCOPED_TRACE(answers[0] ? "empty lines" : "no input");
        FitSettings settings;
        varnel::FitCounts counts;
        const std::string out = run_with_console(answers, [&] {
            const Study study = varnel::without_empty_categories(reader_a_study());
            settings = varnel::console::ask_fit_settings(study);
            auto prepared = varnel::prepare(study, settings);
            ASSERT_TRUE(prepared.ok()) << prepared.error().message;
            counts = prepared->counts;
            varnel::report::write_echo(varnel::console::unit(varnel::console::console_unit),
                                       *prepared);
        });
        EXPECT_EQ(expected, out);
        EXPECT_DOUBLE_EQ(0.001, settings.criterion);
        // Fit tables of the example: target first, 80 cases; non-target last, 100.
        EXPECT_EQ(80.0, counts.images[0]);
        EXPECT_EQ(100.0, counts.images[1]);
        EXPECT_EQ(10.0, counts.correct(1, 1));
        EXPECT_EQ(6.0, counts.incorrect(2, 1));
        EXPECT_EQ(25.0, counts.correct(2, 2));
        EXPECT_EQ(0.0, counts.incorrect(2, 2));
    }
}

}  // namespace
