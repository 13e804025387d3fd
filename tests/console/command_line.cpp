// Command-line processor: switches, values, positional arguments, fault
// messages and the usage text, byte for byte.  Each case runs in a child
// process so that the processor's program-long state starts afresh.
#include "console/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/child_run.h"

namespace {

// Outcome of one command line against the program's own tables.
struct parsed {
    int ret = 0;
    int debug = 0;
    std::string debugfile;
    std::string inputfile;
    std::string out;  // everything written to standard output
};

std::vector<char*> make_argv(std::vector<std::string>& words)
{
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    return argv;
}

// Runs process_args with the program's tables (D flag, F text, one optional
// text argument) on argv0 followed by words.
parsed parse(std::vector<std::string> words, const std::string& argv0 = "build/varnel")
{
    words.insert(words.begin(), argv0);
    child_result r = run_in_child([&] {
        static int debug = 0;
        static char debugfile[257] = "loopdata.txt";
        static char inputfile[257] = "";
        OPTION options[2] = {
            {'D', nullptr, &debug, "output iteration Data to file"},
            {'F', "[^\t]", debugfile, "iteration ouput File name"},
        };
        ARGUMENT arguments[1] = {{"[^\t]", inputfile, "Input_file", nullptr, 0}};
        std::vector<char*> argv = make_argv(words);
        int ret = process_args(static_cast<int>(words.size()), argv.data(), 2, options, 1, 0,
                               arguments, "varnel, Ver. 1.04");
        std::fflush(stdout);
        std::fprintf(stderr, "%d\n%d\n%s\n%s\n", ret, debug, debugfile, inputfile);
        return 0;
    });
    parsed p;
    p.out = r.out;
    char f[300] = "", i[300] = "";
    std::sscanf(r.err.c_str(), "%d\n%d\n%299[^\n]\n%299[^\n]", &p.ret, &p.debug, f, i);
    p.debugfile = f;
    p.inputfile = i;
    return p;
}

// The usage text of the program's tables with the given settings.
std::string usage(const std::string& args = "   [Input_file]", const std::string& debug = "No",
                  const std::string& debugfile = "loopdata.txt", const std::string& name = "varnel")
{
    return std::string(32, ' ') + "varnel, Ver. 1.04\n" + "\nSyntax: " + name + " [/D] [/F]" + args +
           "\n Options:\n"
           "\tD \xE2\x94\x80\xE2\x94\x80 output iteration Data to file  <" +
           debug + ">\n\tF \xE2\x94\x80\xE2\x94\x80 iteration ouput File name [" + debugfile + "]\n";
}

TEST(CommandLine, UsageTextForHelpSwitchIsExact)
{
    parsed p = parse({"/?"});
    EXPECT_EQ(p.ret, -1);
    EXPECT_EQ(p.out,
              "                                varnel, Ver. 1.04\n"
              "\n"
              "Syntax: varnel [/D] [/F]   [Input_file]\n"
              " Options:\n"
              "\tD ── output iteration Data to file  <No>\n"
              "\tF ── iteration ouput File name [loopdata.txt]\n");
}

TEST(CommandLine, ProgramNameIsPathTailCutAtFirstDot)
{
    EXPECT_EQ(parse({"/?"}, "varnel").out, usage());
    EXPECT_EQ(parse({"/?"}, "/usr/local/bin/varnel.exe").out, usage());
    EXPECT_EQ(parse({"/?"}, "C:\\tools\\VARNEL.v2.EXE").out, usage("   [Input_file]", "No",
                                                                        "loopdata.txt", "VARNEL"));
}

TEST(CommandLine, AcceptedLinesStoreTheirValues)
{
    struct accepted {
        std::vector<std::string> words;
        int ret, debug;
        const char* debugfile;
        const char* inputfile;
    };
    const std::string v123(123, 'v');
    const std::vector<accepted> cases = {
        {{}, 0, 0, "loopdata.txt", ""},
        {{"/D"}, 0, 1, "loopdata.txt", ""},
        {{"/d"}, 0, 1, "loopdata.txt", ""},
        {{"/Fiter.txt", "data.lrc"}, 1, 0, "iter.txt", "data.lrc"},
        {{"/f=iter.txt"}, 0, 0, "iter.txt", ""},
        {{"/D/Fname"}, 0, 1, "name", ""},
        {{"/D  /Fname"}, 0, 1, "name", ""},
        {{"/F'a/b.txt'"}, 0, 0, "a/b.txt", ""},
        {{"/F'x y'/D"}, 0, 1, "x y", ""},
        {{"data.lrc/D"}, 1, 1, "loopdata.txt", "data.lrc"},
        {{"'dir/data.lrc'"}, 1, 0, "loopdata.txt", "dir/data.lrc"},
        {{"my data.lrc"}, 1, 0, "loopdata.txt", "my data.lrc"},
        {{""}, 1, 0, "loopdata.txt", ""},
        {{v123}, 1, 0, "loopdata.txt", v123.c_str()},
        {{"/F" + v123}, 0, 0, v123.c_str(), ""},
    };
    for (const accepted& c : cases) {
        parsed p = parse(c.words);
        std::string line = c.words.empty() ? "(none)" : c.words[0];
        EXPECT_EQ(p.ret, c.ret) << line;
        EXPECT_EQ(p.debug, c.debug) << line;
        EXPECT_EQ(p.debugfile, c.debugfile) << line;
        EXPECT_EQ(p.inputfile, c.inputfile) << line;
        EXPECT_EQ(p.out, "") << line;
    }
}

TEST(CommandLine, FaultsGiveTheirMessageThenTheUsageText)
{
    struct rejected {
        std::vector<std::string> words;
        std::string message;
    };
    const std::string long_word(124, 'w');
    const std::vector<rejected> cases = {
        {{"/D", "/D"}, "Option /D appears more than once\n"},
        {{"/D/d"}, "Option /D appears more than once\n"},
        {{"/F", "name"}, "Missing value for option /F\n"},
        {{"/F="}, "Missing value for option /F\n"},
        {{"/F/D"}, "Missing value for option /F\n"},
        {{"/F/tmp/trace.txt"}, "Missing value for option /F\n"},
        {{"/Dx"}, "No value permitted for option /D\n"},
        {{"/X"}, "Unknown option /X\n"},
        {{"/x"}, "Unknown option /X\n"},
        {{"/"}, "No option specified after /\n"},
        {{"/D/"}, "No option specified after /\n"},
        {{"a.lrc", "b.lrc"}, "Too many arguments\n"},
        {{"/F''"}, "Bad value for option F\n"},
        {{"/Fa\tb"}, "Bad value for option F\n"},
        {{"a\tb"}, "Bad value for argument 1\n"},
        // A value longer than the 123-character work copy is refused.
        {{"/F" + long_word}, "Bad value for option F\n"},
        {{long_word}, "Bad value for argument 1\n"},
        // A quoted value followed by text that is not a switch is a bad
        // value, never a hidden switch.
        {{"/F'x'yz"}, "Bad value for option F\n"},
        {{"/?"}, ""},
    };
    for (const rejected& c : cases) {
        parsed p = parse(c.words);
        EXPECT_EQ(p.ret, -1) << c.words[0];
        EXPECT_EQ(p.out.substr(0, c.message.size()), c.message) << c.words[0];
        EXPECT_EQ(p.out.substr(c.message.size()).substr(0, 32), std::string(32, ' ')) << c.words[0];
    }
}

TEST(CommandLine, QuotedArgumentFollowedByTextSetsNoSwitch)
{
    parsed p = parse({"'data'xd"});
    EXPECT_EQ(p.ret, -1);
    EXPECT_EQ(p.debug, 0);
    EXPECT_EQ(p.out.substr(0, 25), "Bad value for argument 1\n");
}

TEST(CommandLine, FirstFaultStopsTheWalk)
{
    // The second /X would be another fault; only the first is reported.
    parsed p = parse({"/Q", "/X", "/D"});
    EXPECT_EQ(p.out, "Unknown option /Q\n" + usage());
    EXPECT_EQ(p.debug, 0);
}

TEST(CommandLine, UsageTextShowsSettingsReadSoFar)
{
    EXPECT_EQ(parse({"/D", "/Ftrace.txt", "study.lrc", "/?"}).out,
              usage("   study.lrc", "Yes", "trace.txt"));
    EXPECT_EQ(parse({"/Fx.txt", "/Fy.txt"}).out,
              "Option /F appears more than once\n" + usage("   [Input_file]", "No", "x.txt"));
    // A given argument is shown through a copy of at most 99 characters.
    const std::string v120(120, 'v');
    // (The long value also pushes the syntax line past 80 columns, so the
    // options are shown by their first and last letter.)
    std::string text = parse({v120, "/?"}).out;
    std::string line = "\nSyntax: varnel [/D] ... [/F]  " + std::string(99, 'v') + "\n";
    EXPECT_NE(text.find(line), std::string::npos) << text;
    // An option's text setting is shown whole, however long.
    EXPECT_EQ(parse({"/F" + v120, "/?"}).out, usage("   [Input_file]", "No", v120));
}

TEST(CommandLine, ArgumentEchoFillsTheLineToColumn61)
{
    parsed p = parse({"/!", "data.lrc"});
    EXPECT_EQ(p.ret, 1);
    EXPECT_EQ(p.inputfile, "data.lrc");
    std::string echo = " varnel /! data.lrc";
    EXPECT_EQ(p.out, echo + std::string(61 - echo.size(), ' ') + "\n");

    // Beyond column 61 the filling starts on a new line.
    std::string word(60, 'a');
    p = parse({"/!", word});
    echo = " varnel /! " + word;
    EXPECT_EQ(p.out, echo + "\n" + std::string(61, ' ') + "\n");

    // The echo comes after the fault message and before the usage text.
    p = parse({"/!", "/X"});
    echo = " varnel /! /X";
    EXPECT_EQ(p.out, "Unknown option /X\n" + echo + std::string(61 - echo.size(), ' ') + "\n" + usage());
}

// A processor with tables of every value kind.
struct kinds_result {
    int ret = 0;
    std::string out;
    int n = 0;
    long m = 0;
    unsigned u = 0, b = 0;
    char c = ' ';
    int first = 0;
    int list[3] = {0, 0, 0};
};

kinds_result parse_kinds(std::vector<std::string> words, int reqargs = 0, bool syntax_off = false,
                         const std::string& argv0 = "prog")
{
    words.insert(words.begin(), argv0);
    child_result r = run_in_child([&] {
        static int n = 0;
        static long m = 0;
        static unsigned short u = 0;
        static unsigned char b = 0;
        static char c = ' ';
        static int first = 0;
        static int list[3] = {0, 0, 0};
        OPTION options[5] = {
            {'n', "n", &n, "int"}, {'m', "M", &m, "long"}, {'u', "u", &u, "short"},
            {'b', "b", &b, "byte"}, {'c', "!", &c, "char"},
        };
        ARGUMENT arguments[2] = {{"d", &first, "first", nullptr, 0},
                                 {"A", list, "rest", "n", static_cast<int>(sizeof(int))}};
        if (syntax_off)
            set_proc_args_syntax_off();
        std::vector<char*> argv = make_argv(words);
        int ret = process_args(static_cast<int>(words.size()), argv.data(), 5, options, 2, reqargs,
                               arguments, "");
        std::fflush(stdout);
        std::fprintf(stderr, "%d %d %ld %u %u %d %d %d %d %d\n", ret, n, m, unsigned(u),
                     unsigned(b), int(c), first, list[0], list[1], list[2]);
        return 0;
    });
    kinds_result k;
    k.out = r.out;
    int c = 0;
    std::sscanf(r.err.c_str(), "%d %d %ld %u %u %d %d %d %d %d", &k.ret, &k.n, &k.m, &k.u, &k.b,
                &c, &k.first, &k.list[0], &k.list[1], &k.list[2]);
    k.c = static_cast<char>(c);
    return k;
}

TEST(CommandLineKinds, NumbersAreConvertedWholeAndInRange)
{
    kinds_result k = parse_kinds({"/n0x1F", "/M=-5000000000", "/u65535", "/b0x10012", "/cq"});
    EXPECT_EQ(k.ret, 0);
    EXPECT_EQ(k.n, 31);
    EXPECT_EQ(k.m, -5000000000L);
    EXPECT_EQ(k.u, 65535u);
    EXPECT_EQ(k.b, 0x12u);
    EXPECT_EQ(k.c, 'Q');
    EXPECT_EQ(parse_kinds({"/n017"}).n, 15);

    const std::vector<std::pair<std::string, std::string>> bad = {
        {"/n12x", "Bad value for option N\n"},      {"/n4294967296", "Bad value for option N\n"},
        {"/u65536", "Bad value for option U\n"},    {"/u-1", "Bad value for option U\n"},
        {"/b0x112", "Bad value for option B\n"},    {"/b-1", "Bad value for option B\n"},
        {"/cab", "Bad value for option C\n"},       {"/m", "Missing value for option /M\n"},
    };
    for (const auto& [word, message] : bad) {
        kinds_result r = parse_kinds({word});
        EXPECT_EQ(r.ret, -1) << word;
        EXPECT_EQ(r.out.substr(0, message.size()), message) << word;
    }
}

TEST(CommandLineKinds, CollectingArgumentTakesEveryLaterWord)
{
    kinds_result k = parse_kinds({"7", "1", "2", "3"});
    EXPECT_EQ(k.ret, 4);
    EXPECT_EQ(k.first, 7);
    EXPECT_EQ(k.list[0], 1);
    EXPECT_EQ(k.list[1], 2);
    EXPECT_EQ(k.list[2], 3);
    k = parse_kinds({"7", "1", "zz"});
    EXPECT_EQ(k.ret, -1);
    EXPECT_EQ(k.out.substr(0, 25), "Bad value for argument 3\n");
}

TEST(CommandLineKinds, RequiredArgumentsAndCompressedSyntaxLine)
{
    kinds_result k = parse_kinds({}, 2);
    EXPECT_EQ(k.ret, -1);
    EXPECT_EQ(k.out.substr(0, 53), "\nSyntax: prog [/N] [/M] [/U] [/B] [/C]   first  rest\n");
    // With a long program name the line would reach 80 columns: the options
    // are shown by the first and the last letter only.
    const std::string name(49, 'p');
    k = parse_kinds({}, 2, false, name);
    const std::string line = "\nSyntax: " + name + " [/N] ... [/C]  first  rest\n";
    EXPECT_EQ(k.out.substr(0, line.size()), line);
    k = parse_kinds({"5"}, 2);
    EXPECT_EQ(k.out.substr(0, 18), "Too few arguments\n");
    k = parse_kinds({""}, 2);
    EXPECT_EQ(k.out.substr(0, 30), "Missing value for argument 1\n\n");
    k = parse_kinds({"/x"}, 0, true);
    EXPECT_EQ(k.out, "Unknown option /X\n");
    k = parse_kinds({}, 0);
    EXPECT_EQ(k.ret, 0);
    EXPECT_EQ(k.out, "");
}

TEST(CommandLineKinds, OptionListShowsEveryKindsSetting)
{
    kinds_result k = parse_kinds({"/n-3", "/c=z", "/?"});
    EXPECT_EQ(k.out,
              "\nSyntax: prog [/N] [/M] [/U] [/B] [/C]   [first]  [rest]\n"
              " Options:\n"
              "\tN ── int [-3]\n"
              "\tM ── long [0]\n"
              "\tU ── short [0]\n"
              "\tB ── byte [0]\n"
              "\tC ── char [Z]\n");
}

}  // namespace
