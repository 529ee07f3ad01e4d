// Scoped states of a running command: the wait cursor, and the windows
// disabled for it, both undone however the command ends.
#pragma once

#include <QApplication>

#include <functional>

namespace zell {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

class Busy {
public:
    explicit Busy(const std::function<void(bool)>& setBusy) : setBusy_(setBusy)
    {
        if (setBusy_)
            setBusy_(true);
    }
    ~Busy()
    {
        if (setBusy_)
            setBusy_(false);
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    const std::function<void(bool)>& setBusy_;
};

} // namespace zell
