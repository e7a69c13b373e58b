#include "ping/resultstore.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace netvane {

bool PingResultStore::create(const QString &folder, int targetCount, int sizeStepLength, int repeat,
                             const QStringList &targetNames, QString *error)
{
    if (!createResultFile(folder, targetCount, sizeStepLength, repeat, error))
        return false;
    const QString targetPath = QDir(folder).filePath(TargetFileName);
    QFile::remove(targetPath);
    if (!WriteTextLines(targetPath, targetNames, error, nullptr, FileAccess::OwnerOnly)) {
        close(); // no test starts on a half-made store
        return false;
    }
    return true;
}

bool PingResultStore::createResultFile(const QString &folder, int targetCount, int sizeStepLength,
                                       int repeat, QString *error)
{
    close();
    m_stamp = {};
    const QString resultPath = QDir(folder).filePath(ResultFileName);
    m_path = resultPath;
    QFile::remove(resultPath);
    if (!m_result.open(resultPath, FileAccess::OwnerOnly)
        || !m_result.writeLine(QString::number(targetCount) + u',' + QString::number(sizeStepLength)
                               + u',' + QString::number(repeat))) {
        if (error)
            *error = m_result.errorString();
        close();
        return false;
    }
    m_stamp = m_result.stamp();
    return true;
}

bool PingResultStore::append(const QString &line)
{
    if (!m_result.writeLine(line))
        return false;
    const qint64 expected = m_stamp.size + line.toUtf8().size() + 2;
    m_stamp = m_result.stamp();
    // Another writer's bytes in between: the positions of the lines are no longer known.
    if (m_stamp.size != expected)
        m_stamp = {};
    return true;
}

bool WriteTargetFile(const QString &folder, const TargetList &targets, const std::atomic<bool> &cancel,
                     std::atomic<qsizetype> &written, QString *error)
{
    FileReplacer file(QDir(folder).filePath(TargetFileName), FileAccess::OwnerOnly);
    if (!file.open()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // A range of millions of targets: written in pieces of about a megabyte.
    constexpr qsizetype Piece = 65536;
    QByteArray bytes;
    for (qsizetype i = 0; i < targets.size();) {
        if (cancel)
            return false; // the replacement is thrown away, the old file stays
        bytes.clear();
        const qsizetype end = std::min(targets.size(), i + Piece);
        targets.appendLabels(i, end, "\r\n", bytes); // as WriteTextLines encodes them
        i = end;
        if (!file.write(bytes))
            break; // commit() reports it
        written = i;
    }
    if (cancel)
        return false;
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace netvane
