#include "document/frame_list.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "document/work_directory.h"

namespace zell {

int FrameList::insert(int i, std::unique_ptr<Frame>& frame)
{
    if (!frame)
        return -1;
    i = std::clamp(i, 0, count());
    try {
        frames_.insert(frames_.begin() + i, std::move(frame));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return i;
}

void FrameList::remove(int i)
{
    if (i >= 0 && i < count())
        frames_.erase(frames_.begin() + i);
}

void FrameList::clear()
{
    frames_.clear();
}

std::unique_ptr<Frame> FrameList::take(int i)
{
    if (i < 0 || i >= count())
        return nullptr;
    std::unique_ptr<Frame> frame = std::move(frames_[size_t(i)]);
    frames_.erase(frames_.begin() + i);
    return frame;
}

void FrameList::move(int from, int to)
{
    if (from < 0 || from >= count() || to < 0 || to >= count() || from == to)
        return;
    std::unique_ptr<Frame> frame = std::move(frames_[size_t(from)]);
    frames_.erase(frames_.begin() + from);
    frames_.insert(frames_.begin() + to, std::move(frame));
}

int FrameList::duplicate(int i, WorkDirectory& workDirectory, const std::string& nameSuffix)
{
    Frame* source = frameAt(i);
    if (!source)
        return -1;
    auto copy = std::make_unique<Frame>();
    copy->copyFrom(*source);
    // Until the copy has a file of its own it must not delete the source's.
    copy->workFilePath.clear();
    if (!source->workFilePath.empty()) {
        std::string name;
        if (!workDirectory.newWorkFileName("gif", name))
            return -1;
        std::error_code ec;
        std::filesystem::copy_file(source->workFilePath, name, std::filesystem::copy_options::none, ec);
        if (ec) {
            std::filesystem::remove(name, ec);
            return -1;
        }
        copy->workFilePath = name;
    }
    copy->name += nameSuffix;
    return insert(i + 1, copy);
}

} // namespace zell
