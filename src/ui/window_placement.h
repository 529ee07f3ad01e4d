// Saving and restoring the tool windows' places in the profile. A restored
// place is moved back onto a screen when too little of the window's title
// area would be reachable (a monitor was removed, the resolution dropped).
#pragma once

#include <QList>
#include <QRect>

namespace zell {

class Profile;

// The part of the title area that must lie on one screen to be grabbed.
inline constexpr int kGripWidth = 48;
inline constexpr int kGripHeight = 24;

// The window's rectangle, moved onto the nearest screen when less than a
// grip of its title area lies on any of `screens`.
QRect reachableRect(const QRect& window, const QList<QRect>& screens);

struct Placement {
    QRect rect;
    bool visible = true;
};

// Where a tool window goes at start: its designed size at the default place
// unless restoring is on and a saved size of at least 1 x 1 exists.
// `rightAligned`: the default place is the work area's top right (palette),
// else its top left (image view).
Placement restoredPlacement(const Profile& profile, const char* section, const QRect& workArea,
                            const QSize& designed, bool rightAligned);
void savePlacement(const Profile& profile, const char* section, const QRect& normal, bool minimized,
                   bool visible);

} // namespace zell
