#include "operations/optimizer.h"

#include "document/gif_export.h"
#include "document/optimizing_pass.h"
#include "document/screen_composer.h"

namespace zell {

namespace {

class OptimizerRun {
public:
    OptimizerRun(Document& document, uint32_t options, const WriteFault& fault, Progress* progress)
        : document_(document),
          progress_(progress),
          pass_(document.frames, document.settings.useGlobalColorTable ? &document.settings.globalColorTable : nullptr,
                document.settings.screenWidth, document.settings.screenHeight, options),
          batch_(document, fault)
    {
    }

    bool run();
    bool writeFailed() const { return batch_.writeFailed(); }
    bool stopped() const { return stopped_; }

private:
    bool stopHere()
    {
        stopped_ = stopRequested(progress_);
        return stopped_;
    }
    bool frame(int index);

    Document& document_;
    Progress* progress_;
    bool stopped_ = false;
    OptimizingPass pass_;
    OptimizedFrame result_;
    RewriteBatch batch_;
};

// New work files are staged and switched over only when every frame is done.
bool OptimizerRun::frame(int index)
{
    if (!pass_.next(index, result_))
        return false;
    switch (result_.outcome) {
    case OptimizedFrame::Outcome::asItIs: return true;
    case OptimizedFrame::Outcome::rewritten: return batch_.stage(index, result_.stream.bytes(), result_.attributes);
    case OptimizedFrame::Outcome::dropped: break;
    }
    batch_.dropFrame(index);
    if (result_.delayTo >= 0)
        batch_.setDelay(result_.delayTo, result_.delay);
    return true;
}

bool OptimizerRun::run()
{
    const int n = document_.frames.count();
    if (n == 0 || !pass_.prepare() || stopHere() || !frame(0))
        return false;
    reportProgress(progress_, 1, n);
    for (int i = 1; i < n; ++i) {
        if (stopHere() || !frame(i))
            return false;
        reportProgress(progress_, i + 1, n);
    }
    if (stopHere())
        return false;
    if (pass_.replacesGlobalTable())
        batch_.replaceGlobalTable(*pass_.globalTable());
    commitStep(progress_, [this] {
        batch_.commit();
        document_.currentIndex = 0;
        document_.changed(kFramesChanged | kGlobalTableChanged | kCurrentChanged);
    });
    return true;
}

} // namespace

bool optimize(Document& document, uint32_t options, const WriteFault& fault, Failure* why, Progress* progress)
{
    uint32_t width, height;
    if (exceedsPixelLimit(document, width, height)) {
        if (why)
            *why = Failure::tooLarge;
        return false;
    }
    OptimizerRun run(document, options, fault, progress);
    const bool ok = run.run();
    if (why)
        *why = ok ? Failure::none
            : run.stopped() ? Failure::cancelled
            : document.frames.count() == 0 ? Failure::noFrames
            : run.writeFailed() ? Failure::cannotWrite
            : Failure::damaged;
    return ok;
}

} // namespace zell
