#include "document/history.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace zell {

History::History(Document& document, size_t limit) : document_(document), limit_(std::max<size_t>(limit, 1))
{
    clear();
}

History::~History() = default;

History::Selection History::Selection::of(const HistorySelection& shown)
{
    Selection s;
    s.current = shown.current;
    for (int row : shown.rows) {
        if (!s.runs.empty() && s.runs.back().second + 1 == row)
            s.runs.back().second = row;
        else
            s.runs.emplace_back(row, row);
    }
    return s;
}

HistorySelection History::Selection::rows() const
{
    HistorySelection shown;
    shown.current = current;
    for (auto [first, last] : runs)
        for (int row = first; row <= last; ++row)
            shown.rows.push_back(row);
    return shown;
}

HistorySelection History::selectionNow() const
{
    if (selection)
        return selection();
    HistorySelection s;
    s.current = document_.currentIndex;
    if (s.current >= 0)
        s.rows.push_back(s.current);
    return s;
}

bool History::clear()
{
    if (depth_ > 0)
        return false;
    steps_.clear();
    position_ = 0;
    mergeable_ = false;
    baseline_.clear();
    baseline_.reserve(size_t(document_.frames.count()));
    for (int i = 0; i < document_.frames.count(); ++i)
        baseline_.push_back(std::make_shared<const Frame>(*document_.frames.frameAt(i)));
    baselineSettings_ = document_.settings;
    baseId_ = nextId_++;
    savedId_ = baseId_;
    notify();
    return true;
}

void History::setLimit(size_t limit)
{
    limit_ = std::max<size_t>(limit, 1);
    while (steps_.size() > limit_ && position_ > 0) {
        baseId_ = steps_.front().id;
        steps_.erase(steps_.begin());
        --position_;
    }
    // Steps to redo beyond the limit go from the far end.
    while (steps_.size() > limit_)
        steps_.pop_back();
    notify();
}

void History::markSaved()
{
    savedId_ = currentId();
    notify();
}

bool History::pendingChanges() const
{
    const int n = document_.frames.count();
    if (size_t(n) != baseline_.size() || !(document_.settings == baselineSettings_))
        return true;
    for (int i = 0; i < n; ++i)
        if (*baseline_[size_t(i)] != *document_.frames.frameAt(i))
            return true;
    return false;
}

std::string History::undoName() const
{
    if (pendingChanges())
        return {};
    return position_ > 0 ? steps_[position_ - 1].name : std::string();
}

std::string History::redoName() const
{
    return canRedo() ? steps_[position_].name : std::string();
}

History::Step History::diff()
{
    Step step;
    const FrameList& frames = document_.frames;
    const size_t n = baseline_.size(), m = size_t(frames.count());
    size_t prefix = 0;
    while (prefix < n && prefix < m && *baseline_[prefix] == *frames.frameAt(int(prefix)))
        ++prefix;
    size_t suffix = 0;
    while (suffix < n - prefix && suffix < m - prefix
           && *baseline_[n - 1 - suffix] == *frames.frameAt(int(m - 1 - suffix)))
        ++suffix;
    if (prefix < n - suffix || prefix < m - suffix) {
        step.changes |= kFramesChanged;
        step.at = int(prefix);
        const auto first = baseline_.begin() + long(prefix);
        const auto last = baseline_.begin() + long(n - suffix);
        step.before.assign(std::make_move_iterator(first), std::make_move_iterator(last));
        // Frames that only moved keep their records.
        std::unordered_map<const void*, const Record*> byFile;
        for (const Record& r : step.before)
            if (r->workFile.identity())
                byFile.emplace(r->workFile.identity(), &r);
        step.after.reserve(m - suffix - prefix);
        for (size_t i = prefix; i < m - suffix; ++i) {
            const Frame& frame = *frames.frameAt(int(i));
            const auto known = byFile.find(frame.workFile.identity());
            if (known != byFile.end() && **known->second == frame)
                step.after.push_back(*known->second);
            else
                step.after.push_back(std::make_shared<const Frame>(frame));
        }
        const auto at = baseline_.erase(first, last);
        baseline_.insert(at, step.after.begin(), step.after.end());
    }
    if (!(document_.settings == baselineSettings_)) {
        step.changes |= kSettingsChanged;
        if (document_.settings.globalColorTable != baselineSettings_.globalColorTable
            || document_.settings.useGlobalColorTable != baselineSettings_.useGlobalColorTable)
            step.changes |= kGlobalTableChanged;
        step.settingsBefore = std::make_unique<const GifSettings>(std::move(baselineSettings_));
        step.settingsAfter = std::make_unique<const GifSettings>(document_.settings);
        baselineSettings_ = document_.settings;
    }
    return step;
}

bool History::isNoOp(const Step& step)
{
    if (step.before.size() != step.after.size() || !step.settingsBefore != !step.settingsAfter
        || (step.settingsBefore && !(*step.settingsBefore == *step.settingsAfter)))
        return false;
    for (size_t i = 0; i < step.before.size(); ++i) {
        if (step.before[i] != step.after[i] && *step.before[i] != *step.after[i])
            return false;
    }
    return true;
}

void History::begin(const std::string& name, uint64_t mergeKey)
{
    if (depth_++ > 0)
        return;
    // An edit no command recorded is a step of its own, so that this
    // command's step holds its own changes only.
    if (pendingChanges()) {
        Step stray = diff();
        stray.selectionBefore = stray.selectionAfter = Selection::of(selectionNow());
        push(std::move(stray));
    }
    openName_ = name;
    openKey_ = mergeKey;
    openSelection_ = Selection::of(selectionNow());
}

