#include "ui/tool_window.h"

#include <QEvent>
#include <QWindow>

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

QMargins ToolWindow::frameMargins() const
{
    return isVisible() && windowHandle() ? windowHandle()->frameMargins() : QMargins();
}

void ToolWindow::placeFrame(const QRect& frame, const QMargins& margins)
{
    // move() places the frame's corner, resize() the inside.
    move(frame.topLeft());
    resize(frame.size().shrunkBy(margins));
}

QPoint ToolWindow::normalFrameCorner() const
{
    // A hidden window has no frame: the window manager leaves it where the
    // frame's corner was, as placeFrame() put it before it was first shown.
    if (!isVisible())
        return geometry().topLeft();
    const QMargins m = frameMargins();
    return normalGeometry().topLeft() - QPoint(m.left(), m.top());
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
