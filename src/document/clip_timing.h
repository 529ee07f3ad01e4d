// Which frames of a clip become frames of the animation, and for how long
// each shows. A clip is sampled at moments `1 / fps` apart from its start;
// each moment shows the source frame on screen then, and a source frame seen
// at several moments in a row becomes one frame that stays longer. Without
// a rate the source's own frames are taken with their own timing.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace zell {

class ClipTiming {
public:
    // `fps` 0: the source's own frames. `end` 0: to the clip's end.
    ClipTiming(double fps, double start, double end)
        : fps_(fps), start_(start), end_(end > 0 ? end : std::numeric_limits<double>::infinity())
    {
    }

    // Offers the source frame on screen from `from` until `until` (seconds,
    // in clip order). True when it begins a frame of the animation, with
    // that frame's moment in `begin` (seconds from the start).
    bool shows(double from, double until, double& begin)
    {
        const double clippedUntil = std::min(until, end_);
        if (clippedUntil <= start_ || from >= end_)
            return false;
        if (fps_ > 0) {
            // The next sampling moment; each frame takes the moments it covers.
            while (moment(slot_) < from - kSlack)
                ++slot_;
            if (moment(slot_) >= clippedUntil - kSlack)
                return false;
            begin = moment(slot_) - start_;
            while (moment(slot_) < clippedUntil - kSlack)
                ++slot_;
        } else {
            begin = std::max(from, start_) - start_;
            // A frame within the same hundredth as the one before replaces
            // nothing a GIF delay could show.
            if (hasBegun_ && centiseconds(begin) <= lastBegin_)
                return false;
        }
        lastBegin_ = centiseconds(begin);
        hasBegun_ = true;
        return true;
    }

    // Whether frames from `from` on can still show.
    bool before(double from) const { return from < end_; }
    double end() const { return end_; }
    double start() const { return start_; }

    // The delay, in hundredths, of a frame shown from `begin` until `next`
    // (both from the start): rounded on the clip's own clock, so that
    // rounding errors do not add up over a long clip.
    static uint16_t delay(double begin, double next)
    {
        const int64_t d = centiseconds(next) - centiseconds(begin);
        return uint16_t(std::clamp<int64_t>(d, 0, 65535));
    }

    static int64_t centiseconds(double seconds) { return std::llround(seconds * 100); }

private:
    // Containers round times to the millisecond: a frame of a 30 a second
    // clip at 0.067 s is the one meant for the moment 1/15 s.
    static constexpr double kSlack = 0.001;

    double moment(uint64_t slot) const { return start_ + double(slot) / fps_; }

    double fps_;
    double start_;
    double end_;
    uint64_t slot_ = 0;
    int64_t lastBegin_ = 0;
    bool hasBegun_ = false;
};

} // namespace zell
