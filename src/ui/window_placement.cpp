#include "ui/window_placement.h"

#include <QRegion>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>
#include <utility>

#include "app/profile.h"

namespace zell {
namespace {

int64_t distance(const QRect& window, const QRect& screen)
{
    const QPoint c = window.center();
    const int64_t dx = std::max({0, screen.left() - c.x(), c.x() - screen.right()});
    const int64_t dy = std::max({0, screen.top() - c.y(), c.y() - screen.bottom()});
    return dx * dx + dy * dy;
}

} // namespace

QRect reachableRect(const QRect& frame, int titleHeight, const QList<QRect>& screens)
{
    if (screens.isEmpty())
        return frame;
    // Screens side by side carry a title bar between them.
    QRegion desktop;
    for (const QRect& s : screens)
        desktop += s;
    const QRect title(frame.left(), frame.top(), frame.width(), std::max(1, titleHeight));
    if (QRegion(title).subtracted(desktop).isEmpty())
        return frame;
    const QRect* nearest = &screens.front();
    for (const QRect& s : screens) {
        if (distance(frame, s) < distance(frame, *nearest))
            nearest = &s;
    }
    QRect moved = frame;
    const QRect& s = *nearest;
    moved.moveLeft(std::clamp(frame.left(), s.left(), std::max(s.left(), s.right() + 1 - frame.width())));
    moved.moveTop(std::clamp(frame.top(), s.top(), std::max(s.top(), s.bottom() + 1 - frame.height())));
    return moved;
}

Placement restoredPlacement(const Profile& profile, const char* section, const QRect& workArea,
                            const QSize& designed, const QMargins& margins, bool rightAligned)
{
    const auto defaultLeft = [&](const QSize& size) {
        return rightAligned ? workArea.right() + 1 - size.width() : workArea.left();
    };
    Placement p;
    const QSize designedFrame = designed.grownBy(margins);
    p.frame = QRect(QPoint(defaultLeft(designedFrame), workArea.top()), designedFrame);
    if (profile.readInt("System", "RestoreWindow", 1) <= 0)
        return p;
    p.visible = profile.readInt(section, "visible", 1) > 0;
    const int w = profile.readInt(section, "width", 0);
    const int h = profile.readInt(section, "height", 0);
    if (w >= 1 && h >= 1) {
        const QSize frame = QSize(w, h).grownBy(margins);
        const int x = profile.readInt(section, "left", defaultLeft(frame));
        const int y = profile.readInt(section, "top", workArea.top());
        p.frame = QRect(QPoint(x, y), frame);
    }
    return p;
}

void savePlacement(const Profile& profile, const char* section, const QPoint& frameCorner, const QSize& size,
                   bool minimized, bool visible)
{
    profile.writeInt(section, "left", frameCorner.x());
    profile.writeInt(section, "top", frameCorner.y());
    profile.writeInt(section, "width", size.width());
    profile.writeInt(section, "height", size.height());
    profile.writeInt(section, "visible", minimized ? 0 : (visible ? 1 : 0));
}

namespace {

// `main` moved down below every tool window over its menu bar and shortened
// to the work area; none when the menu bar would leave the work area.
std::optional<QRect> below(const QRect& main, int menuHeight, int minimumHeight, const QList<QRect>& tools,
                           const QRect& workArea)
{
    QRect placed = main;
    // Each step goes below one more tool window, so as many steps as tools.
    for (qsizetype step = 0; step <= tools.size(); ++step) {
        const QRect menu(placed.left(), placed.top(), placed.width(), menuHeight);
        int top = INT_MIN;
        for (const QRect& tool : tools) {
            if (tool.intersects(menu))
                top = std::max(top, tool.bottom() + 1);
        }
        if (top == INT_MIN)
            return placed;
        if (top + menuHeight - 1 > workArea.bottom())
            return std::nullopt;
        placed.moveTop(top);
        if (placed.bottom() > workArea.bottom())
            placed.setBottom(std::max(workArea.bottom(), placed.top() + minimumHeight - 1));
    }
    return std::nullopt;
}

} // namespace

QRect clearOfToolWindows(const QRect& main, int menuHeight, int minimumHeight, const QList<QRect>& tools,
                         const QRect& workArea)
{
    // Where it is, or beside a tool window; then as far down as needed. The
    // most of it on the work area and off the tool windows wins (it would
    // hide them), then the shortest way.
    QRegion covered;
    for (const QRect& tool : tools)
        covered += tool;
    const auto area = [](const QRegion& region) {
        int64_t sum = 0;
        for (const QRect& r : region)
            sum += int64_t(r.width()) * r.height();
        return sum;
    };
    QList<int> lefts = {main.left()};
    for (const QRect& tool : tools)
        lefts << tool.right() + 1 << tool.left() - main.width();
    QRect best = main;
    std::pair<int64_t, int64_t> bestScore{INT64_MIN, INT64_MIN};
    for (int left : lefts) {
        QRect start = main;
        start.moveLeft(std::clamp(left, workArea.left(), std::max(workArea.left(), workArea.right() + 1 - main.width())));
        const std::optional<QRect> placed = below(start, menuHeight, minimumHeight, tools, workArea);
        if (!placed)
            continue;
        const int64_t free = area(QRegion(placed->intersected(workArea)).subtracted(covered));
        const int64_t way = std::abs(placed->left() - main.left()) + std::abs(placed->top() - main.top());
        if (std::pair(free, -way) > bestScore) {
            bestScore = {free, -way};
            best = *placed;
        }
    }
    return best;
}

} // namespace zell
