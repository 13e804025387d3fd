// The progress bar's line and redraw rule: elapsed time and the time left,
// and at most one redraw per tenth of a second.
#include <gtest/gtest.h>

#include "study/progress_text.h"

namespace {

using namespace varnel::study::cli;
using std::chrono::milliseconds;

TEST(ProgressBar, ElapsedAndLeft)
{
    // 10 of 40 steps in 5 s: 15 s left at that pace.
    EXPECT_EQ(progress_line("fitting", 10, 40, 5.2),
              "fitting [==========                              ] 10/40  0:05 elapsed, about "
              "0:15 left");
    // Nothing done yet: no estimate; everything done: nothing left.
    EXPECT_EQ(progress_line("fitting", 0, 40, 0.7).substr(51), "0/40  0:00 elapsed");
    EXPECT_EQ(progress_line("fitting", 40, 40, 75).substr(51), "40/40  1:15 elapsed");
    EXPECT_EQ(duration_text(59.99), "0:59");
    EXPECT_EQ(duration_text(754), "12:34");
    EXPECT_EQ(duration_text(3723), "1:02:03");
    EXPECT_EQ(duration_text(-1), "0:00");
    // Pace kept over a long run: 1 of 1000 steps in 4 s, 3996 s left.
    EXPECT_NE(progress_line("x", 1, 1000, 4).find("about 1:06:36 left"), std::string::npos);
}

TEST(ProgressBar, AtMostTenRedrawsASecond)
{
    EXPECT_TRUE(redraw_due(false, milliseconds(0), 1, 10));    // first draw
    EXPECT_FALSE(redraw_due(true, milliseconds(99), 2, 10));   // too soon
    EXPECT_TRUE(redraw_due(true, milliseconds(100), 2, 10));
    EXPECT_TRUE(redraw_due(true, milliseconds(1), 10, 10));    // the last step always
    // Steps every 10 ms for one second: 10 redraws (plus the first and last).
    int draws = 0;
    bool drawn = false;
    milliseconds last{0};
    for (int step = 1; step <= 100; ++step) {
        const milliseconds now{10 * step};
        if (redraw_due(drawn, now - last, step, 100)) {
            ++draws;
            drawn = true;
            last = now;
        }
    }
    EXPECT_LE(draws, 12);
    EXPECT_GE(draws, 10);
}

}  // namespace
