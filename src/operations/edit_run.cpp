#include "operations/edit_run.h"

#include <algorithm>

namespace zell::edit {

bool chosenRows(const Document& document, std::span<const int> rows, std::vector<int>& out)
{
    const int n = document.frames.count();
    out.clear();
    if (rows.empty()) {
        for (int i = 0; i < n; ++i)
            out.push_back(i);
        return true;
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i] < 0 || rows[i] >= n || (i > 0 && rows[i] <= rows[i - 1]))
            return false;
    }
    out.assign(rows.begin(), rows.end());
    return true;
}

bool fail(EditResult* result, Failure why)
{
    if (result)
        result->why = why;
    return false;
}

bool badParameters(EditResult* result)
{
    if (result)
        result->badParameters = true;
    return fail(result, Failure::notSupported);
}

bool stopped(Progress* progress, EditResult* result)
{
    return stopRequested(progress) && !fail(result, Failure::cancelled);
}

Frame& NewFrames::add(const Frame& frame)
{
    auto copy = std::make_unique<Frame>(frame);
    Frame& added = *copy;
    list_.insert(list_.count(), copy);
    return added;
}

void NewFrames::commit(Document& document, Progress* progress, unsigned changes,
                       const std::function<void(Document&)>& also)
{
    commitStep(progress, [&] {
        document.frames.swap(list_);
        if (also)
            also(document);
        const int n = document.frames.count();
        if (document.currentIndex >= n)
            document.currentIndex = n - 1;
        document.changed(changes | kCurrentChanged);
    });
}

} // namespace zell::edit
