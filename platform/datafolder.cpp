#include "platform/datafolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace netvane {

QString DataFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.size() < 3 || !QDir().mkpath(base))
        base = QCoreApplication::applicationDirPath();
    QString folder = QDir(base).filePath(u"NetvaneDataBas"_qs);
    if (!QDir().mkpath(folder)) {
        base = QCoreApplication::applicationDirPath();
        folder = QDir(base).filePath(u"NetvaneDataBas"_qs);
        QDir().mkpath(folder);
    }
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

QString DocumentsFolder()
{
    // A folder that does not exist would make the dialog fall back to the working folder.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

} // namespace netvane
