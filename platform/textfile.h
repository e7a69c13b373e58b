#pragma once
// Text files as the program has always written them: CR LF line ends, UTF-8 for
// the system's 8-bit encoding, read back with either line end.

#include "platform/filereader.h"

#include <QFile>
#include <QString>
#include <QStringList>

namespace netvane {

// A text file open for appending whole lines. Each line reaches the disk as it is
// written (no buffering in the program), so a killed program loses nothing it wrote.
class LineAppender final
{
    Q_DISABLE_COPY_MOVE(LineAppender)
public:
    LineAppender() = default;
    ~LineAppender() { close(); }

    bool open(const QString &path);   // appends to an existing file, creates a missing one
    bool isOpen() const { return m_file.isOpen(); }
    bool writeLine(const QString &line);
    void close();
    QString errorString() const { return m_file.errorString(); }
    FileStamp stamp() const { return StampOfOpenFile(m_file.handle()); }

private:
    QFile m_file;
};

// Writes the lines, each followed by CR LF, replacing the file. False on failure.
bool WriteTextLines(const QString &path, const QStringList &lines, QString *error = nullptr);

// Reads a text file line by line (CR LF or LF), without the line ends. A missing or
// unreadable file gives an empty list. maxLineBytes bounds the memory of one line:
// a longer line is cut there.
QStringList ReadTextLines(const QString &path, qint64 maxLineBytes = 1 << 20);

} // namespace netvane
