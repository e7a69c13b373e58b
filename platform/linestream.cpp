#include "platform/linestream.h"

#include "platform/textfile.h"

#include <QFile>

#include <cstring>

namespace netvane {

bool ReadTextLinesWhile(const QString &path, qint64 maxLineBytes,
                        const std::function<bool(const TextLine &)> &take, QString *error)
{
    QFile file;
    if (!OpenRegularFile(file, path, error))
        return false;
    constexpr qint64 Piece = 1 << 16;
    QByteArray piece(Piece, Qt::Uninitialized);
    QByteArray line;
    bool tooLong = false;
    // A line end may be CR LF: one more byte than the cap is held before deciding.
    const qint64 held = maxLineBytes + 1;
    const auto deliver = [&]() {
        TextLine out;
        while (line.endsWith('\r'))
            line.chop(1);
        out.tooLong = tooLong || line.size() > maxLineBytes;
        if (!out.tooLong)
            out.text = DecodeTextLine(line, &out.latin1);
        line.resize(0);
        tooLong = false;
        return take(out);
    };
    for (;;) {
        const qint64 got = file.read(piece.data(), Piece);
        if (got <= 0) // the end, or a read error, which ends the file
            break;
        const char *pos = piece.constData();
        const char *const end = pos + got;
        while (pos < end) {
            const char *nl = static_cast<const char *>(std::memchr(pos, '\n', size_t(end - pos)));
            const char *stop = nl ? nl : end;
            if (!tooLong) {
                line.append(pos, stop - pos);
                if (line.size() > held) {
                    tooLong = true;
                    line.clear();
                }
            }
            pos = stop;
            if (nl) {
                ++pos;
                if (!deliver())
                    return true;
            }
        }
    }
    if (!line.isEmpty() || tooLong) // the last line, without a line end
        deliver();
    return true;
}

bool ReadTextLinesWhile(const QString &path, qint64 maxLineBytes,
                        const std::function<bool(const QString &, bool)> &take)
{
    return ReadTextLinesWhile(path, maxLineBytes,
                              [&take](const TextLine &line) { return take(line.text, line.tooLong); });
}

} // namespace netvane
