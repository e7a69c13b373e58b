#pragma once

#include <functional>

namespace netvane {

// Lets the window catch up: runs the pending events once. The program's designed
// wait loops (101, 1001, 10001 rounds ...) all come down to this.
void LetWindowCatchUp();

// Lets the window repaint and run its posted events, but no timer and no user
// input: for a pass over data that a timer's work (a scheduled test) would change.
void LetWindowRepaint();

// Runs `work` on a thread of its own and returns when it is done; meanwhile the
// window's events go on (it repaints, its timers run, Stop answers) and `tick` runs
// on the window's thread every `tickMs` (to show progress). The work touches no
// control and nothing the window changes meanwhile: it reads what it was given and
// leaves its results for the caller.
void RunBesideWindow(const std::function<void()> &work, const std::function<void()> &tick = {},
                     int tickMs = 50);

} // namespace netvane
