#pragma once
// Child processes: the hidden command runner's children (each in a process group of
// its own, so a whole command tree can be killed at once), the program's own
// commands (arp, nbtstat, tracert) found in the program's folder before PATH, and
// terminal-emulator windows for the user's console commands, remembered so that
// they can be closed together later.

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;

namespace netvane::platform {

// Puts the child that `process` starts next into a new process group of its own,
// ended (SIGKILL) when this process ends, even by a kill. The signal comes when the
// thread that started the child ends: start such children from a thread that lives
// as long as the program.
void StartInOwnProcessGroup(QProcess &process);

// SIGKILL to the whole process group led by pid (a running child started with
// StartInOwnProcessGroup).
void KillProcessGroup(qint64 pid);

// 0 when a pipe can be created, else the system error number.
int PipeCreationError();

// The program to start for a command name: a name with a "/" as it is; else the
// program's own command of that name in ownFolder (the program's folder when
// empty), else the one found on PATH, else the bare name (which then fails to start).
QString FindProgramCommand(const QString &name, const QString &ownFolder = {});

// Starts program with arguments as a child of this process without waiting for it
// (posix_spawn: cheap even from a large process). Returns its pid, or 0 with the
// system's reason in *error. The caller collects it with ChildHasExited.
qint64 StartChild(const QString &program, const QStringList &arguments, QString *error = nullptr);

// True once a child started by StartChild has ended (and collects it); false while
// it runs. A pid that is no child of ours counts as ended.
bool ChildHasExited(qint64 pid);

// Runs program with no input or output and waits up to timeoutMs for it to end.
// Its exit code, or -1 with the reason in *error (it could not be started, was
// ended by a signal, or did not end in time and was killed).
int RunAndWait(const QString &program, const QStringList &arguments, int timeoutMs,
               QString *error = nullptr);

// True while pid names a live process (not a zombie).
bool ProcessIsRunning(qint64 pid);

// The terminal emulators tried in order: $TERMINAL (program and its own options),
// then the usual names.
QStringList TerminalCandidates();

// The login shell of the user ($SHELL, else /bin/sh).
QString UserShell();

// The console windows opened for the user: each runs one command in the user's shell
// inside a terminal emulator and stays open afterwards with an interactive shell.
// Each window stays a child of this program until it ends, when it is reaped at once:
// a window that has ended leaves no zombie, and a remembered pid can never name an
// unrelated process.
class ConsoleWindows final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConsoleWindows)
public:
    struct Window {
        qint64 pid = 0;
    };

    explicit ConsoleWindows(QObject *parent = nullptr);
    // Windows still open stay open; they are no longer watched.
    ~ConsoleWindows() override;

    // Opens a window for command (an empty command opens just a shell). The program's
    // own commands (tracert, arp, nbtstat) are found first, as the command runner
    // finds them. Returns an empty text on success, else why it failed.
    QString open(const QString &command);

    // Asks every remembered window to close (SIGTERM to its process group) and
    // forgets them all; each is still reaped when it ends.
    void closeAll();

    QList<Window> windows() const { return m_windows; }

Q_SIGNALS:
    // A window's process ended and was reaped.
    void windowEnded(qint64 pid);

private:
    void watch(qint64 pid);
    void reap(qint64 pid);

    QList<Window> m_windows;
    QHash<qint64, QObject *> m_watches; // until reaped, also after closeAll
};

} // namespace netvane::platform
