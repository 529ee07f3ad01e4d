// The wait cursor of a running command, undone however the command ends;
// the windows are disabled through DocumentModel::BusyScope.
#pragma once

#include <QApplication>

namespace zell {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};


} // namespace zell
