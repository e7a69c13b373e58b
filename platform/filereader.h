#pragma once
// Reading a large file in pieces at chosen positions (from several threads at once),
// and telling whether a file is still the one that was read. Positioned reads, not a memory map: a file that is
// cut short underneath (a user's editor, another instance) only reads short, where
// a mapped page would kill the program.

#include <QString>
#include <QtGlobal>

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
    // The same for readers on several threads at once: it changes nothing in the
    // reader, and the reason for a failure goes to *error.
    qint64 readShared(qint64 offset, char *into, qint64 max, QString *error) const;
    QString errorString() const { return m_error; }

private:
    int m_fd = -1;
    QString m_error;
};

} // namespace netvane
