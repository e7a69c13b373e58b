#pragma once
// Reading a large file in pieces at chosen positions, and telling whether a file is
// still the one that was read. Positioned reads, not a memory map: a file that is
// cut short underneath (a user's editor, another instance) only reads short, where
// a mapped page would kill the program.

#include <QString>
#include <QtGlobal>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace netvane {

// What identifies the contents of a file without reading it: a file replaced by
// another (a new inode), grown, cut or rewritten (mtime) no longer matches.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;

    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

FileStamp StampOfFile(const QString &path);
// The stamp of a file this program holds open (by its descriptor), whatever its
// path now names.
FileStamp StampOfOpenFile(int descriptor);

class FileReader final
{
    Q_DISABLE_COPY_MOVE(FileReader)
public:
    FileReader() = default;
    ~FileReader() { close(); }

    // Opens for reading; `sequential` tells the system the file is read from start to end.
    bool open(const QString &path, bool sequential = false);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    FileStamp stamp() const { return StampOfOpenFile(m_fd); }
    // Reads up to `max` bytes at `offset`; fewer only at the end of the file. -1 on error.
    qint64 read(qint64 offset, char *into, qint64 max);
    QString errorString() const { return m_error; }

private:
    int m_fd = -1;
    QString m_error;
};

// Reads an open file from its start to its end in pieces on a thread of its own,
// the next pieces while the caller works on the one it has, so that copying the file
// out of the system's cache and the caller's work overlap.
class ReadAheadFile final
{
    Q_DISABLE_COPY_MOVE(ReadAheadFile)
public:
    // Each piece has `reserve` bytes before it that are the caller's, to put there what
    // it carries over from the piece before.
    ReadAheadFile(FileReader &file, qsizetype pieceSize, qsizetype reserve);
    ~ReadAheadFile();

    // The next piece: its bytes begin at `piece`, with the reserve before them, and
    // stay there until the next call. Returns its size: 0 at the end of the file, -1
    // when it cannot be read (errorString()).
    qint64 next(char *&piece);
    QString errorString() const { return m_error; }

private:
    struct Slot {
        std::vector<char> bytes;
        qint64 size = 0;
        bool full = false;
    };
    void readPieces();

    FileReader &m_file;
    qsizetype m_pieceSize;
    qsizetype m_reserve;
    std::vector<Slot> m_slots;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
    qint64 m_offset = 0;       // where the next piece starts, when there is no thread
    std::size_t m_held = 0;    // the slot the caller has, when m_holding
    bool m_holding = false;
    QString m_error;
    std::thread m_thread;      // last: it starts once everything else is set up
};

} // namespace netvane
