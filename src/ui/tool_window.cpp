#include "ui/tool_window.h"

#include <QEvent>

#include "app/profile.h"

namespace zell {

ToolWindow::ToolWindow(const QString& title, const QSize& designed) : designed_(designed)
{
    setWindowTitle(title);
    resize(designed);
}

void ToolWindow::applyToolWindowStyle(const Profile& profile)
{
    const bool tool = profile.readString("System", "ToolWindow", "") == "yes";
    if (tool == (windowType() == Qt::Tool))
        return;
    const bool wasVisible = isVisible();
    const QRect place = geometry();
    setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | (tool ? Qt::Tool : Qt::Window));
    setGeometry(place);
    if (wasVisible)
        show();
}

void ToolWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        emit activated();
}

void ToolWindow::toggle()
{
    if (isMinimized())
        showNormal();
    else if (isVisible())
        showMinimized();
    else
        showNormal();
}

} // namespace zell
