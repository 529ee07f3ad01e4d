// What the frame edits share: the rows they work on, their failures, and
// the one commit step that puts a finished edit into the document.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "document/document.h"
#include "document/progress.h"
#include "operations/frame_edits.h"

namespace zell::edit {

// The rows to work on, every frame when none; false when they are not
// ascending indices of frames.
bool chosenRows(const Document& document, std::span<const int> rows, std::vector<int>& out);

bool fail(EditResult* result, Failure why);
bool badParameters(EditResult* result);
// Stopped by the caller: a failure that changes nothing.
bool stopped(Progress* progress, EditResult* result);

// A frame list made aside, frame by frame; the frames share their work
// files with the document's until they take new ones.
class NewFrames {
public:
    Frame& add(const Frame& frame);
    Frame& at(int i) { return *list_.frameAt(i); }
    const FrameList& list() const { return list_; }
    int size() const { return list_.count(); }
    // Puts the frames in the document's place in its commit step; the
    // current frame stays where it was, inside the list.
    // `also` changes the rest of the document in the same step.
    void commit(Document& document, Progress* progress, unsigned changes = kFramesChanged,
                const std::function<void(Document&)>& also = {});

private:
    FrameList list_;
};

} // namespace zell::edit
