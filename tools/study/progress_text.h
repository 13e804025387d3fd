// The progress bar's line and its redraw rule, apart from the terminal so
// that they can be tested.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

namespace varnel::study::cli {

// The bar redraws at most this often (about ten times a second), and after
// the last step.
inline constexpr std::chrono::milliseconds redraw_interval{100};
inline constexpr int bar_width = 40;

// Whether to redraw now: never drawn yet, the interval since the last draw
// has passed, or every step is done.
inline bool redraw_due(bool drawn, std::chrono::steady_clock::duration since_last, int done,
                       int total)
{
    return !drawn || since_last >= redraw_interval || (total > 0 && done >= total);
}

// "0:07", "12:34", "1:02:03": whole seconds, rounded down.
inline std::string duration_text(double seconds)
{
    const long s = seconds > 0 && std::isfinite(seconds) ? static_cast<long>(seconds) : 0;
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

// "fitting [=====...     ] 12/40  0:05 elapsed, about 0:12 left": the time
// left from the mean time per step so far (none before the first step).
inline std::string progress_line(const char* what, int done, int total, double elapsed_seconds)
{
    const int filled = total > 0 ? bar_width * std::min(done, total) / total : bar_width;
    std::string line = std::string(what) + " [" + std::string(filled, '=') +
                       std::string(bar_width - filled, ' ') + "] " + std::to_string(done) + "/" +
                       std::to_string(total) + "  " + duration_text(elapsed_seconds) + " elapsed";
    if (done > 0 && done < total)
        line += ", about " + duration_text(elapsed_seconds * (total - done) / done) + " left";
    return line;
}

}  // namespace varnel::study::cli
