// Saving and restoring the tool windows' places in the profile. A place is
// that of the whole window, title bar included: "left" and "top" are the
// frame's corner, "width" and "height" the size inside the frame, so a
// size comes back the same under any window decoration. A restored place is
// moved back onto the screens when its title bar is not wholly on them (a
// monitor was removed, the resolution dropped).
#pragma once

#include <QList>
#include <QMargins>
#include <QRect>

namespace zell {

class Profile;

// The title bar's height assumed where the window system draws none.
inline constexpr int kGripHeight = 24;

// `frame` (the whole window) moved onto the screen nearest to it, as much
// of it as fits, unless the top `titleHeight` pixels of it lie wholly on
// `screens` already.
QRect reachableRect(const QRect& frame, int titleHeight, const QList<QRect>& screens);

struct Placement {
    QRect frame; // the whole window
    bool visible = true;
};

// Where a tool window goes at start: its designed size at the default place
// unless restoring is on and a saved size of at least 1 x 1 exists.
// `margins`: the window frame around the size inside it. `rightAligned`:
// the default place is the work area's top right (palette), else its top
// left (image view).
Placement restoredPlacement(const Profile& profile, const char* section, const QRect& workArea,
                            const QSize& designed, const QMargins& margins, bool rightAligned);
// `frameCorner`: the frame's top left in the normal (not minimised) state;
// `size`: the size inside the frame.
void savePlacement(const Profile& profile, const char* section, const QPoint& frameCorner, const QSize& size,
                   bool minimized, bool visible);

// The main window's frame `main` moved, sideways beside a tool window or
// down below the tool windows and shortened to fit the work area (not below
// `minimumHeight`), so that no tool window covers the top `menuHeight`
// pixels of it (title and menu bar). Unchanged when that is already so or
// when no place leaves the menu bar on the work area.
QRect clearOfToolWindows(const QRect& main, int menuHeight, int minimumHeight, const QList<QRect>& tools,
                         const QRect& workArea);

} // namespace zell
