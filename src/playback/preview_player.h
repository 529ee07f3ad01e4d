// Timed playback of the animation without any widget: the window calls
// tick(), which compares the clock against the current frame's wait, scaled
// by the speed read afresh each time; msUntilDue() says when to call it.
#pragma once

#include <cstdint>
#include <string>

#include "document/frame.h"
#include "image/color_table.h"
#include "image/screen_compositor.h"
#include "playback/clock.h"

namespace zell {

// What the player needs of the window around it and of the document.
class PlayerHost {
public:
    virtual ~PlayerHost() = default;
    virtual const Frame* frame(int index) = 0;
    virtual const ColorTable& globalTable() = 0;
    // The speed trackbar: -2..2, a rate of 2^speed.
    virtual int speed() = 0;
    // Playback holds the other windows disabled while it runs.
    virtual void setBusy(bool) {}
    // A frame was composed and is on display; move the slider there.
    virtual void frameShown(int) {}
    // Playback ended; the selection should move to `nextIndex`.
    virtual void stopped(int) {}
    virtual void statusChanged(const std::string&) {}
};

// Texts the player shows, replaceable by the program's string table.
struct PlayerTexts {
    std::string waitFormat = "%s%d ms.";
    std::string waitingForInput = "ユーザー入力待ち中...  ";
    std::string fastForward = "早送り";
    std::string frameStep = "コマ送り";
};

enum PlayerMode : int { kModeNormal = 0, kModeFastForward = 1, kModeFrameStep = 2 };

inline constexpr uint32_t kWaitForInput = 0xFFFFFFFFu;

class PreviewPlayer {
public:
    PreviewPlayer(PlayerHost& host, Clock& clock, PlayerTexts texts = {});

    void setScreen(uint16_t width, uint16_t height) { screenWidth_ = width, screenHeight_ = height; }
    void setBackground(uint32_t color) { background_ = color; }

    // The play button: starts when stopped, stops when playing.
    void toggle();
    bool start();
    void stop();
    void tick();
    // A key or mouse press on the view; true when it ended a wait (consumed).
    bool userInput();
    // The fast-forward and frame-step buttons toggle their mode.
    void pressMode(int mode);

    bool playing() const { return playing_; }
    int nextIndex() const { return nextIndex_; }
    uint32_t waitMs() const { return waitMs_; }
    int mode() const { return mode_; }
    bool waitsForInput() const { return waitsForInput_; }
    bool animationShown() const { return animationFlag_; }
    const std::string& statusText() const { return statusText_; }
    // The composed screen while animating.
    const RasterImage& canvas() const { return compositor_.picture(); }
    // Milliseconds of real time until tick() has work to do at the current
    // speed, so that a window can sleep until then; kWaitForInput while
    // stopped or waiting for the user.
    uint32_t msUntilDue() const;

private:
    bool startScreen();
    bool prepare(const Frame& frame);
    bool show(const Frame& frame);
    uint32_t waitFor(const Frame& frame);
    void setStatus(std::string text);

    PlayerHost& host_;
    Clock& clock_;
    PlayerTexts texts_;
    ScreenCompositor compositor_;
    uint16_t screenWidth_ = 0;
    uint16_t screenHeight_ = 0;
    uint32_t background_ = 0xFFFFFF;
    bool playing_ = false;
    int nextIndex_ = 0;
    uint32_t waitMs_ = 0;
    uint32_t waitStart_ = 0;
    int mode_ = kModeNormal;
    bool waitsForInput_ = false;
    bool animationFlag_ = false;
    bool prepared_ = false;
    std::string statusText_;
};

} // namespace zell
