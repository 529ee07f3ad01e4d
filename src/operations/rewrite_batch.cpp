#include "operations/rewrite_batch.h"

#include <algorithm>
#include <cstdio>

namespace zell {

RewriteBatch::RewriteBatch(Document& document, WriteFault fault) : document_(document), fault_(std::move(fault)) {}

RewriteBatch::~RewriteBatch()
{
    if (committed_)
        return;
    for (const Staged& s : staged_)
        std::remove(s.path.c_str());
}

bool RewriteBatch::stage(int index, std::span<const uint8_t> gif, const FrameAttributes& attributes)
{
    std::string path;
    if (committed_ || !document_.frames.frameAt(index))
        return false;
    if ((fault_ && !fault_(index)) || !document_.workDirectory().writeNewWorkFile("gif", gif, path)) {
        writeFailed_ = true;
        return false;
    }
    staged_.push_back({index, std::move(path), attributes});
    return true;
}

void RewriteBatch::commit()
{
    if (committed_)
        return;
    committed_ = true;
    // A replaced file goes as the frame lets go of it, unless an undo step
    // still shares it.
    for (Staged& s : staged_) {
        Frame& frame = *document_.frames.frameAt(s.index);
        frame.workFile = WorkFile::adopt(std::move(s.path));
        s.attributes.applyTo(frame);
    }
    for (const auto& [index, delay] : delays_)
        document_.frames.frameAt(index)->delay = delay;
    if (globalTable_)
        document_.takeGlobalTable(*globalTable_);
    std::sort(dropped_.begin(), dropped_.end());
    dropped_.erase(std::unique(dropped_.begin(), dropped_.end()), dropped_.end());
    for (auto it = dropped_.rbegin(); it != dropped_.rend(); ++it)
        document_.frames.remove(*it);
}

} // namespace zell
