#include "platform/textfile.h"

#include "platform/linestream.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace netvane {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString notRegular(const QString &path)
{
    return QDir::toNativeSeparators(path) + u" is not a regular file"_qs;
}

// As the system itself allows (SYMLOOP_MAX).
constexpr int MaxLinkHops = 40;

// Removes the hidden replacements ("PREFIX<pid>-<n>") that a program which has died
// left in the folder: regular files of this user whose process is gone. A live
// process (this one, or another program writing the same file) keeps its own.
void removeStaleReplacements(const QString &folder, const QString &prefix)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    const QByteArray start = QFile::encodeName(prefix);
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (std::strncmp(name, start.constData(), size_t(start.size())) != 0)
            continue;
        const char *rest = name + start.size();
        char *end = nullptr;
        errno = 0;
        const long pid = std::strtol(rest, &end, 10);
        if (errno != 0 || end == rest || *end != '-' || pid <= 0 || pid == long(::getpid()))
            continue;
        const char *number = end + 1;
        if (!*number || std::strspn(number, "0123456789") != std::strlen(number))
            continue;
        if (::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue; // its writer still runs (or is another user's)
        struct stat st {};
        if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)
            && st.st_uid == ::getuid())
            ::unlinkat(::dirfd(dir), name, 0);
    }
    ::closedir(dir);
}

} // namespace

bool LineAppender::open(const QString &path, FileAccess access)
{
    close();
    m_error.clear();
    // Without waiting, so that a FIFO at the path (no reader) cannot block here.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK,
                          access == FileAccess::OwnerOnly ? 0600 : 0666);
    if (fd < 0) {
        m_error = systemError(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        m_error = notRegular(path);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (access == FileAccess::OwnerOnly && (st.st_mode & 077))
        ::fchmod(fd, st.st_mode & 07700);
    m_fd = fd;
    return true;
}

bool LineAppender::writeLine(const QString &line)
{
    if (m_fd < 0) {
        m_error = systemError(EBADF);
        return false;
    }
    const QByteArray bytes = line.toUtf8() + "\r\n";
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // A full disk takes a line's first bytes and refuses the rest: they are
            // taken back, or the next start would read a broken line as an echo.
            m_error = systemError(written < 0 ? errno : ENOSPC);
            const qsizetype partial = bytes.size() - left;
            struct stat st {};
            if (partial > 0 && ::fstat(m_fd, &st) == 0 && st.st_size >= partial)
                while (::ftruncate(m_fd, st.st_size - partial) != 0 && errno == EINTR) {
                }
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

void LineAppender::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FileReplacer::FileReplacer(const QString &path, FileAccess access)
    : m_path(path), m_access(access)
{
}

FileReplacer::~FileReplacer()
{
    discard();
}

void FileReplacer::fail(int error)
{
    if (m_error.isEmpty())
        m_error = systemError(error);
}

void FileReplacer::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.isEmpty()) {
        ::unlink(QFile::encodeName(m_temp).constData());
        m_temp.clear();
    }
}

bool FileReplacer::open()
{
    discard();
    m_error.clear();
    // A link is replaced at its final target, so every link of a chain stays.
    for (int hops = 0; QFileInfo(m_path).isSymLink(); ++hops) {
        const QString target = QFileInfo(m_path).symLinkTarget();
        if (hops == MaxLinkHops || target.isEmpty()) {
            fail(ELOOP);
            return false;
        }
        m_path = target;
    }

    const QByteArray target = QFile::encodeName(m_path);
    struct stat st {};
    bool keepMode = false;
    if (::stat(target.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            m_error = notRegular(m_path);
            return false;
        }
        keepMode = true;
    } else if (errno != ENOENT) {
        fail(errno);
        return false;
    }

    const QFileInfo info(m_path);
    const QString prefix = u'.' + info.fileName() + u".new-"_qs;
    removeStaleReplacements(info.absolutePath(), prefix);
    const QString stem = info.absolutePath() + u'/' + prefix + QString::number(::getpid()) + u'-';
    const mode_t createMode = m_access == FileAccess::OwnerOnly ? 0600 : 0666;
    for (int attempt = 0; attempt < 1000 && m_fd < 0; ++attempt) {
        const QString candidate = stem + QString::number(attempt);
        m_fd = ::open(QFile::encodeName(candidate).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
        if (m_fd >= 0)
            m_temp = candidate;
        else if (errno != EEXIST) {
            fail(errno);
            return false;
        }
    }
    if (m_fd < 0) {
        fail(EEXIST);
        return false;
    }
    if (keepMode)
        ::fchmod(m_fd, st.st_mode & (m_access == FileAccess::OwnerOnly ? 07700 : 07777));
    return true;
}

bool FileReplacer::write(QByteArrayView bytes)
{
    if (m_fd < 0 || !m_error.isEmpty())
        return false;
    const char *data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

bool FileReplacer::commit()
{
    if (m_fd < 0 && m_error.isEmpty())
        m_error = systemError(EBADF);
    if (!m_error.isEmpty()) {
        discard();
        return false;
    }
    // The data must be on the disk before the name points at it: a write that only
    // fails when the cache is flushed (a full disk) is caught here.
    if (::fsync(m_fd) != 0)
        fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        fail(errno);
    if (m_error.isEmpty()
        && ::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(m_path).constData())
               != 0)
        fail(errno);
    if (!m_error.isEmpty()) {
        discard();
        return false;
    }
    m_temp.clear();
    const int dir = ::open(QFile::encodeName(QFileInfo(m_path).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) { // the rename itself is kept across a power cut
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool ReplaceFile(const QString &path, QByteArrayView content, QString *error, FileAccess access)
{
    FileReplacer file(path, access);
    const bool ok = file.open() && file.write(content) && file.commit();
    if (!ok && error)
        *error = file.errorString();
    return ok;
}

QString DecodeTextLine(QByteArrayView bytes, bool *latin1)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    const bool other = utf8.hasError();
    if (other)
        text = QString::fromLatin1(bytes);
    if (latin1)
        *latin1 = other;
    return text;
}

QByteArray EncodeTextLine(const QString &line, const Latin1Lines *latin1Lines)
{
    if (latin1Lines && latin1Lines->contains(line)) {
        bool fits = true;
        for (QChar c : line)
            fits = fits && c.unicode() <= 0xff;
        if (fits)
            return line.toLatin1();
    }
    return line.toUtf8();
}

bool WriteTextLines(const QString &path, const QStringList &lines, QString *error,
                    const Latin1Lines *latin1Lines, FileAccess access)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += EncodeTextLine(line, latin1Lines) + "\r\n";
    return ReplaceFile(path, bytes, error, access);
}

QStringList ReadTextLines(const QString &path, qint64 maxLineBytes)
{
    QStringList lines;
    ReadTextLinesWhile(path, maxLineBytes, [&lines](const TextLine &line) {
        if (!line.tooLong)
            lines << line.text;
        return true;
    });
    return lines;
}

bool OpenRegularFile(QFile &file, const QString &path, QString *error)
{
    // Opened without waiting, so a FIFO without a writer cannot block here.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = systemError(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = notRegular(path);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool ReadFileBytes(const QString &path, QByteArray *content, QString *error)
{
    QFile file;
    if (!OpenRegularFile(file, path, error))
        return false;
    *content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool IsSameFile(const QString &a, const QString &b)
{
    struct stat sa {}, sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0
           && ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev
           && sa.st_ino == sb.st_ino;
}

bool ContainsControlCharacter(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f))
            return true;
    }
    return false;
}

} // namespace netvane
