#include "platform/process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace netvane::platform {

namespace {

// Field 22 of /proc/PID/stat (start time in clock ticks since boot) and the state
// letter (field 3). The command name (field 2) may hold blanks and parentheses, so
// the fields are counted from its closing parenthesis.
bool readProcStat(qint64 pid, char *state, quint64 *startTime)
{
    QFile file(u"/proc/%1/stat"_qs.arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray stat = file.readAll();
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return false;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // fields[0] is field 3 (state), so field 22 is fields[19].
    if (fields.size() < 20 || fields[0].isEmpty())
        return false;
    *state = fields[0].at(0);
    *startTime = fields[19].toULongLong();
    return true;
}

bool writeAll(int fd, const void *data, size_t size)
{
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

ssize_t readAll(int fd, void *data, size_t size)
{
    char *p = static_cast<char *>(data);
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, p + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    return ssize_t(got);
}

// Starts program detached from this process (a grandchild adopted by init, so no
// zombie is left behind) as the leader of a new session and process group. Returns
// its pid, or 0 with the system error number in *error.
pid_t startInNewSession(const QString &program, const QStringList &arguments, int *error)
{
    QList<QByteArray> storage;
    storage << QFile::encodeName(program);
    for (const QString &a : arguments)
        storage << a.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        *error = errno;
        return 0;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        *error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return 0;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        ::close(fds[0]);
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::setsid();
            ::signal(SIGPIPE, SIG_DFL);
            ::execv(argv[0], argv.data());
            const int e = errno;
            writeAll(fds[1], &e, sizeof e);
            ::_exit(127);
        }
        const pid_t reported = grandchild < 0 ? 0 : grandchild;
        writeAll(fds[1], &reported, sizeof reported);
        if (grandchild < 0) {
            const int e = errno;
            writeAll(fds[1], &e, sizeof e);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    pid_t grandchild = 0;
    int execError = 0;
    const bool gotPid = readAll(fds[0], &grandchild, sizeof grandchild) == sizeof grandchild;
    // The pipe closes on a successful exec; otherwise the failing side sends errno.
    const bool failed = readAll(fds[0], &execError, sizeof execError) == sizeof execError;
    ::close(fds[0]);
    if (!gotPid || grandchild == 0 || failed) {
        *error = failed ? execError : EAGAIN;
        return 0;
    }
    return grandchild;
}

} // namespace

void StartInOwnProcessGroup(QProcess &process)
{
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
}

void KillProcessGroup(qint64 pid)
{
    if (pid > 1)
        ::kill(-pid_t(pid), SIGKILL);
}

int PipeCreationError()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return errno;
    ::close(fds[0]);
    ::close(fds[1]);
    return 0;
}

QString FindProgramCommand(const QString &name, const QString &ownFolder)
{
    if (name.isEmpty() || name.contains(u'/'))
        return name;
    const QString folder = ownFolder.isEmpty() ? QCoreApplication::applicationDirPath() : ownFolder;
    const QFileInfo own(QDir(folder).filePath(name));
    if (!folder.isEmpty() && own.isFile() && own.isExecutable())
        return own.absoluteFilePath();
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? name : found;
}

bool ProcessIsRunning(qint64 pid)
{
    char state = 0;
    quint64 start = 0;
    return pid > 0 && readProcStat(pid, &state, &start) && state != 'Z' && state != 'X';
}

QStringList TerminalCandidates()
{
    QStringList names;
    const QString chosen = qEnvironmentVariable("TERMINAL").trimmed();
    if (!chosen.isEmpty())
        names << chosen;
    // Terminals that take the program and its arguments after -e, as xterm does.
    names << u"x-terminal-emulator"_qs << u"xterm"_qs << u"uxterm"_qs << u"konsole"_qs
          << u"alacritty"_qs << u"urxvt"_qs << u"rxvt"_qs;
    return names;
}

QString UserShell()
{
    const QString shell = qEnvironmentVariable("SHELL").trimmed();
    return shell.isEmpty() ? u"/bin/sh"_qs : shell;
}

QString ConsoleWindows::open(const QString &command)
{
    QString program;
    QStringList terminalOptions;
    const QStringList candidates = TerminalCandidates();
    for (const QString &candidate : candidates) {
        QStringList parts = QProcess::splitCommand(candidate);
        if (parts.isEmpty())
            continue;
        const QString found = QStandardPaths::findExecutable(parts.takeFirst());
        if (!found.isEmpty()) {
            program = found;
            terminalOptions = parts;
            break;
        }
    }
    if (program.isEmpty()) {
        QStringList looked = candidates;
        if (!qEnvironmentVariableIsEmpty("TERMINAL"))
            looked[0] = u"$TERMINAL ("_qs + looked[0] + u')';
        else
            looked.prepend(u"$TERMINAL (not set)"_qs);
        return u"No terminal emulator was found to open the console window. Looked for: "_qs
               + looked.join(u", "_qs) + u". Install one of them or set TERMINAL."_qs;
    }

    const QString shell = UserShell();
    QStringList arguments = terminalOptions;
    arguments << u"-e"_qs;
    if (command.isEmpty()) {
        arguments << shell;
    } else {
        // The user's command reaches the user's shell as one argument; afterwards the
        // window keeps an interactive shell, as a console opened for a command does.
        arguments << u"/bin/sh"_qs << u"-c"_qs << u"\"$0\" -c \"$1\"; exec \"$0\""_qs << shell
                  << command;
    }
    int error = 0;
    const pid_t pid = startInNewSession(program, arguments, &error);
    if (pid == 0)
        return program + u": "_qs + QString::fromLocal8Bit(std::strerror(error));
    Window window;
    window.pid = pid;
    char state = 0;
    readProcStat(pid, &state, &window.startTime);
    m_windows.append(window);
    return {};
}

void ConsoleWindows::closeAll()
{
    for (const Window &window : std::as_const(m_windows)) {
        char state = 0;
        quint64 start = 0;
        // A window that has gone may have left its pid to an unrelated process.
        if (!readProcStat(window.pid, &state, &start) || start != window.startTime)
            continue;
        ::kill(-pid_t(window.pid), SIGTERM);
    }
    m_windows.clear();
}

} // namespace netvane::platform

namespace netvane::platform {

bool StartHidden(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace netvane::platform
