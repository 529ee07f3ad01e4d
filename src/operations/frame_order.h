// New orders of the frames for the commands that rearrange them, as
// FrameList::reorder takes them: place i takes the frame at order[i]. Rows
// are selected frames in ascending order; the frames not selected keep their
// order among themselves.
#pragma once

#include <span>
#include <vector>

namespace zell {

// The rows moved by `delta`, clamped so that none leaves the list; `applied`
// (optional) gets the delta used, 0 when nothing moves.
std::vector<int> movedOrder(int count, std::span<const int> rows, int delta, int* applied = nullptr);

// The rows in reverse order, each taking the place of its mirror in the
// selection; the frames between them stay where they are.
std::vector<int> reversedOrder(int count, std::span<const int> rows);

} // namespace zell
