#include "platform/datafolder.h"

#include <QCoreApplication>
#include <QDir>
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

QString DesktopFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return desktop.isEmpty() ? QDir::homePath() : desktop;
}

} // namespace netvane
