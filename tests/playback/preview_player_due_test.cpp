// How long a window may sleep before the player has work: the remaining wait
// at the speed of the moment, so a timer armed with it neither fires early
// nor misses a speed change.
#include <gtest/gtest.h>

#include "document/frame_list.h"
#include "playback/preview_player.h"
#include "support/test_support.h"
#include "support/work_frames.h"

namespace zell {
namespace {

class Clockwork : public Clock, public PlayerHost {
public:
    uint32_t now = 5000;
    int speedPosition = 0;
    FrameList frames;
    ColorTable global;

    uint32_t nowMs() override { return now; }
    const Frame* frame(int index) override { return frames.frameAt(index); }
    const ColorTable& globalTable() override { return global; }
    int speed() override { return speedPosition; }
};

TEST(PlayerDue, TheRemainingWaitScaledBySpeedAndNoneWhileWaitingForInput)
{
    test::ScratchDir dir;
    WorkDirectory work(dir.str());
    Clockwork host;
    for (uint16_t delay : {10, 3, 0}) {
        auto frame = test::solidFrame(work, 2, 2, 0x102030);
        frame->delay = delay;
        frame->userInput = delay == 0 ? 2 : 0;
        host.frames.insert(host.frames.count(), frame);
    }
    PreviewPlayer player(host, host);
    player.setScreen(2, 2);
    EXPECT_EQ(player.msUntilDue(), kWaitForInput) << "stopped";
    ASSERT_TRUE(player.start());
    EXPECT_EQ(player.msUntilDue(), 100u);
    host.now += 30;
    EXPECT_EQ(player.msUntilDue(), 70u);
    host.speedPosition = -1; // half speed: 30 ms have counted as 15 of 100
    EXPECT_EQ(player.msUntilDue(), 170u);
    host.speedPosition = 2; // four times: 120 of 100, due at once
    EXPECT_EQ(player.msUntilDue(), 0u);
    player.tick();
    host.speedPosition = 1; // the next frame's 30 ms at twice the speed
    EXPECT_EQ(player.msUntilDue(), 15u);
    host.now += 15;
    player.tick();
    EXPECT_EQ(player.msUntilDue(), kWaitForInput) << "frame 3 waits for the user";
}

} // namespace
} // namespace zell
