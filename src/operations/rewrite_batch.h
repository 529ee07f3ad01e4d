// The new pictures and attributes of a whole-animation operation, kept aside
// until every frame is done and then switched over together, so that a run
// that fails part way changes neither the frames, nor their files, nor the
// global table.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "document/document.h"
#include "document/frame_attributes.h"

namespace zell {

// Lets tests break a run in the middle: called with the frame index before
// each new work file is written; false makes that write fail.
using WriteFault = std::function<bool(int frameIndex)>;

class RewriteBatch {
public:
    explicit RewriteBatch(Document& document, WriteFault fault = {});
    // Deletes the new files unless the batch was committed.
    ~RewriteBatch();
    RewriteBatch(const RewriteBatch&) = delete;
    RewriteBatch& operator=(const RewriteBatch&) = delete;

    // Writes the single-image GIF stream to a new work file meant for frame
    // `index`, to take these attributes on commit.
    bool stage(int index, std::span<const uint8_t> gif, const FrameAttributes& attributes);
    void dropFrame(int index) { dropped_.push_back(index); }
    // Frame `index` takes this delay on commit.
    void setDelay(int index, uint16_t delay) { delays_.push_back({index, delay}); }
    void replaceGlobalTable(const ColorTable& table) { globalTable_ = table; }
    int stagedCount() const { return int(staged_.size()); }
    // A new work file could not be made or written.
    bool writeFailed() const { return writeFailed_; }

    // Switches everything over at once; the frames let go of the replaced
    // files, which go unless an undo step still shares them.
    // Cannot fail half way: it only moves names and numbers.
    void commit();

private:
    struct Staged {
        int index;
        std::string path;
        FrameAttributes attributes;
    };

    Document& document_;
    WriteFault fault_;
    std::vector<Staged> staged_;
    std::vector<int> dropped_;
    std::vector<std::pair<int, uint16_t>> delays_;
    std::optional<ColorTable> globalTable_;
    bool committed_ = false;
    bool writeFailed_ = false;
};

} // namespace zell
