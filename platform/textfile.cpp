#include "platform/textfile.h"

#include "platform/linestream.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
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

} // namespace

bool LineAppender::open(const QString &path)
{
    close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

bool LineAppender::writeLine(const QString &line)
{
    if (!m_file.isOpen())
        return false;
    const QByteArray bytes = line.toUtf8() + "\r\n";
    const qint64 start = m_file.size();
    qint64 written = 0;
    while (written < bytes.size()) {
        // A short write (the disk filling up) is continued; the next one says why not.
        const qint64 n = m_file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            // A line that does not fit whole is taken back: the file ends at its last
            // whole line, and the reason is kept (the shortening clears the file's).
            m_error = m_file.errorString();
            m_file.resize(start);
            return false;
        }
        written += n;
    }
    m_error.clear();
    return true;
}

void LineAppender::close()
{
    if (m_file.isOpen())
        m_file.close();
}

FileReplacer::FileReplacer(const QString &path) : m_path(path) {}

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
    // A link is replaced at its target, so the link itself stays.
    const QFileInfo link(m_path);
    if (link.isSymLink())
        m_path = link.symLinkTarget();

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
    const QString stem = info.absolutePath() + u"/."_qs + info.fileName() + u".new-"_qs
                         + QString::number(::getpid()) + u'-';
    for (int attempt = 0; attempt < 1000 && m_fd < 0; ++attempt) {
        const QString candidate = stem + QString::number(attempt);
        m_fd = ::open(QFile::encodeName(candidate).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
        ::fchmod(m_fd, st.st_mode & 07777);
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

bool ReplaceFile(const QString &path, QByteArrayView content, QString *error)
{
    FileReplacer file(path);
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
                    const Latin1Lines *latin1Lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += EncodeTextLine(line, latin1Lines) + "\r\n";
    return ReplaceFile(path, bytes, error);
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
