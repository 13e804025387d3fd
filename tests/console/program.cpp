// The built program as a user runs it: command line, data-file faults, the
// trace file, the closing file dialogue, and the rules that keep the data
// file (and the trace file) from ever being deleted or overwritten.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace {

const std::string prompt = "Enter file name: ";
const std::string file_question = "Do you wish a file of this data? (y=yes):";
const std::string curves_line = " File will contain ROC and LROC curves\n";
const std::string differ = "Output file must differ from the input and iteration data files\n";
const std::string not_regular = "Output file must be a regular file\n";
// Answers to the setup dialogue of the example study (one target): the
// stopping criterion, the chance question and the category question.
const std::string setup_defaults = "\n\n\n";

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A working directory holding a copy of the example study as study.lrc.
struct study_dir : temp_dir {
    std::string data;
    study_dir()
    {
        data = read_file(source_file("examples/reader_a.lrc"));
        write("study.lrc", data);
    }
    program_result run(const std::vector<std::string>& args, const std::string& answers) const
    {
        return run_program(args, answers, path);
    }
    bool data_intact() const { return read_file(file("study.lrc")) == data; }
};

TEST(Program, UsageTextAndCommandLineFaults)
{
    study_dir dir;
    program_result r = dir.run({"/?"}, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "                                varnel, Ver. 1.04\n"
              "\n"
              "Syntax: varnel [/D] [/F]   [Input_file]\n"
              " Options:\n"
              "\tD ── output iteration Data to file  <No>\n"
              "\tF ── iteration ouput File name [loopdata.txt]\n");
    EXPECT_EQ(r.err, "");

    struct fault {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<fault> cases = {
        {{"/D", "/d"}, "Option /D appears more than once\n"},
        {{"/F", "study.lrc"}, "Missing value for option /F\n"},
        {{"study.lrc", "other.lrc"}, "Too many arguments\n"},
        {{"/Q"}, "Unknown option /Q\n"},
        {{"'study.lrc'd"}, "Bad value for argument 1\n"},
        {{std::string(200, 'a')}, "Bad value for argument 1\n"},
    };
    for (const fault& c : cases) {
        r = dir.run(c.args, "");
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.out.substr(0, c.message.size() + 33), c.message + std::string(32, ' ') + "v");
    }
    // Nothing was read or created.
    EXPECT_FALSE(file_exists(dir.file("loopdata.txt")));
}

TEST(Program, ArgumentEchoThenTheRun)
{
    study_dir dir;
    program_result r = dir.run({"/!", "study.lrc"}, "");
    EXPECT_EQ(r.status, 0);
    const std::string echo = " varnel /! study.lrc";
    EXPECT_EQ(r.out.substr(0, 62), echo + std::string(61 - echo.size(), ' ') + "\n");
}