bool History::commit()
{
    if (depth_ == 0 || --depth_ > 0)
        return false;
    Step step = diff();
    if (step.changes == 0)
        return false;
    step.name = openName_;
    step.mergeKey = openKey_;
    step.selectionBefore = std::move(openSelection_);
    step.selectionAfter = Selection::of(selectionNow());
    push(std::move(step));
    notify();
    return true;
}

bool History::record(const std::string& name, uint64_t mergeKey)
{
    if (depth_ > 0)
        return false;
    // As begin() without taking the pending changes apart: they are the step.
    depth_ = 1;
    openName_ = name;
    openKey_ = mergeKey;
    openSelection_ = Selection::of(selectionNow());
    return commit();
}

void History::push(Step step)
{
    // A new step ends what could be redone.
    steps_.erase(steps_.begin() + long(position_), steps_.end());
    Step* top = position_ > 0 ? &steps_[position_ - 1] : nullptr;
    if (top && mergeable_ && step.mergeKey != 0 && step.mergeKey == top->mergeKey
        && ((step.before.empty() && step.after.empty()) || (top->before.empty() && top->after.empty())
            || (step.at == top->at && step.before.size() == top->after.size()))) {
        // The joined step goes from the top step's before to this one's after.
        if (top->before.empty() && top->after.empty()) {
            top->at = step.at;
            top->before = std::move(step.before);
            top->after = std::move(step.after);
        } else if (!step.before.empty() || !step.after.empty()) {
            top->after = std::move(step.after);
        }
        if (!top->settingsBefore)
            top->settingsBefore = std::move(step.settingsBefore);
        if (step.settingsAfter)
            top->settingsAfter = std::move(step.settingsAfter);
        top->changes |= step.changes;
        top->selectionAfter = std::move(step.selectionAfter);
        top->id = nextId_++; // the document differs from what the step was
        if (isNoOp(*top)) { // typed back to what it was: nothing to undo
            steps_.pop_back();
            position_ = steps_.size();
            mergeable_ = false;
        }
        return;
    }
    step.id = nextId_++;
    steps_.push_back(std::move(step));
    position_ = steps_.size();
    mergeable_ = true;
    while (steps_.size() > limit_) {
        baseId_ = steps_.front().id;
        steps_.erase(steps_.begin());
        --position_;
    }
}

void History::apply(const Step& step, bool forward)
{
    const std::vector<Record>& from = forward ? step.before : step.after;
    const std::vector<Record>& to = forward ? step.after : step.before;
    if (step.changes & kFramesChanged) {
        // Frames present in both keep their objects; the rest are made or go.
        const size_t common = std::min(from.size(), to.size());
        for (size_t i = 0; i < common; ++i)
            *document_.frames.frameAt(step.at + int(i)) = *to[i];
        if (replacingFrames)
            replacingFrames(step.at, int(common), int(from.size() - common), int(to.size() - common));
        std::vector<std::unique_ptr<Frame>> made;
        made.reserve(to.size() - common);
        for (size_t i = common; i < to.size(); ++i)
            made.push_back(std::make_unique<Frame>(*to[i]));
        document_.frames.replace(step.at + int(common), int(from.size() - common), made);
        const auto first = baseline_.begin() + step.at;
        const auto at = baseline_.erase(first, first + long(from.size()));
        baseline_.insert(at, to.begin(), to.end());
    }
    const std::unique_ptr<const GifSettings>& settings = forward ? step.settingsAfter : step.settingsBefore;
    if (settings) {
        document_.settings = *settings;
        baselineSettings_ = *settings;
    }
    lastSelection_ = (forward ? step.selectionAfter : step.selectionBefore).rows();
    const int count = document_.frames.count();
    if (lastSelection_.current >= count)
        lastSelection_.current = count - 1;
    std::erase_if(lastSelection_.rows, [count](int r) { return r < 0 || r >= count; });
    document_.currentIndex = lastSelection_.current;
    lastChanges_ = step.changes | kCurrentChanged;
    mergeable_ = false;
    document_.changed(lastChanges_);
}

bool History::undo()
{
    if (depth_ > 0)
        return false;
    if (pendingChanges()) {
        Step stray = diff();
        stray.selectionBefore = stray.selectionAfter = Selection::of(selectionNow());
        push(std::move(stray));
        mergeable_ = false;
    }
    if (position_ == 0)
        return false;
    --position_;
    apply(steps_[position_], false);
    notify();
    return true;
}

bool History::redo()
{
    if (depth_ > 0 || !canRedo())
        return false;
    apply(steps_[position_], true);
    ++position_;
    notify();
    return true;
}

namespace {

size_t recordBytes(const Frame& r)
{
    // The record and its shared-pointer control block, and a long name.
    return sizeof(Frame) + 16 + (r.name.capacity() > 15 ? r.name.capacity() + 1 : 0);
}

} // namespace

size_t History::stepBytes() const
{
    // Each record once, also those the baseline shares.
    std::unordered_set<const Frame*> counted;
    size_t bytes = steps_.capacity() * sizeof(Step);
    for (const Step& s : steps_) {
        bytes += (s.before.capacity() + s.after.capacity()) * sizeof(Record);
        for (const auto* records : {&s.before, &s.after})
            for (const Record& r : *records)
                if (counted.insert(r.get()).second)
                    bytes += recordBytes(*r);
        bytes += (s.selectionBefore.runs.capacity() + s.selectionAfter.runs.capacity()) * sizeof(std::pair<int, int>);
        for (const auto* settings : {s.settingsBefore.get(), s.settingsAfter.get()})
            if (settings)
                bytes += sizeof(GifSettings) + settings->comment.capacity();
    }
    return bytes;
}

size_t History::baselineBytes() const
{
    size_t bytes = baseline_.capacity() * sizeof(Record);
    for (const Record& r : baseline_)
        bytes += recordBytes(*r);
    return bytes;
}

} // namespace zell
