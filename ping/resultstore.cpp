#include "ping/resultstore.h"

#include <QDir>
#include <QFile>

namespace netvane {

bool PingResultStore::create(const QString &folder, int targetCount, int sizeStepLength, int repeat,
                             const QStringList &targetNames, QString *error)
{
    close();
    m_stamp = {};
    const QDir dir(folder);
    const QString resultPath = dir.filePath(ResultFileName);
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
    const QString targetPath = dir.filePath(TargetFileName);
    QFile::remove(targetPath);
    if (!WriteTextLines(targetPath, targetNames, error, nullptr, FileAccess::OwnerOnly)) {
        close(); // no test starts on a half-made store
        return false;
    }
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

} // namespace netvane
