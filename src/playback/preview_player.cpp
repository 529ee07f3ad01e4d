#include "playback/preview_player.h"

#include <algorithm>
#include <string>

#include "document/screen_composer.h"

namespace zell {

namespace {

// The status format comes from a replaceable text table, so it is never
// handed to printf: its first %s and %d are substituted here.
std::string formatWait(const std::string& format, const std::string& prefix, int ms)
{
    std::string out = format;
    if (size_t at = out.find("%s"); at != std::string::npos)
        out.replace(at, 2, prefix);
    if (size_t at = out.find("%d"); at != std::string::npos)
        out.replace(at, 2, std::to_string(ms));
    return out;
}

} // namespace

PreviewPlayer::PreviewPlayer(PlayerHost& host, Clock& clock, PlayerTexts texts)
    : host_(host), clock_(clock), texts_(std::move(texts))
{
}

bool PreviewPlayer::startScreen()
{
    return compositor_.start(screenWidth_, screenHeight_, background_);
}

bool PreviewPlayer::prepare(const Frame& frame)
{
    RasterImage& picture = compositor_.picture();
    // Only what the screen shows of the frame is ever drawn.
    prepared_ = loadGifImage(picture, frame.workFile, 0, shownExtent(screenWidth_, frame.left),
                                     shownExtent(screenHeight_, frame.top));
    if (prepared_ && !frame.useLocalColorTable)
        picture.applyColorTable(&host_.globalTable());
    prepared_ = prepared_ && compositor_.prepare(frame.transparentIndex);
    return prepared_;
}

bool PreviewPlayer::show(const Frame& frame)
{
    // A frame that could not be prepared is skipped; the screen stays as it was.
    if (!prepared_)
        return false;
    prepared_ = false;
    return compositor_.draw(frame.disposal, frame.left, frame.top);
}

uint32_t PreviewPlayer::waitFor(const Frame& frame)
{
    if (mode_ == kModeFastForward) {
        setStatus(texts_.fastForward);
        return 24;
    }
    if (mode_ == kModeFrameStep) {
        setStatus(texts_.frameStep);
        return 1024;
    }
    if (frame.userInput && frame.delay == 0)
        return kWaitForInput;
    return uint32_t(frame.delay) * 10;
}

uint32_t PreviewPlayer::msUntilDue() const
{
    if (!playing_ || waitMs_ == kWaitForInput)
        return kWaitForInput;
    const int speed = host_.speed();
    // The real time whose scaled value first reaches the wait.
    const uint64_t due = speed < 0 ? uint64_t(waitMs_) << -speed : (uint64_t(waitMs_) + (1u << speed) - 1) >> speed;
    const uint32_t elapsed = clock_.nowMs() - waitStart_;
    return due > elapsed ? uint32_t(std::min<uint64_t>(due - elapsed, kWaitForInput - 1)) : 0;
}

void PreviewPlayer::setStatus(std::string text)
{
    statusText_ = std::move(text);
}

void PreviewPlayer::toggle()
{
    if (playing_)
        stop();
    else
        start();
}

bool PreviewPlayer::start()
{
    if (playing_)
        return true;
    nextIndex_ = 0;
    const Frame* first = host_.frame(0);
    if (!first || !startScreen() || !prepare(*first) || !show(*first))
        return false;
    waitsForInput_ = first->userInput != 0;
    host_.frameShown(0);
    waitMs_ = waitFor(*first);
    waitStart_ = clock_.nowMs();
    nextIndex_ = 1;
    if (const Frame* second = host_.frame(1)) {
        prepare(*second);
        playing_ = true;
        host_.setBusy(true);
    }
    animationFlag_ = playing_;
    return playing_;
}

void PreviewPlayer::stop()
{
    if (playing_) {
        host_.setBusy(false);
        playing_ = false;
        host_.stopped(nextIndex_);
        setStatus({});
        host_.statusChanged(statusText_);
    }
    animationFlag_ = false;
}

void PreviewPlayer::tick()
{
    if (!playing_)
        return;
    const int speed = host_.speed();
    const uint32_t elapsed = clock_.nowMs() - waitStart_;
    const uint32_t scaled = speed < 0 ? elapsed >> -speed : elapsed << speed;
    uint32_t remaining = 0;
    if (waitMs_ > scaled) {
        remaining = waitMs_ - scaled;
    } else {
        const Frame* frame = host_.frame(nextIndex_);
        if (!frame) {
            stop();
            return;
        }
        show(*frame); // a frame that failed to load leaves the display as it was
        waitsForInput_ = frame->userInput != 0;
        host_.frameShown(nextIndex_);
        remaining = uint32_t(frame->delay) * 10;
        waitMs_ = waitFor(*frame);
        waitStart_ = clock_.nowMs();
        ++nextIndex_;
        if (!host_.frame(nextIndex_)) {
            nextIndex_ = 0;
            if (!host_.frame(0) || !startScreen()) {
                stop();
                return;
            }
        }
        if (const Frame* next = host_.frame(nextIndex_))
            prepare(*next);
    }
    if (mode_ == kModeNormal) {
        if (waitMs_ == kWaitForInput) {
            setStatus(texts_.waitingForInput);
        } else {
            setStatus(formatWait(texts_.waitFormat, waitsForInput_ ? texts_.waitingForInput : std::string(),
                                 int(remaining)));
        }
    }
    host_.statusChanged(statusText_);
}

bool PreviewPlayer::userInput()
{
    if (!playing_ || !waitsForInput_)
        return false;
    waitMs_ = 0;
    return true;
}

void PreviewPlayer::pressMode(int mode)
{
    mode_ = mode_ == mode ? kModeNormal : mode;
    if (mode_ == kModeFastForward) {
        waitMs_ = 24;
        setStatus(texts_.fastForward);
    } else if (mode_ == kModeFrameStep) {
        waitMs_ = 1024;
        setStatus(texts_.frameStep);
    } else {
        waitMs_ = 0;
    }
    waitStart_ = clock_.nowMs();
}

} // namespace zell
