#pragma once
// What every fuzzing target shares: the input as text, and as a file in a private
// temporary folder for the readers that take a path.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace fuzzinput {

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

inline QString text(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

inline const QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

// Writes the input to `name` in the temporary folder and returns its path.
inline QString file(const QString &name, const QByteArray &contents)
{
    const QString path = QDir(folder().path()).filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(contents) != contents.size())
        std::abort();
    return path;
}

// The input split at its first NUL into two texts (for readers of two fields).
inline std::pair<QString, QString> twoTexts(const uint8_t *data, size_t size)
{
    const QByteArray all = bytes(data, size);
    const qsizetype nul = all.indexOf('\0');
    if (nul < 0)
        return {QString::fromUtf8(all), QString()};
    return {QString::fromUtf8(all.left(nul)), QString::fromUtf8(all.mid(nul + 1))};
}

} // namespace fuzzinput
