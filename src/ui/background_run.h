// Runs a long engine call on a worker thread while the windows stay busy but
// keep repainting; no key, click or drop reaches them until it ends. After
// half a second a progress dialog shows how far the run got and offers
// Cancel; the engine's commit step, the only moment the document changes, is
// carried over to the user-interface thread.
#pragma once

#include <QString>

#include <functional>

#include "document/progress.h"

class QWidget;

namespace zell {

// How long a run goes before the progress dialog appears.
inline constexpr int kProgressDelayMs = 500;

// `work` runs on a worker thread and must touch the document only through
// the Progress's commit step, which `commit` wraps on this thread (the
// document's runs go through DocumentModel::run, which records the step).
// `unit` names what is counted ("frames", "files"). Returns what `work`
// returned.
bool runInBackground(QWidget* owner, const QString& unit, const std::function<bool(Progress&)>& work,
                     const std::function<void(const std::function<void()>&)>& commit = {});

// Stops the run going, if any, as its Cancel does, and returns when it has
// ended. For closing the program during a run: its question and save must
// not start while the worker still reads the document.
void stopBackgroundRun();

// Whether the last run's progress dialog was shown and whether it was
// stopped (Cancel, or the program closed); for the commands' messages and
// for tests.
struct BackgroundRunRecord {
    bool dialogShown = false;
    bool cancelled = false;
};
const BackgroundRunRecord& lastBackgroundRun();

} // namespace zell
