#include "platform/linestream.h"

#include <QFile>

namespace netvane {

bool ReadTextLinesWhile(const QString &path, qint64 maxLineBytes,
                        const std::function<bool(const QString &, bool)> &take)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    while (!file.atEnd()) {
        QByteArray line = file.readLine(maxLineBytes + 1);
        if (line.isEmpty() && file.error() != QFileDevice::NoError)
            break; // a read error ends the file
        bool tooLong = false;
        if (!line.endsWith('\n') && !file.atEnd()) { // cut at maxLineBytes
            while (!file.atEnd() && !file.readLine(1 << 16).endsWith('\n')) {
            }
            line.clear();
            tooLong = true;
        }
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (!take(QString::fromUtf8(line), tooLong))
            break;
    }
    return true;
}

} // namespace netvane
