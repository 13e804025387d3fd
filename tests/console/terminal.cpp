// Console answer lines: line ends removed, over-long answers cut without
// leaving their rest for the next question, end of input as an empty answer.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "console/terminal.h"
#include "support/output_support.h"

TEST(Console, AnswerLines)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    std::string in = temp_path("answers");
    {
        std::FILE* f = std::fopen(in.c_str(), "w");
        ASSERT_NE(nullptr, f);
        std::fputs("yes\r\n", f);
        std::fputs((std::string(300, 'x') + "\n").c_str(), f);
        std::fputs("\nlast", f);
        std::fclose(f);
    }
    // The child reads four answers (and one past the end) and reports them on
    // standard error as [text:count].
    EXPECT_EXIT(
        {
            if (!std::freopen(in.c_str(), "r", stdin))
                std::exit(2);
            char buf[8];
            for (int k = 0; k < 5; ++k) {
                int n = varnel::console::read_answer(buf, sizeof buf);
                std::fprintf(stderr, "[%s:%d]", buf, n);
            }
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "^\\[yes:3\\]\\[xxxxxxx:7\\]\\[:0\\]\\[last:4\\]\\[:0\\]$");
    std::remove(in.c_str());
}
