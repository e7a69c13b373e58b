#pragma once
// Where a window goes so that the user sees all of it: no larger than the free area
// of its screen and wholly on it. Used by the main window (its kept place), the help
// and the latency graph.

#include <QMargins>
#include <QRect>

namespace netvane {

// The place moved (and shrunk, when larger) into the area.
QRect KeptWithin(QRect place, const QRect &area);

// The frame a window manager puts around a window, as far as it is known; before a
// window is first shown, room for a title bar.
QMargins FrameMarginsOr(const QRect &inside, const QRect &frame);

} // namespace netvane
