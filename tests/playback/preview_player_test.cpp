#include "playback/preview_player.h"

#include <gtest/gtest.h>

#include "document/frame_list.h"
#include "support/test_document.h"
#include "support/test_support.h"

namespace zell {
namespace {

class FakeClock : public Clock {
public:
    uint32_t now = 1000;
    uint32_t nowMs() override { return now; }
};

class FakeHost : public PlayerHost {
public:
    FrameList frames;
    ColorTable global;
    int speedPosition = 0, stoppedAt = -1, busy = 0;
    std::vector<int> shown;

    const Frame* frame(int index) override { return frames.frameAt(index); }
    const ColorTable& globalTable() override { return global; }
    int speed() override { return speedPosition; }
    void setBusy(bool on) override { busy += on ? 1 : -1; }
    void frameShown(int index) override { shown.push_back(index); }
    void stopped(int next) override { stoppedAt = next; }
};

class Player : public ::testing::Test {
protected:
    test::ScratchDir dir;
    WorkDirectory work{dir.str()};
    FakeClock clock;
    FakeHost host;
    PreviewPlayer player{host, clock};

    void SetUp() override { player.setScreen(4, 4); }
    Frame& add(uint32_t color, uint16_t delay, uint32_t size = 4)
    {
        auto frame = test::solidFrame(work, size, size, color);
        frame->delay = delay;
        host.frames.insert(host.frames.count(), frame);
        return *host.frames.frameAt(host.frames.count() - 1);
    }
    void advance(uint32_t ms)
    {
        clock.now += ms;
        player.tick();
    }
    uint32_t screenPixel(uint32_t x, uint32_t y) { return test::pixelRgb(player.canvas().displayCanvas.data(), x, y); }
};

TEST_F(Player, OneFrameStaysStillAndDelayZeroFollowsOnTheNextTick)
{
    add(0xFF0000, 10);
    EXPECT_FALSE(player.start());
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(screenPixel(0, 0), 0x0000FFu) << "frame 0 is composed all the same (blue-green-red order)";

    host.frames.frameAt(0)->delay = 0;
    add(2, 0);
    host.shown.clear();
    ASSERT_TRUE(player.start());
    player.tick();
    EXPECT_EQ(host.shown, std::vector<int>({0, 1}));
}

// The disposals are checked against giflib with the compositor; here only
// the wrap, which starts again from the background.
TEST_F(Player, WrapStartsFromTheBackground)
{
    player.setBackground(0xFFFFFF);
    add(0x102030, 10, 2);
    add(0x405060, 10, 4);
    ASSERT_TRUE(player.start());
    advance(100);
    advance(100);
    EXPECT_EQ(host.shown, (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(screenPixel(3, 3), 0xFFFFFFu);
}

// The wait is the delay scaled by 2^speed, rounded so that a frame is never
// early, and the speed is read again on every tick, also during a wait.
// Fast forward waits 24 ms of animation time.
TEST_F(Player, SpeedScalesTheWaitAndIsReadOnEveryTick)
{
    for (uint32_t c = 1; c <= 4; ++c)
        add(c, 10);
    host.speedPosition = -2;
    ASSERT_TRUE(player.start());
    EXPECT_EQ(host.busy, 1);
    EXPECT_EQ(player.msUntilDue(), 400u);
    advance(399);
    EXPECT_EQ(host.shown, std::vector<int>({0})) << "100 ms at 1/4 speed is 400 ms";
    advance(1);
    host.speedPosition = 2;
    advance(24);
    EXPECT_EQ(host.shown.size(), 2u);
    EXPECT_EQ(player.msUntilDue(), 1u);
    advance(1);
    EXPECT_EQ(host.shown, std::vector<int>({0, 1, 2})) << "25 ms at 4x";

    player.pressMode(kModeFastForward);
    host.speedPosition = -2;
    advance(95);
    EXPECT_EQ(host.shown.size(), 3u);
    advance(1);
    EXPECT_EQ(host.shown.size(), 4u) << "24 ms of animation time is 96 ms at 1/4";
    player.pressMode(kModeFastForward); // off: the next frame comes at once
    player.tick();
    EXPECT_EQ(host.shown.size(), 5u);
}

// A frame that waits for the user has no timer; with a delay too, input
// ends the wait early. Stopping points at the frame after the one shown.
TEST_F(Player, UserInputWaitsAndStopping)
{
    add(1, 0).userInput = 2;
    add(2, 50).userInput = 2;
    add(3, 10);
    ASSERT_TRUE(player.start());
    EXPECT_EQ(player.msUntilDue(), kWaitForInput);
    advance(100000);
    EXPECT_EQ(host.shown.size(), 1u);
    EXPECT_TRUE(player.userInput());
    player.tick();
    EXPECT_EQ(host.shown, std::vector<int>({0, 1}));
    advance(200);
    EXPECT_TRUE(player.userInput());
    player.tick();
    EXPECT_EQ(host.shown.size(), 3u);
    EXPECT_FALSE(player.userInput()) << "frame 2 does not wait for input";

    player.toggle();
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(host.stoppedAt, 0);
    EXPECT_EQ(host.busy, 0);
}

} // namespace
} // namespace zell
