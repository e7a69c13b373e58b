#include "scanner/probeinstall.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace netvane {

namespace {

bool installInto(const QString &folder, const QByteArray &bytes, QString *path, QString *error)
{
    if (folder.isEmpty())
        return false;
    *path = QDir(folder).filePath(ProbeFileName);
    QFile present(*path);
    if (present.open(QIODevice::ReadOnly)) {
        const bool same = present.size() == bytes.size() && present.readAll() == bytes;
        present.close();
        const auto exec = QFileDevice::ExeOwner;
        if (same && (present.permissions() & exec))
            return true;
        if (same)
            return present.setPermissions(present.permissions() | exec);
    }
    // Written beside and renamed over: a probe that is running keeps its old file.
    QSaveFile file(*path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                        | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                        | QFileDevice::ReadOther | QFileDevice::ExeOther);
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

QByteArray CarriedProbeProgram()
{
    QFile resource(u":/scanner/"_qs + ProbeFileName);
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    return resource.readAll();
}

QString InstallProbeProgram(const QString &dataFolder, QString *error, const QString &fallbackFolder)
{
    const QByteArray bytes = CarriedProbeProgram();
    QString why = u"the probe program is missing from this build"_qs;
    if (bytes.isEmpty()) {
        if (error)
            *error = why;
        return {};
    }
    QString path;
    if (installInto(dataFolder, bytes, &path, &why))
        return path;
    const QString fallback =
        fallbackFolder.isEmpty() ? QCoreApplication::applicationDirPath() : fallbackFolder;
    if (installInto(fallback, bytes, &path, &why))
        return path;
    if (error)
        *error = why;
    return {};
}

} // namespace netvane
