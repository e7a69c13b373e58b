#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <cstring>
#include <grp.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace netvane::test {

IsolatedFolders::IsolatedFolders()
{
    const QString base = m_dir.path();
    for (const char *name : {"data", "config", "cache"})
        QDir(base).mkpath(QString::fromLatin1(name));
    qputenv("XDG_DATA_HOME", QDir(base).filePath(u"data"_qs).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", QDir(base).filePath(u"config"_qs).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", QDir(base).filePath(u"cache"_qs).toLocal8Bit());
    qputenv("HOME", base.toLocal8Bit());
}

QString IsolatedFolders::dataFolder() const
{
    return QDir(m_dir.path()).filePath(u"data/NetvaneDataBas/"_qs);
}

bool Run(const QString &program, const QStringList &arguments, QString *output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(30000))
        return false;
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool RunAll(const QList<QStringList> &commands)
{
    for (const QStringList &args : commands) {
        QString out;
        if (!Run(args.first(), args.mid(1), &out)) {
            qWarning("%s: %s", qPrintable(args.join(u' ')), qPrintable(out));
            return false;
        }
    }
    return true;
}

bool EnterPrivateNetworkNamespace(QString *why)
{
    if (::geteuid() != 0) {
        *why = u"needs root to create a network namespace"_qs;
        return false;
    }
    if (::unshare(CLONE_NEWNET) != 0) {
        *why = u"unshare(CLONE_NEWNET) failed: "_qs + QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    QString out;
    if (!Run(u"ip"_qs, {u"link"_qs, u"set"_qs, u"lo"_qs, u"up"_qs}, &out)) {
        *why = u"cannot bring loopback up: "_qs + out;
        return false;
    }
    return true;
}

FullDisk::~FullDisk()
{
    if (!m_folder.isEmpty())
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

bool FullDisk::mount(const QString &folder, QString *why)
{
    if (::geteuid() != 0) {
        *why = u"needs root to mount a small file system in a mount namespace"_qs;
        return false;
    }
    // The namespace keeps the mount away from the host, and private propagation
    // keeps it from leaking back through a shared root.
    if (::unshare(CLONE_NEWNS) != 0
        || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        *why = u"cannot make a private mount namespace: "_qs + QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    QDir().mkpath(folder);
    if (::mount("netvane-test", QFile::encodeName(folder).constData(), "tmpfs", 0,
                "size=64k,nr_inodes=64")
        != 0) {
        *why = u"cannot mount a tmpfs: "_qs + QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    m_folder = folder;
    return true;
}

bool PrivateHostsFile::replace(const QByteArray &lines, QString *why)
{
    if (::geteuid() != 0) {
        *why = u"needs root to mount a private hosts file in a mount namespace"_qs;
        return false;
    }
    const QString path = m_dir.filePath(u"hosts"_qs);
    WriteFileBytes(path, lines);
    if (::unshare(CLONE_NEWNS) != 0
        || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || ::mount(QFile::encodeName(path).constData(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0) {
        *why = u"cannot mount a private hosts file: "_qs + QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    m_mounted = true;
    return true;
}

PrivateHostsFile::~PrivateHostsFile()
{
    if (m_mounted)
        ::umount("/etc/hosts");
}

void FullDisk::fill()
{
    QFile filler(QDir(m_folder).filePath(u"filler"_qs));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(512, 'f');
    while (filler.write(block) == block.size()) {
    }
}

OtherUserSockets::~OtherUserSockets()
{
    if (m_release >= 0)
        ::close(m_release);
    if (m_pid > 0) {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
}

bool OtherUserSockets::hold(const QStringList &abstractNames, QString *why)
{
    if (::geteuid() != 0) {
        *why = u"needs root to act as another user"_qs;
        return false;
    }
    // Made before the fork: the child only makes system calls.
    std::vector<std::pair<sockaddr_un, socklen_t>> names;
    for (const QString &name : abstractNames) {
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        const QByteArray bytes = name.toUtf8().left(100);
        std::memcpy(a.sun_path + 1, bytes.constData(), size_t(bytes.size()));
        names.emplace_back(a, socklen_t(offsetof(sockaddr_un, sun_path) + 1 + bytes.size()));
    }
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) {
        *why = u"pipe failed"_qs;
        return false;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        int bound = 0;
        if (::setgroups(0, nullptr) == 0 && ::setresgid(65534, 65534, 65534) == 0
            && ::setresuid(65534, 65534, 65534) == 0) {
            for (auto &[address, length] : names) {
                const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
                bound += fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) == 0;
            }
        }
        ::write(ready[1], &bound, sizeof bound);
        ::close(release[1]);
        char c = 0;
        ::read(release[0], &c, 1); // until the parent closes its end
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    m_pid = child;
    m_release = release[1];
    int bound = 0;
    const bool told = ::read(ready[0], &bound, sizeof bound) == sizeof bound;
    ::close(ready[0]);
    if (!told || bound != abstractNames.size()) {
        *why = u"the other user bound %1 of %2 names"_qs.arg(bound).arg(abstractNames.size());
        return false;
    }
    return true;
}

void WriteFileBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

bool CanOpenEchoSocket()
{
    for (int type : {SOCK_DGRAM, SOCK_RAW}) {
        const int fd = ::socket(AF_INET, type, IPPROTO_ICMP);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
    }
    return false;
}

} // namespace netvane::test
