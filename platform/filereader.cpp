#include "platform/filereader.h"

#include <QFile>

#include <cerrno>
#include <system_error>
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
    qint64 done = 0;
    while (done < max) {
        const ssize_t got = ::pread(m_fd, into + done, size_t(max - done), off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

ReadAheadFile::ReadAheadFile(FileReader &file, qsizetype pieceSize, qsizetype reserve)
    : m_file(file), m_pieceSize(pieceSize), m_reserve(reserve), m_slots(3)
{
    for (Slot &slot : m_slots)
        slot.bytes.resize(size_t(reserve + pieceSize));
    try {
        m_thread = std::thread([this] { readPieces(); });
    } catch (const std::system_error &) {
        // No thread to be had: next() reads each piece itself.
    }
}

ReadAheadFile::~ReadAheadFile()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void ReadAheadFile::readPieces()
{
    qint64 offset = 0;
    for (std::size_t i = 0;; i = (i + 1) % m_slots.size()) {
        Slot &slot = m_slots[i];
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop || !slot.full; });
            if (m_stop)
                return;
        }
        // The slot is this thread's until it is marked full.
        const qint64 got = m_file.read(offset, slot.bytes.data() + m_reserve, m_pieceSize);
        {
            std::lock_guard lock(m_mutex);
            slot.size = got;
            slot.full = true;
            if (got < 0)
                m_error = m_file.errorString();
        }
        m_changed.notify_all();
        if (got <= 0)
            return; // the end, or an error: nothing follows
        offset += got;
    }
}

qint64 ReadAheadFile::next(char *&piece)
{
    if (!m_thread.joinable()) {
        Slot &slot = m_slots.front();
        piece = slot.bytes.data() + m_reserve;
        if (slot.size < 0 || (m_holding && slot.size == 0))
            return slot.size;
        slot.size = m_file.read(m_offset, piece, m_pieceSize);
        m_holding = true;
        if (slot.size < 0)
            m_error = m_file.errorString();
        else
            m_offset += slot.size;
        return slot.size;
    }
    std::unique_lock lock(m_mutex);
    std::size_t i = 0;
    if (m_holding) {
        Slot &done = m_slots[m_held];
        if (done.size <= 0) { // the end or an error stays the answer
            piece = done.bytes.data() + m_reserve;
            return done.size;
        }
        done.full = false;
        i = (m_held + 1) % m_slots.size();
        lock.unlock();
        m_changed.notify_all();
        lock.lock();
    }
    Slot &slot = m_slots[i];
    m_changed.wait(lock, [&] { return slot.full; });
    m_held = i;
    m_holding = true;
    piece = slot.bytes.data() + m_reserve;
    return slot.size;
}

} // namespace netvane
