#include "document/clip_timing.h"

#include <gtest/gtest.h>

#include <vector>

namespace zell {
namespace {

struct Shown {
    std::vector<double> begins;
    std::vector<int> frames; // which source frame each shown one is
};

// Source frames at the given times (each until the next, the last for `last`).
Shown run(ClipTiming timing, const std::vector<double>& times, double last)
{
    Shown out;
    for (size_t i = 0; i < times.size(); ++i) {
        double begin = 0;
        if (timing.shows(times[i], i + 1 < times.size() ? times[i + 1] : times[i] + last, begin)) {
            out.begins.push_back(begin);
            out.frames.push_back(int(i));
        }
    }
    return out;
}

TEST(ClipTiming, SamplingMomentsPickTheFrameOnScreen)
{
    // 30 a second sampled at 10: every third frame, from the start on.
    std::vector<double> times;
    for (int i = 0; i < 30; ++i)
        times.push_back(i / 30.0);
    Shown s = run(ClipTiming(10, 0.25, 0.65), times, 1 / 30.0);
    EXPECT_EQ(s.frames, (std::vector<int>{7, 10, 13, 16}));
    ASSERT_EQ(s.begins.size(), 4u);
    EXPECT_NEAR(s.begins[1], 0.1, 1e-9);

    // Times rounded to the millisecond still meet the moments they mean.
    s = run(ClipTiming(15, 0, 0), {0, 0.033, 0.067, 0.1, 0.133}, 0.033);
    EXPECT_EQ(s.frames, (std::vector<int>{0, 2, 4}));

    // A frame that stays over several moments is one frame, not copies.
    s = run(ClipTiming(25, 0, 0), {0, 1, 1.5}, 0.5);
    EXPECT_EQ(s.frames, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(ClipTiming::delay(s.begins[0], s.begins[1]), 100);
}

} // namespace
} // namespace zell
