// A tool window (colour palette, image view): a top-level window of its own,
// not owned by the main window. Its contents come with their own windows;
// until then it is an empty frame that keeps its place.
#pragma once

#include <QMargins>
#include <QWidget>

namespace zell {

class Profile;

class ToolWindow : public QWidget {
    Q_OBJECT
public:
    ToolWindow(const QString& title, const QSize& designed);

    // "System"/"ToolWindow" exactly "yes": a tool window without a taskbar
    // entry; anything else: an ordinary window.
    void applyToolWindowStyle(const Profile& profile);
    // Minimised: restore; visible: minimise; hidden: show.
    void toggle();
    QSize designedSize() const { return designed_; }
    // The window system's frame around the window; none while hidden.
    QMargins frameMargins() const;
    // Places the whole window, title bar included.
    void placeFrame(const QRect& frame, const QMargins& margins);
    // The frame's top left in the normal (not minimised) state.
    QPoint normalFrameCorner() const;

signals:
    // The window became the active one: the main window raises its group.
    void activated();

protected:
    void changeEvent(QEvent* event) override;

private:
    QSize designed_;
};

} // namespace zell
