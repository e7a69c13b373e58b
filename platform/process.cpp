#include "platform/process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char **environ;

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

// The environment of a console window: this one, with the program's own folder first
// on PATH so that its own commands answer before any of the same name.
std::vector<QByteArray> consoleEnvironment()
{
    const QByteArray ownFolder = QFile::encodeName(QCoreApplication::applicationDirPath());
    std::vector<QByteArray> env;
    bool pathSeen = false;
    for (char **e = environ; e && *e; ++e) {
        QByteArray entry(*e);
        if (entry.startsWith("PATH=") && !ownFolder.isEmpty()) {
            entry = "PATH=" + ownFolder + (entry.size() > 5 ? ":" + entry.mid(5) : QByteArray());
            pathSeen = true;
        }
        env.push_back(entry);
    }
    if (!pathSeen && !ownFolder.isEmpty())
        env.push_back("PATH=" + ownFolder + ":/usr/local/bin:/usr/bin:/bin");
    return env;
}

// The argv of an exec: program then its arguments, held in storage, ended by null.
std::vector<char *> argumentVector(const QString &program, const QStringList &arguments,
                                   QList<QByteArray> &storage)
{
    storage << QFile::encodeName(program);
    for (const QString &a : arguments)
        storage << a.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    return argv;
}

// Starts program as a child of this process, the leader of a new session and process
// group. Returns its pid, or 0 with the system error number in *error.
pid_t startInNewSession(const QString &program, const QStringList &arguments, int *error)
{
    QList<QByteArray> storage;
    std::vector<char *> argv = argumentVector(program, arguments, storage);
    std::vector<QByteArray> envStorage = consoleEnvironment();
    std::vector<char *> envp;
    for (QByteArray &e : envStorage)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    // Closed by a successful exec; a failed one sends its errno through it first.
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
        ::setsid();
        ::signal(SIGPIPE, SIG_DFL);
        ::execve(argv[0], argv.data(), envp.data());
        const int e = errno;
        writeAll(fds[1], &e, sizeof e);
        ::_exit(127);
    }
    ::close(fds[1]);
    int execError = 0;
    const bool failed = readAll(fds[0], &execError, sizeof execError) == sizeof execError;
    ::close(fds[0]);
    if (failed) {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        *error = execError;
        return 0;
    }
    return child;
}

// A descriptor that becomes readable when the child pid ends, or -1 where the kernel
// has none (before Linux 5.3).
int openPidDescriptor(pid_t pid)
{
#ifdef SYS_pidfd_open
    return int(::syscall(SYS_pidfd_open, pid, 0));
#else
    Q_UNUSED(pid);
    return -1;
#endif
}

} // namespace

void StartInOwnProcessGroup(QProcess &process)
{
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::setpgid(0, 0);
        // A killed window takes its commands with it, so that none keeps appending to
        // its files; a parent gone already (before the request) is caught here.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
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

qint64 StartChild(const QString &program, const QStringList &arguments, QString *error)
{
    QList<QByteArray> storage;
    std::vector<char *> argv = argumentVector(program, arguments, storage);
    pid_t pid = 0;
    const int result = ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (result != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(result));
        return 0;
    }
    return pid;
}

bool ChildHasExited(qint64 pid)
{
    if (pid <= 0)
        return true;
    int status = 0;
    pid_t done = 0;
    do {
        done = ::waitpid(pid_t(pid), &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    return done != 0; // the pid itself once ended; -1 (no such child) counts as ended
}

int RunAndWait(const QString &program, const QStringList &arguments, int timeoutMs,
               QString *error)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return -1;
    };
    if (!process.waitForStarted(timeoutMs))
        return fail(process.errorString());
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return fail(u"it did not end within %1 ms"_qs.arg(timeoutMs));
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return fail(u"it was ended by a signal"_qs);
    return process.exitCode();
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

ConsoleWindows::ConsoleWindows(QObject *parent) : QObject(parent) {}

ConsoleWindows::~ConsoleWindows()
{
    for (QObject *w : std::as_const(m_watches)) {
        if (auto *notifier = qobject_cast<QSocketNotifier *>(w))
            ::close(int(notifier->socket()));
        delete w;
    }
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
               + looked.join(u", "_qs)
               + u". Install one, for example the package xterm (sudo apt-get install xterm), "_qs
                 u"or set TERMINAL to the terminal program to use."_qs;
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
    m_windows.append(window);
    watch(pid);
    return {};
}

void ConsoleWindows::watch(qint64 pid)
{
    const int fd = openPidDescriptor(pid_t(pid));
    if (fd >= 0) {
        auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, pid] { reap(pid); });
        m_watches.insert(pid, notifier);
        return;
    }
    // No process descriptors: look now and then instead.
    auto *timer = new QTimer(this);
    timer->setInterval(500);
    connect(timer, &QTimer::timeout, this, [this, pid] { reap(pid); });
    timer->start();
    m_watches.insert(pid, timer);
}

void ConsoleWindows::reap(qint64 pid)
{
    int status = 0;
    pid_t done = ::waitpid(pid_t(pid), &status, WNOHANG);
    while (done < 0 && errno == EINTR)
        done = ::waitpid(pid_t(pid), &status, WNOHANG);
    if (done == 0)
        return; // still running
    if (QObject *w = m_watches.take(pid)) {
        if (auto *notifier = qobject_cast<QSocketNotifier *>(w)) {
            notifier->setEnabled(false);
            ::close(int(notifier->socket()));
        }
        w->deleteLater();
    }
    m_windows.removeIf([pid](const Window &w) { return w.pid == pid; });
    Q_EMIT windowEnded(pid);
}

void ConsoleWindows::closeAll()
{
    // Every remembered window is an unreaped child, so its pid is still its own.
    for (const Window &window : std::as_const(m_windows))
        ::kill(-pid_t(window.pid), SIGTERM);
    m_windows.clear();
}

} // namespace netvane::platform
