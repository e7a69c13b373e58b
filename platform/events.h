#pragma once

namespace netvane {

// Lets the window catch up: runs the pending events once. The program's designed
// wait loops (101, 1001, 10001 rounds ...) all come down to this.
void LetWindowCatchUp();

// Lets the window repaint and run its posted events, but no timer and no user
// input: for a pass over data that a timer's work (a scheduled test) would change.
void LetWindowRepaint();

} // namespace netvane