TEST(Program, DataFileDialogue)
{
    study_dir dir;
    // No argument: the first output is the prompt; end of input ends the run.
    program_result r = dir.run({}, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, prompt);

    r = dir.run({"missing.lrc"}, "\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "File does not exist -- re-enter or press return to exit\n" + prompt);

    // The name given at the prompt is read and the run completes with every
    // default when the input ends.
    r = dir.run({}, "study.lrc\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, prompt.size()), prompt);
    EXPECT_TRUE(contains(r.out, "Reader A"));
    EXPECT_EQ(r.out.substr(r.out.size() - file_question.size()), file_question);
    EXPECT_EQ(r.err, "");
}

TEST(Program, DataFileFaultsEndWithStatus1)
{
    temp_dir dir;
    struct fault {
        std::string content;
        std::string out;
        bool on_stderr;
    };
    const std::string head = "LROCDATA\nOBSERVER: o\nCONDITION: c\nREPLICATION: r\n";
    const std::vector<fault> cases = {
        {"LROC\n", "Input file has errors (1)", false},
        {head + "NDIST: 16\nNCAT: 3\n", "Input file has errors (9)", false},
        {head + "NDIST: 1\nNCAT: 18\n", "Input file has errors (10)", false},
        {head + "NDIST: 1\nNCAT: 2\nNOLOC: 0\nNon\n 1                  -3 4\n", "Input file has errors (8)",
         false},
        {head + "NDIST: 1\nNCAT: 2\nNOLOC: 0\nNon\n", "", true},
    };
    for (const fault& c : cases) {
        dir.write("bad.lrc", c.content);
        program_result r = run_program({"/D", "bad.lrc"}, "", dir.path);
        EXPECT_EQ(r.status, 1) << c.content;
        EXPECT_EQ(r.out, c.out) << c.content;
        if (c.on_stderr)
            EXPECT_EQ(r.err.rfind("Error reading input file: ", 0), 0u) << r.err;
        else
            EXPECT_EQ(r.err, "");
        // The trace file is bound only after a successful read.
        EXPECT_FALSE(file_exists(dir.file("loopdata.txt")));
    }
}

TEST(Program, CategoryStops)
{
    temp_dir dir;
    const std::string head = "LROCDATA\nOBSERVER: o\nCONDITION: c\nREPLICATION: r\nNDIST: 1\nNCAT: 3\n"
                             "NOLOC: 3\nNon-target\n";
    // Only one category holds any case.
    dir.write("one.lrc", head + " 1                  0\n 2                  9\n 3                  0\n"
                                "Target\n 1                  0\n 2                  7\n"
                                " 3                  0\n");
    program_result r = run_program({"one.lrc"}, "", dir.path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "There are less than two non-empty categories\n");

    dir.write("empty.lrc", head + " 1                  4\n 2                  9\n 3                  0\n"
                                  "Target\n 1                  0\n 2                  0\n"
                                  " 3                  0\n");
    r = run_program({"empty.lrc"}, "", dir.path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Target distribution 1 has no cases\n");
}

TEST(Program, TraceFileRules)
{
    study_dir dir;
    // /D alone: loopdata.txt is recreated at each run, never appended to.
    dir.write("loopdata.txt", "old trace content\n");
    program_result r = dir.run({"/D", "study.lrc"}, "");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string trace = read_file(dir.file("loopdata.txt"));
    EXPECT_FALSE(contains(trace, "old trace content"));
    EXPECT_FALSE(trace.empty());
    r = dir.run({"/D", "study.lrc"}, "");
    EXPECT_EQ(read_file(dir.file("loopdata.txt")), trace);

    // /F without /D: the named file is neither created nor touched.
    r = dir.run({"/Fnew.txt", "study.lrc"}, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(file_exists(dir.file("new.txt")));
    dir.write("kept.txt", "keep me\n");
    r = dir.run({"/Fkept.txt", "study.lrc"}, "");
    EXPECT_EQ(read_file(dir.file("kept.txt")), "keep me\n");

    // The trace file named on the command line with its own name.
    r = dir.run({"/D/Ftrace.txt", "study.lrc"}, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir.file("trace.txt")), trace);
}

TEST(Program, TraceFileNeverReplacesTheDataFile)
{
    study_dir dir;
    std::filesystem::create_symlink("study.lrc", dir.file("link.lrc"));
    std::filesystem::create_hard_link(dir.file("study.lrc"), dir.file("hard.lrc"));
    std::filesystem::create_directory(dir.file("subdir"));
    struct refused {
        std::vector<std::string> args;
        std::string answers, out;
    };
    const std::string same = "Iteration data file must differ from the input file\n";
    const std::string irregular = "Iteration data file must be a regular file\n";
    const std::vector<refused> cases = {
        {{"/D", "/Fstudy.lrc", "study.lrc"}, "", same},
        // The data file's name is asked for only after the command line.
        {{"/D", "/Fstudy.lrc"}, "study.lrc\n", prompt + same},
        {{"/D", "/F'./study.lrc'", "study.lrc"}, "", same},
        {{"/D", "/Flink.lrc", "study.lrc"}, "", same},
        {{"/D", "/Fhard.lrc", "study.lrc"}, "", same},
        {{"/D", "/Fstudy.lrc", "link.lrc"}, "", same},
        {{"/D", "/Fsubdir", "study.lrc"}, "", irregular},
        {{"/D", "/F'/dev/null'", "study.lrc"}, "", irregular},
    };
    for (const refused& c : cases) {
        program_result r = dir.run(c.args, c.answers);
        EXPECT_EQ(r.status, 1) << c.args[1];
        EXPECT_EQ(r.out, c.out) << c.args[1];
        EXPECT_TRUE(dir.data_intact()) << c.args[1];
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("subdir")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.lrc")));
    EXPECT_EQ(read_file(dir.file("hard.lrc")), dir.data);
}

TEST(Program, FileDialogueAnswers)
{
    study_dir dir;
    // Yes, with leading white space or as "Yes": the file is written.
    for (const std::string yes : {"y", " Yes", "\tY"}) {
        std::filesystem::remove(dir.file("out.txt"));
        program_result r = dir.run({"study.lrc"}, setup_defaults + yes + "\nout.txt\n");
        EXPECT_EQ(r.status, 0) << yes;
        EXPECT_TRUE(contains(r.out, file_question + prompt + curves_line)) << yes;
        std::string report = read_file(dir.file("out.txt"));
        EXPECT_TRUE(contains(report, "Reader A")) << yes;
    }
    const std::string report = read_file(dir.file("out.txt"));
    EXPECT_GT(report.size(), 1000u);

    // No, or yes with an empty name: no file and no curves line.
    for (const std::string answers : {"n\nout2.txt\n", "x\n", "\n", "", "y\n\n", "y\n"}) {
        program_result r = dir.run({"study.lrc"}, setup_defaults + answers);
        EXPECT_EQ(r.status, 0) << answers;
        EXPECT_FALSE(contains(r.out, curves_line)) << answers;
        EXPECT_FALSE(file_exists(dir.file("out2.txt"))) << answers;
    }

    // An existing output file is replaced, not appended to.
    dir.write("old.txt", std::string(20000, 'z'));
    program_result r = dir.run({"study.lrc"}, setup_defaults + "y\nold.txt\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir.file("old.txt")), report);
}

TEST(Program, OutputFileNeverReplacesTheDataOrTraceFile)
{
    study_dir dir;
    std::filesystem::create_symlink("study.lrc", dir.file("link.lrc"));
    std::filesystem::create_directory(dir.file("subdir"));
    struct answer {
        std::string name;
        std::string message;
    };
    const std::vector<answer> cases = {
        {"study.lrc", differ},   {"./study.lrc", differ},    {"link.lrc", differ},
        {"trace.txt", differ},   {"subdir", not_regular},    {"/dev/null", not_regular},
    };
    for (const answer& c : cases) {
        // The refused name is asked for again; then a good name is taken.
        program_result r =
            dir.run({"/D", "/Ftrace.txt", "study.lrc"}, setup_defaults + "y\n" + c.name + "\nout.txt\n");
        EXPECT_EQ(r.status, 0) << c.name;
        EXPECT_TRUE(contains(r.out, file_question + prompt + c.message + prompt + curves_line)) << c.name;
        EXPECT_TRUE(dir.data_intact()) << c.name;
        EXPECT_TRUE(file_exists(dir.file("out.txt"))) << c.name;
        EXPECT_FALSE(contains(read_file(dir.file("trace.txt")), "Distibution parameter values"))
            << c.name;
        std::filesystem::remove(dir.file("out.txt"));

        // A refused name followed by an empty answer: no file at all.
        r = dir.run({"/D", "/Ftrace.txt", "study.lrc"}, setup_defaults + "y\n" + c.name + "\n");
        EXPECT_EQ(r.status, 0) << c.name;
        EXPECT_TRUE(contains(r.out, c.message + prompt)) << c.name;
        EXPECT_FALSE(contains(r.out, curves_line)) << c.name;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("subdir")));

    // Without /D the trace file name is an ordinary output file name.
    dir.write("trace.txt", "x");
    program_result r = dir.run({"/Ftrace.txt", "study.lrc"}, setup_defaults + "y\ntrace.txt\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, curves_line));
    EXPECT_TRUE(contains(read_file(dir.file("trace.txt")), "Reader A"));
}

TEST(Program, LongConsoleAnswersAreCutAndTheirRestDiscarded)
{
    study_dir dir;
    // A 200-character answer to the yes/no question beginning with y is yes;
    // its rest must not be taken as the file name.
    program_result r =
        dir.run({"study.lrc"}, setup_defaults + "y" + std::string(199, 'q') + "\nout.txt\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(file_exists(dir.file("out.txt")));
    EXPECT_TRUE(contains(r.out, curves_line));
}

}  // namespace
