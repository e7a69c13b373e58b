#pragma once
// Test isolation: temporary XDG folders (so nothing touches the real user's files)
// and, for tests that need root, a private network namespace of the test's own.

#include <QStringList>
#include <QTemporaryDir>

namespace netvane::test {

// Points XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME and HOME at a fresh
// temporary folder for as long as the object lives.
class IsolatedFolders final
{
public:
    IsolatedFolders();
    QString path() const { return m_dir.path(); }
    QString dataFolder() const; // where the program keeps its files

private:
    QTemporaryDir m_dir;
};

// Moves this whole test process into a new network namespace holding only
// loopback (brought up). Needs root; returns false with the reason otherwise. Every
// socket and child process made afterwards lives in that namespace.
bool EnterPrivateNetworkNamespace(QString *why);

// A small tmpfs mounted over a folder, in a mount namespace of this test's own (the
// host never sees it), then filled up so that every further write there fails with
// "No space left on device". Needs root; mount() returns false with the reason
// otherwise. Unmounted when the object goes.
class FullDisk final
{
public:
    FullDisk() = default;
    ~FullDisk();
    bool mount(const QString &folder, QString *why);
    // Takes every free byte left, as a file of its own.
    void fill();

private:
    QString m_folder;
};

// The system's hosts file replaced, for this test process and its children alone,
// by one with these lines: a bind mount in a mount namespace of the test's own.
// Needs root; replace() returns false with the reason otherwise. Undone when the
// object goes.
class PrivateHostsFile final
{
public:
    PrivateHostsFile() = default;
    ~PrivateHostsFile();
    bool replace(const QByteArray &lines, QString *why);

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

// Abstract socket names held by another user ("nobody") for as long as the object
// lives, the way another local user could take them first. Needs root; hold()
// returns false with the reason otherwise.
class OtherUserSockets final
{
public:
    OtherUserSockets() = default;
    ~OtherUserSockets();
    bool hold(const QStringList &abstractNames, QString *why);

private:
    int m_pid = 0;
    int m_release = -1; // closed to let the holder end
};

// Runs a program (no shell) and returns whether it exited with 0.
bool Run(const QString &program, const QStringList &arguments, QString *output = nullptr);
// Runs each command (program first, then its arguments) in turn until one fails,
// which is warned about with its output; true when all succeeded.
bool RunAll(const QList<QStringList> &commands);

// Writes the bytes to the file, replacing it; a failure fails the calling test.
void WriteFileBytes(const QString &path, const QByteArray &bytes);

// True when an ICMP echo socket (datagram or raw) can be opened here.
bool CanOpenEchoSocket();

} // namespace netvane::test
