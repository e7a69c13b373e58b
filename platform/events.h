#pragma once

namespace netvane {

// Lets the window catch up: runs the pending events once. The program's designed
// wait loops (101, 1001, 10001 rounds ...) all come down to this.
void LetWindowCatchUp();

} // namespace netvane
