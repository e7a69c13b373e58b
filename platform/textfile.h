#pragma once
// Text files as the program has always written them: CR LF line ends, UTF-8 for
// the system's 8-bit encoding, read back with either line end. Lines of an older
// file in another 8-bit encoding (Latin-1) are read as Latin-1 and, when written
// back unchanged, get their old bytes again.
//
// Every rewrite of a user file (the list, the history, the target file, exports,
// imports, the settings) goes through FileReplacer: the new content is written
// beside the file, every write and the final sync are checked, and only then is it
// renamed over the old one. Any failure leaves the old file as it was and gives the
// system's own description ("No space left on device").
//
// The user's data files (the list, the history, the result and target files, the
// settings) are the user's alone, as a shell keeps its history: they are written
// FileAccess::OwnerOnly. Exports and other files the user places are written as the
// user's umask says.

#include "platform/filereader.h"

#include <QByteArray>
#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>

namespace netvane {

// Who may read a file the program writes. OwnerOnly: a new file is made 0600, and an
// existing one loses any group and other bits. Umask: a new file is made as the
// umask says, an existing one keeps its permissions.
enum class FileAccess { Umask, OwnerOnly };

// A text file open for appending whole lines. Each line reaches the disk as it is
// written (no buffering in the program), so a killed program loses nothing it wrote.
// A line that cannot be written whole (a full disk) is taken back out, so the file
// always ends at a whole line, and errorString gives the system's reason.
class LineAppender final
{
    Q_DISABLE_COPY_MOVE(LineAppender)
public:
    LineAppender() = default;
    ~LineAppender() { close(); }

    // Appends to an existing regular file, creates a missing one; never waits on a
    // FIFO or a device at the path (refused).
    bool open(const QString &path, FileAccess access = FileAccess::Umask);
    bool isOpen() const { return m_fd >= 0; }
    bool writeLine(const QString &line);
    void close();
    QString errorString() const { return m_error; }
    FileStamp stamp() const { return StampOfOpenFile(m_fd); }

private:
    int m_fd = -1;
    QString m_error;
};

// Replaces one file whole. Nothing is visible at the path until commit() succeeds.
// A link (or a chain of links) is replaced at its final target, so the links stay.
// The new content is written to a hidden ".NAME.new-PID-N" beside the file; such
// files left by a program that died (a crash mid-write) are removed at the next
// write of that file.
class FileReplacer final
{
    Q_DISABLE_COPY_MOVE(FileReplacer)
public:
    explicit FileReplacer(const QString &path, FileAccess access = FileAccess::Umask);
    ~FileReplacer(); // an uncommitted replacement is thrown away

    // Creates the new file beside the old one. Refused when something other than a
    // regular file (a folder, a FIFO, a device) stands at the path.
    bool open();
    // False once any write failed; the rest is then not written.
    bool write(QByteArrayView bytes);
    // Syncs and renames over the old file. False (with errorString) on any failure
    // so far, and the old file stays.
    bool commit();
    QString errorString() const { return m_error; }

private:
    void fail(int error);
    void discard();

    QString m_path;   // the file being replaced (symbolic links resolved)
    QString m_temp;   // the new content, beside it
    FileAccess m_access;
    int m_fd = -1;
    QString m_error;
};

// Replaces the file by these bytes through FileReplacer.
bool ReplaceFile(const QString &path, QByteArrayView content, QString *error = nullptr,
                 FileAccess access = FileAccess::Umask);

// Lines that were read as Latin-1, so that writing them back gives the old bytes.
using Latin1Lines = QSet<QString>;

// One line of a text file: UTF-8 when the bytes are valid UTF-8, else Latin-1.
QString DecodeTextLine(QByteArrayView bytes, bool *latin1 = nullptr);
// The bytes of one line (without its line end): Latin-1 for a line in latin1Lines,
// UTF-8 otherwise.
QByteArray EncodeTextLine(const QString &line, const Latin1Lines *latin1Lines = nullptr);

// Writes the lines, each followed by CR LF, replacing the file through FileReplacer.
bool WriteTextLines(const QString &path, const QStringList &lines, QString *error = nullptr,
                    const Latin1Lines *latin1Lines = nullptr,
                    FileAccess access = FileAccess::Umask);

// Reads a text file line by line (CR LF or LF), without the line ends. A missing,
// unreadable or not regular file gives an empty list. A line longer than
// maxLineBytes is skipped whole.
QStringList ReadTextLines(const QString &path, qint64 maxLineBytes = 1 << 20);

// Opens a file for reading only when it is a regular file, so that a FIFO or a
// device at a data file's path cannot block the program. The reason otherwise.
bool OpenRegularFile(QFile &file, const QString &path, QString *error = nullptr);

// The whole content of a regular file.
bool ReadFileBytes(const QString &path, QByteArray *content, QString *error = nullptr);

// True when both paths name the same existing file (links followed).
bool IsSameFile(const QString &a, const QString &b);

// True when the text holds a control character (below U+0020, DEL, or U+0080 to
// U+009F): such a text cannot become one line of a stored file.
bool ContainsControlCharacter(QStringView text);

} // namespace netvane
