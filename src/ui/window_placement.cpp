#include "ui/window_placement.h"

#include <algorithm>
#include <climits>

#include "app/profile.h"

namespace zell {
namespace {

bool grippable(const QRect& window, const QRect& screen)
{
    const QRect title(window.left(), window.top(), window.width(), kGripHeight);
    const QRect on = title.intersected(screen);
    return on.width() >= std::min(kGripWidth, window.width()) && on.height() >= kGripHeight;
}

int64_t distance(const QRect& window, const QRect& screen)
{
    const QPoint c = window.center();
    const int64_t dx = std::max({0, screen.left() - c.x(), c.x() - screen.right()});
    const int64_t dy = std::max({0, screen.top() - c.y(), c.y() - screen.bottom()});
    return dx * dx + dy * dy;
}

} // namespace

QRect reachableRect(const QRect& window, const QList<QRect>& screens)
{
    if (screens.isEmpty())
        return window;
    for (const QRect& s : screens) {
        if (grippable(window, s))
            return window;
    }
    const QRect* nearest = &screens.front();
    for (const QRect& s : screens) {
        if (distance(window, s) < distance(window, *nearest))
            nearest = &s;
    }
    QRect moved = window;
    const QRect& s = *nearest;
    moved.moveLeft(std::clamp(window.left(), s.left(), std::max(s.left(), s.right() + 1 - window.width())));
    moved.moveTop(std::clamp(window.top(), s.top(), std::max(s.top(), s.bottom() + 1 - window.height())));
    return moved;
}

Placement restoredPlacement(const Profile& profile, const char* section, const QRect& workArea,
                            const QSize& designed, bool rightAligned)
{
    Placement p;
    const int defaultX = rightAligned ? workArea.right() + 1 - designed.width() : workArea.left();
    p.rect = QRect(QPoint(defaultX, workArea.top()), designed);
    if (profile.readInt("System", "RestoreWindow", 1) <= 0)
        return p;
    p.visible = profile.readInt(section, "visible", 1) > 0;
    const int w = profile.readInt(section, "width", 0);
    const int h = profile.readInt(section, "height", 0);
    if (w >= 1 && h >= 1) {
        const int x = profile.readInt(section, "left", rightAligned ? workArea.right() + 1 - w : workArea.left());
        const int y = profile.readInt(section, "top", workArea.top());
        p.rect = QRect(x, y, w, h);
    }
    return p;
}

void savePlacement(const Profile& profile, const char* section, const QRect& normal, bool minimized, bool visible)
{
    profile.writeInt(section, "left", normal.left());
    profile.writeInt(section, "top", normal.top());
    profile.writeInt(section, "width", normal.width());
    profile.writeInt(section, "height", normal.height());
    profile.writeInt(section, "visible", minimized ? 0 : (visible ? 1 : 0));
}

} // namespace zell
