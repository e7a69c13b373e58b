#pragma once
// The program's command line. Without arguments the window opens, as it always did;
// with them the program runs without a window and without a display:
//   netvane --headless [--list FILE] [--data DIR] [--metrics ADDRESS:PORT]
//   netvane --help | --version
// Exit codes: 0 a run that ended by SIGTERM/SIGINT or by its test count, or help and
// version; 1 a run that could not start or could not go on; 2 bad arguments.

#include "monitor/metricsserver.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace netvane {

inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

struct CommandLine {
    enum class Action { Window, Headless, Help, Version, Invalid };
    Action action = Action::Window;
    QString listFile;                      // empty: the list file in the data folder
    QString dataFolder;                    // empty: the user's data folder
    std::optional<MetricsAddress> metrics = MetricsAddress(); // nothing: "--metrics off"
    QString error;                         // for Invalid
};

// The arguments after the program's name.
CommandLine ParseCommandLine(const QStringList &arguments);
QString UsageText();
QString VersionText();

// Runs what the command line asks for, with no window, and returns the exit code.
int RunCommandLine(int argc, char *argv[]);

} // namespace netvane
