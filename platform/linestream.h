#pragma once

#include <QString>
#include <functional>

namespace netvane {

// One line of a text file, without its line end.
struct TextLine {
    QString text;        // empty when tooLong
    bool tooLong = false; // longer than the reader's cap: skipped whole, not kept in memory
    bool latin1 = false;  // not valid UTF-8, so read as Latin-1 (an older 8-bit file)
};

// Reads a regular text file line by line (CR LF or LF), handing each line to
// `take`, which returns false to stop reading. A line of more than maxLineBytes
// bytes (line end not counted) is never held in memory: `take` gets it with tooLong
// set. Only as much of the file is read as the caller wants. False, with the reason,
// when the file is missing, is not a regular file (a FIFO cannot block here) or
// cannot be opened; a read error later ends the file.
bool ReadTextLinesWhile(const QString &path, qint64 maxLineBytes,
                        const std::function<bool(const TextLine &line)> &take,
                        QString *error = nullptr);

// The same with the line's text and its tooLong flag.
bool ReadTextLinesWhile(const QString &path, qint64 maxLineBytes,
                        const std::function<bool(const QString &line, bool tooLong)> &take);

} // namespace netvane
