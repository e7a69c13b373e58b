#include "platform/textfile.h"

#include <QSaveFile>

namespace netvane {

bool LineAppender::open(const QString &path)
{
    close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

bool LineAppender::writeLine(const QString &line)
{
    if (!m_file.isOpen())
        return false;
    const QByteArray bytes = line.toUtf8() + "\r\n";
    return m_file.write(bytes) == bytes.size();
}

void LineAppender::close()
{
    if (m_file.isOpen())
        m_file.close();
}

bool WriteTextLines(const QString &path, const QStringList &lines, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + "\r\n";
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QStringList ReadTextLines(const QString &path, qint64 maxLineBytes)
{
    QStringList lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd()) {
        QByteArray line = file.readLine(maxLineBytes + 1);
        if (line.size() > maxLineBytes && !line.endsWith('\n')) {
            // Skip the rest of an over-long line.
            while (!file.atEnd() && !file.readLine(1 << 16).endsWith('\n')) {
            }
            line.truncate(maxLineBytes);
        }
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        lines << QString::fromUtf8(line);
    }
    return lines;
}

} // namespace netvane
