// Setup dialogue: answers, defaults, limits, and the console text up to the fit.
#include <gtest/gtest.h>

#include <string>

#include "input/confu.h"
#include "model/lroc_common.h"
#include "output/console.h"
#include "support/console_capture.h"
#include "support/rating_tables.h"

namespace {

const std::string opening =
    "Input parameters of fitting procedure\n"
    "Stopping criterion (0.001 default): "
    "Do you want to enter Chance-CL parmeters?(y=yes): ";

void set_dims(int ncat, int ntarget, int noloc)
{
    globals_ = {};
    qvals_ = {};
    globals_.ncat = ncat;
    globals_.ndist = ntarget + 1;
    globals_.noloc = noloc;
    for (int t = 1; t <= 15; ++t)
        qset(t) = -9.0;  // stale values the dialogue must reset
}

// Runs the dialogue on the given answers; returns its console text.
std::string dialogue(const std::string& answers, double& convcrit)
{
    return run_with_console(answers, [&] { getsetup_(convcrit); });
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
        set_dims(5, 1, 1);
        double convcrit = -1.0;
        dialogue(std::string(cc.answer) + "\n", convcrit);
        EXPECT_DOUBLE_EQ(cc.expected, convcrit);
    }
}

TEST(Dialogue, DecliningChanceValuesResetsThemToZero)
{
    for (const char* answer : {"\n", "n\n", "x y\n", "   \n"}) {
        SCOPED_TRACE(answer);
        set_dims(5, 3, 1);
        double convcrit = 0;
        const std::string out = dialogue(std::string("\n") + answer + "\n", convcrit);
        EXPECT_EQ(std::string::npos, out.find("Chance CL"));
        for (int t = 1; t <= 3; ++t)
            EXPECT_EQ(0.0, qset(t));
        EXPECT_EQ(-9.0, qset(4)) << "only the targets of the run are reset";
        EXPECT_FALSE(qvals_.qflag);
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
        set_dims(5, cc.ntarget, 5);  // no localization question at the end
        double convcrit = 0;
        const std::string out = dialogue(std::string("\n") + cc.answers, convcrit);
        EXPECT_EQ(opening + cc.prompts +
                      "\nProcedure will fit ROC data (no categories have localization data)\n",
                  out);
        const double q[3] = {cc.q1, cc.q2, cc.q3};
        for (int t = 1; t <= cc.ntarget; ++t)
            EXPECT_DOUBLE_EQ(q[t - 1], qset(t)) << "target " << t;
        EXPECT_EQ(cc.qflag, qvals_.qflag != 0);
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
        set_dims(6, 1, 2);
        double convcrit = 0;
        const std::string out = dialogue(std::string("\n\n") + nc.answer + "\n", convcrit);
        EXPECT_EQ(opening +
                      "\nData has 2 categories without localization.\n"
                      "To change this, enter a number between 2 and 6 (2 default):",
                  out);
        EXPECT_EQ(nc.expected, globals_.noloc);
        EXPECT_EQ(6, globals_.ncat);
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
        set_dims(nc.ncat, 1, nc.noloc);
        double convcrit = 0;
        char rest[80] = "";
        const std::string out = run_with_console("\n\n" + std::to_string(nc.ncat) + "\n", [&] {
            getsetup_(convcrit);
            console_read_line(rest, sizeof rest);
        });
        EXPECT_EQ(opening + nc.text, out);
        EXPECT_EQ(nc.ncat, globals_.noloc);
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
        set_dims(5, 2, 1);
        double convcrit = 0;
        const std::string out = dialogue(script, convcrit);
        EXPECT_DOUBLE_EQ(given >= 1 ? 0.01 : 0.001, convcrit);
        EXPECT_DOUBLE_EQ(given >= 4 ? 0.2 : 0.0, qset(1));
        EXPECT_DOUBLE_EQ(given >= 4 ? 0.2 : 0.0, qset(2));
        EXPECT_EQ(given >= 6 ? 5 : 1, globals_.noloc);
        EXPECT_NE(std::string::npos, out.find("(1 default):")) << "the dialogue reached its end";
    }
}

TEST(Dialogue, LongAnswerIsCutNotCarriedToTheNextPrompt)
{
    set_dims(5, 1, 1);
    double convcrit = 0;
    // 79 characters are read; the rest of the line is dropped with it.
    const std::string long_line = "0.5" + std::string(76, '0') + "123";
    dialogue(long_line + "\ny\n0.5\n3\n", convcrit);
    EXPECT_DOUBLE_EQ(0.5, convcrit);
    EXPECT_DOUBLE_EQ(0.5, qset(1));
    EXPECT_EQ(3, globals_.noloc);
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
        rating_data d;
        load_reader_a(d);
        ftable freqe{}, freqc{};
        double xnstim[16] = {};
        double convcrit = 0;
        const std::string out = run_with_console(answers, [&] {
            purgconfu_(d.freqnon, d.freq, d.rating);
            getsetup_(convcrit);
            setupconfu_(d.freqnon, d.freq, freqe, freqc, xnstim);
            const int console = 6;
            wrtlroc_(console, d.obsvr, d.cond, d.inum, d.rating, d.freqnon, d.freq);
        });
        EXPECT_EQ(expected, out);
        EXPECT_DOUBLE_EQ(0.001, convcrit);
        // Fit tables of the example: target first, 80 cases; non-target last, 100.
        EXPECT_EQ(80.0, xnstim[0]);
        EXPECT_EQ(100.0, xnstim[1]);
        EXPECT_EQ(10.0, freqc(1, 1));
        EXPECT_EQ(6.0, freqe(2, 1));
        EXPECT_EQ(25.0, freqc(2, 2));
        EXPECT_EQ(0.0, freqe(2, 2));
    }
}

}  // namespace
