#pragma once
// What the tracert command and the traceroute run that starts it agree on, beyond its
// output lines. Plain C++: the command links no Qt.

namespace netvane {

// tracert's exit code when its output could not be written (a full disk); the
// system's reason is then the one line on its standard error.
constexpr int TracertOutputFailedExit = 3;

} // namespace netvane
