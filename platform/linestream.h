#pragma once

#include <QString>
#include <functional>

namespace netvane {

// Reads a text file line by line (CR LF or LF), handing each line without its line
// end to `take`, which returns false to stop reading. A line longer than
// maxLineBytes is not kept in memory: `take` gets an empty text and tooLong set.
// Only as much of the file is read as the caller wants. False when it cannot be opened.
bool ReadTextLinesWhile(const QString &path, qint64 maxLineBytes,
                        const std::function<bool(const QString &line, bool tooLong)> &take);

} // namespace netvane
