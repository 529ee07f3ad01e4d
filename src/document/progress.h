// How a long engine run tells its caller how far it got and learns that the
// caller wants it stopped. Runs check for a stop between units (frames,
// files) and a stopped run changes nothing, like a failed one.
#pragma once

#include <cstdint>
#include <functional>

namespace zell {

class Progress {
public:
    virtual ~Progress() = default;
    // `done` of `total` units are finished; `done` never falls during a run.
    virtual void report(int64_t done, int64_t total)
    {
        (void)done;
        (void)total;
    }
    virtual bool cancelled() { return false; }
    // Runs the short step that puts a finished run's result into the
    // document. A caller running the work on another thread moves the step
    // to the thread that owns the document.
    virtual void commit(const std::function<void()>& step) { step(); }
};

// The runs take an optional Progress; these accept null.
inline bool stopRequested(Progress* progress)
{
    return progress && progress->cancelled();
}

// Passes on a caller's stop but not the counts of a run nested in another:
// the outer run counts its own units.
class StopOnly final : public Progress {
public:
    explicit StopOnly(Progress* outer) : outer_(outer) {}
    bool cancelled() override { return stopRequested(outer_); }

private:
    Progress* outer_;
};

inline void reportProgress(Progress* progress, int64_t done, int64_t total)
{
    if (progress)
        progress->report(done, total);
}

inline void commitStep(Progress* progress, const std::function<void()>& step)
{
    if (progress)
        progress->commit(step);
    else
        step();
}

} // namespace zell
