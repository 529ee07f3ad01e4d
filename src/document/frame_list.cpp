#include "document/frame_list.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "document/work_directory.h"
#include "image/mapped_file.h"

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

bool FrameList::reorder(std::span<const int> order)
{
    if (order.size() != frames_.size())
        return false;
    std::vector<char> seen(frames_.size(), 0);
    for (int from : order) {
        if (from < 0 || from >= count() || seen[size_t(from)])
            return false;
        seen[size_t(from)] = 1;
    }
    std::vector<std::unique_ptr<Frame>> reordered;
    reordered.reserve(frames_.size());
    for (int from : order)
        reordered.push_back(std::move(frames_[size_t(from)]));
    frames_.swap(reordered);
    return true;
}

void FrameList::replace(int i, int removeCount, std::vector<std::unique_ptr<Frame>>& frames)
{
    i = std::clamp(i, 0, count());
    removeCount = std::clamp(removeCount, 0, count() - i);
    const auto at = frames_.erase(frames_.begin() + i, frames_.begin() + i + removeCount);
    frames_.insert(at, std::make_move_iterator(frames.begin()), std::make_move_iterator(frames.end()));
    frames.clear();
}

int FrameList::duplicate(int i, WorkDirectory& workDirectory, const std::string& nameSuffix)
{
    Frame* source = frameAt(i);
    if (!source)
        return -1;
    auto copy = std::make_unique<Frame>(*source);
    // The copy gets a file of its own.
    copy->workFile.clear();
    if (source->workFile.isInMemory()) {
        MappedFile bytes;
        if (!source->workFile.read(bytes) || !workDirectory.writeNewWorkFile("gif", bytes.bytes(), copy->workFile))
            return -1;
    } else if (!source->workFile.empty()) {
        std::string name;
        if (!workDirectory.newWorkFileName("gif", name))
            return -1;
        std::error_code ec;
        std::filesystem::copy_file(source->workFile.path(), name, std::filesystem::copy_options::none, ec);
        if (ec) {
            std::filesystem::remove(name, ec);
            return -1;
        }
        copy->workFile = WorkFile::adopt(std::move(name));
    }
    copy->name += nameSuffix;
    return insert(i + 1, copy);
}

} // namespace zell
