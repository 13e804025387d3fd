// Output units: binding files, unit 6 on standard output in order with the
// console prompts, and the program end on any failing open, write or close.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "console/terminal.h"
#include "console/units.h"
#include "support/output_support.h"

using namespace varnel::console;

namespace {

constexpr int file_field = 256;

// Binds unit lun to path the way the program does: the name in a field of
// 256 characters padded with blanks.
void open_test_unit(int lun, const std::string& path)
{
    std::string field = path.substr(0, file_field) + std::string(file_field, ' ');
    open_unit(lun, field.c_str(), file_field);
}

// Sends standard output (the C stream and descriptor 1) to path; used inside
// death-test children only.
void stdout_to(const char* path)
{
    std::fflush(stdout);
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || dup2(fd, 1) < 0)
        std::_Exit(99);
    close(fd);
}

class Units : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "fast"); }
};

}  // namespace

TEST_F(Units, OpenTruncatesAnExistingLongerFile)
{
    std::string path = temp_path("trunc");
    {
        std::FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(nullptr, f);
        std::fputs("an older and much longer report\nwith a second line\n", f);
        std::fclose(f);
    }
    open_test_unit(1, path);
    unit(1).text("('new')");
    close_unit(1);
    EXPECT_EQ("new\n", read_file(path));
    std::remove(path.c_str());
}

TEST_F(Units, NameFieldIsStrippedAndNeverReadPastItsLength)
{
    std::string path = temp_path("field");
    // The name fills a field that has no terminator and no trailing blanks.
    std::string padded = path + "   ";
    char* field = static_cast<char*>(std::malloc(padded.size()));
    std::memcpy(field, padded.data(), padded.size());
    open_unit(3, field, static_cast<int>(padded.size()));
    std::free(field);
    unit(3).text("('trace')");
    close_unit(3);
    EXPECT_EQ("trace\n", read_file(path));
    std::remove(path.c_str());
}

TEST_F(Units, UnitsKeepTheirOwnRecordsAndRebindingClosesTheOldFile)
{
    std::string p1 = temp_path("u1"), p3 = temp_path("u3"), p3b = temp_path("u3b");
    open_test_unit(1, p1);
    open_test_unit(3, p3);
    unit(1).text("('one',2x,$)");
    unit(3).text("('three')");
    unit(1).text("('more')");
    open_test_unit(3, p3b);  // unit 3 now writes to another file; the first is complete
    EXPECT_EQ("three\n", read_file(p3));
    unit(3).text("('again')");
    close_all_units();
    EXPECT_EQ("one  more\n", read_file(p1));
    EXPECT_EQ("again\n", read_file(p3b));
    // A closed unit may be closed again; writing to it is a fault (see below).
    close_unit(3);
    for (const std::string& p : {p1, p3, p3b})
        std::remove(p.c_str());
}

TEST_F(Units, Unit6SharesStandardOutputWithThePrompts)
{
    std::string out = temp_path("stdout");
    std::string trace = temp_path("trace");
    EXPECT_EXIT(
        {
            stdout_to(out.c_str());
            open_test_unit(3, trace);
            unit(3).text("('trace line',$)");
            unit(6).text("(' Report line')");
            prompt("Question? ");
            unit(6).text("('Boundaries',$)");
            unit(6).write("(1x,f8.4,$)", 0.5);
            prompt("[y/n] ");
            unit(6).text("('Tail',$)");
            stop_run("Too few categories left", 0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(" Report line\nQuestion? Boundaries   0.5000[y/n] Tail\nToo few categories left\n",
              read_file(out));
    // The stop flushed and closed the trace unit; its open record stays as written.
    EXPECT_EQ("trace line", read_file(trace));
    std::remove(out.c_str());
    std::remove(trace.c_str());
}

TEST_F(Units, StopWritesOneLineAndKeepsItsStatus)
{
    std::string out = temp_path("stop");
    EXPECT_EXIT(
        {
            stdout_to(out.c_str());
            unit(6).text("('done')");
            stop_run("Integration failed", 3);
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_EQ("done\nIntegration failed\n", read_file(out));
    std::remove(out.c_str());
}

TEST_F(Units, FailuresEndTheProgramWithStatusOne)
{
    // A file that cannot be created.
    EXPECT_EXIT(open_test_unit(1, "/nonexistent-varnel-dir/report.txt"),
                ::testing::ExitedWithCode(1), "varnel: unit 1 .*cannot open");
    // A full disk: the failing write or the final flush ends the run.
    EXPECT_EXIT(
        {
            open_test_unit(1, "/dev/full");
            for (int k = 0; k < 10; ++k)
                unit(1).text("(' a report line')");
            close_unit(1);
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "varnel: unit 1 \\(/dev/full\\).*");
    EXPECT_EXIT(
        {
            open_test_unit(1, "/dev/full");
            for (int k = 0; k < 10000; ++k)
                unit(1).text("(' a report line')");
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "varnel: unit 1 \\(/dev/full\\): write failed");
    EXPECT_EXIT(
        {
            open_test_unit(1, "/dev/full");
            unit(1).text("(' a report line')");
            close_all_units();
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "varnel: unit 1 .*failed");
    // Standard output on a full disk.
    EXPECT_EXIT(
        {
            stdout_to("/dev/full");
            unit(6).text("(' console line')");
            close_all_units();
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "varnel: unit 6 .*failed");
    EXPECT_EXIT(
        {
            stdout_to("/dev/full");
            stop_run("a stop", 0);
        },
        ::testing::ExitedWithCode(1), "varnel: unit 6");
}

TEST_F(Units, ProgramFaultsEndTheProgramWithStatusOne)
{
    EXPECT_EXIT(unit(9).text("('x')"), ::testing::ExitedWithCode(1), "unit 9.*not open");
    EXPECT_EXIT(unit(9).end_record(), ::testing::ExitedWithCode(1), "unit 9.*not open");
    std::string path = temp_path("fault");
    EXPECT_EXIT(
        {
            open_test_unit(1, path);
            unit(1).write("(f8)", 1.0);
        },
        ::testing::ExitedWithCode(1), "faulty format");
    EXPECT_EXIT(
        {
            open_test_unit(1, path);
            unit(1).write("(f8.2)", 1);
        },
        ::testing::ExitedWithCode(1), "faulty format");
    EXPECT_EXIT(open_unit(1, "        ", 8), ::testing::ExitedWithCode(1), "no file name");
    EXPECT_EXIT(open_test_unit(6, path), ::testing::ExitedWithCode(1), "unit 6");
    std::remove(path.c_str());
}
