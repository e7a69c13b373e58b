#include "platform/filereader.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace netvane {

namespace {

FileStamp stampOf(const struct stat &st)
{
    FileStamp s;
    s.exists = true;
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.inode = quint64(st.st_ino);
    s.device = quint64(st.st_dev);
    return s;
}

} // namespace

FileStamp StampOfFile(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return stampOf(st);
}

FileStamp StampOfOpenFile(int descriptor)
{
    struct stat st;
    if (descriptor < 0 || ::fstat(descriptor, &st) != 0)
        return {};
    return stampOf(st);
}

bool FileReader::open(const QString &path, bool sequential)
{
    close();
    // Non-blocking, so that a FIFO at the path cannot hold the open; it is refused below.
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat st;
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_error = u"Not a file."_qs;
        close();
        return false;
    }
    if (sequential)
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

void FileReader::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

qint64 FileReader::read(qint64 offset, char *into, qint64 max)
{
    return readShared(offset, into, max, &m_error);
}

qint64 FileReader::readShared(qint64 offset, char *into, qint64 max, QString *error) const
{
    qint64 done = 0;
    while (done < max) {
        const ssize_t got = ::pread(m_fd, into + done, size_t(max - done), off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int e = errno;
            if (error)
                *error = QString::fromLocal8Bit(std::strerror(e));
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

} // namespace netvane
