#include "platform/datafolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace netvane {

namespace {

// Deep enough for anything the program makes; a deeper tree is left as it is.
constexpr int MaxDepth = 64;

// Makes folder (its parents as they come) and takes group and other access from it.
bool makePrivateFolder(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (!QDir().mkpath(QFileInfo(folder).absolutePath()))
        return false;
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (st.st_uid == ::getuid() && (st.st_mode & 077))
        ::chmod(path.constData(), st.st_mode & 07700);
    return true;
}

// Removes what the folder open as dirFd holds, never following a link and never
// entering another file system.
void removeContents(int dirFd, dev_t device, int depth)
{
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISDIR(st.st_mode)) {
            ::unlinkat(::dirfd(dir), name, 0);
            continue;
        }
        if (st.st_dev != device || depth >= MaxDepth)
            continue;
        const int sub = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0)
            continue;
        removeContents(sub, device, depth + 1);
        ::unlinkat(::dirfd(dir), name, AT_REMOVEDIR);
    }
    ::closedir(dir); // closes dirFd
}

} // namespace

QString DataFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.size() < 3 || !QDir().mkpath(base))
        base = QCoreApplication::applicationDirPath();
    QString folder = QDir(base).filePath(u"NetvaneDataBas"_qs);
    if (!makePrivateFolder(folder)) {
        base = QCoreApplication::applicationDirPath();
        folder = QDir(base).filePath(u"NetvaneDataBas"_qs);
        makePrivateFolder(folder);
    }
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

bool MakeEmptyFolder(const QString &path, QString *error)
{
    const QByteArray name = QFile::encodeName(QDir::cleanPath(path));
    const auto fail = [error](int code) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(code));
        return false;
    };
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            // Opened without following: a link put in its place since the look is refused.
            const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0)
                return fail(errno);
            removeContents(fd, st.st_dev, 0);
            if (::rmdir(name.constData()) != 0 && errno != ENOENT)
                return fail(errno);
        } else if (::unlink(name.constData()) != 0 && errno != ENOENT) {
            return fail(errno); // a link goes as a link; what it points to stays
        }
    } else if (errno != ENOENT) {
        return fail(errno);
    }
    if (::mkdir(name.constData(), 0700) != 0)
        return fail(errno);
    return true;
}

QString FirstDialogFolder()
{
    // A folder that does not exist would make the dialog fall back to the working folder.
    for (const auto location : {QStandardPaths::DesktopLocation, QStandardPaths::DocumentsLocation}) {
        const QString folder = QStandardPaths::writableLocation(location);
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    }
    return QDir::homePath();
}

} // namespace netvane
