// The ordered frames of the animation; list order is output order.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "document/frame.h"

namespace zell {

class WorkDirectory;

class FrameList {
public:
    int count() const { return int(frames_.size()); }
    Frame* frameAt(int i) const
    {
        return i >= 0 && i < count() ? frames_[size_t(i)].get() : nullptr;
    }
    // Takes the frame at position i (clamped to 0..count) and returns its
    // index; -1 leaves the frame with the caller.
    int insert(int i, std::unique_ptr<Frame>& frame);
    // Destroys the frame; its work file goes unless an undo step shares it.
    void remove(int i);
    void clear();
    // Takes a frame out without destroying it.
    std::unique_ptr<Frame> take(int i);
    void move(int from, int to);
    // Puts the frames in a new order: place i takes the frame that was at
    // order[i]. False, the list unchanged, unless `order` names every index
    // exactly once.
    bool reorder(std::span<const int> order);
    // Destroys `removeCount` frames from i on and puts `frames` (taken) in
    // their place, in one pass over the list.
    void replace(int i, int removeCount, std::vector<std::unique_ptr<Frame>>& frames);
    void swap(FrameList& other) noexcept { frames_.swap(other.frames_); }

    // A copy of frame i with a work file of its own, named with the suffix,
    // inserted right after it. Returns its index or -1; the source's file is
    // never touched on failure.
    int duplicate(int i, WorkDirectory& workDirectory, const std::string& nameSuffix = "のｺﾋﾟｰ");

private:
    std::vector<std::unique_ptr<Frame>> frames_;
};

} // namespace zell
