#include "ping/resultstore.h"

#include <QDir>
#include <QFile>

namespace netvane {

bool PingResultStore::create(const QString &folder, int targetCount, int sizeStepLength, int repeat,
                             const QStringList &targetNames, QString *error)
{
    close();
    const QDir dir(folder);
    const QString resultPath = dir.filePath(ResultFileName);
    QFile::remove(resultPath);
    if (!m_result.open(resultPath)
        || !m_result.writeLine(QString::number(targetCount) + u',' + QString::number(sizeStepLength)
                               + u',' + QString::number(repeat))) {
        if (error)
            *error = m_result.errorString();
        close();
        return false;
    }
    const QString targetPath = dir.filePath(TargetFileName);
    QFile::remove(targetPath);
    if (!WriteTextLines(targetPath, targetNames, error)) {
        close(); // no test starts on a half-made store
        return false;
    }
    return true;
}

} // namespace netvane
