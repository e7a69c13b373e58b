#include "scanner/probeinstall.h"

#include "platform/process.h"
#include "platform/textfile.h"
#include "scanner/probe/scanmessage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace netvane {

namespace {

constexpr auto ProbeAccess = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
// A copy asked whether it can send answers at once; a loaded machine gets time.
constexpr int EchoCheckMs = 5000;

bool installInto(const QString &folder, const QByteArray &bytes, QString *path, QString *error)
{
    if (folder.isEmpty())
        return false;
    *path = QDir(folder).filePath(ProbeFileName);
    const QFileInfo info(*path);
    if (info.isSymLink() || (info.exists() && !info.isFile())) {
        *error = QDir::toNativeSeparators(*path) + u" is not a regular file"_qs;
        return false;
    }
    if (info.exists()) {
        QByteArray present;
        if (!ReadFileBytes(*path, &present, error))
            return false;
        if (present == bytes) {
            if ((QFile::permissions(*path) & ProbeAccess) == ProbeAccess)
                return true;
            return QFile::setPermissions(*path, QFile::permissions(*path) | ProbeAccess);
        }
    }
    // Written beside and renamed over: a probe that is running keeps its old file.
    if (!ReplaceFile(*path, bytes, error, FileAccess::OwnerOnly))
        return false;
    return QFile::setPermissions(*path, ProbeAccess);
}

QString echoSocketAdvice(const QString &besideProgram)
{
    return u"The scan cannot start: the probe program cannot open an ICMP socket, so every "
           "address would be reported \"Dead\".\n\n"
           "Allow ICMP echo sockets for your group, for example:\n"
           "    sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n"
           "or give the probe program installed beside Netvane the raw-socket capability:\n"
           "    sudo setcap cap_net_raw+ep "_qs
           + QDir::toNativeSeparators(besideProgram);
}

} // namespace

QByteArray CarriedProbeProgram()
{
    QFile resource(u":/scanner/"_qs + ProbeFileName);
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    return resource.readAll();
}

QString InstallProbeProgram(const QString &dataFolder, QString *error, const QString &fallbackFolder,
                            QString *dataFolderProblem)
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
    if (dataFolderProblem)
        *dataFolderProblem = why;
    const QString fallback =
        fallbackFolder.isEmpty() ? QCoreApplication::applicationDirPath() : fallbackFolder;
    if (installInto(fallback, bytes, &path, &why))
        return path;
    if (error)
        *error = why;
    return {};
}

ProbeChoice ChooseProbeProgram(const QString &installed, const QString &programFolder)
{
    const QString beside = QDir(programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                        : programFolder)
                               .filePath(ProbeFileName);
    QStringList candidates;
    if (!installed.isEmpty())
        candidates << installed;
    if (QFileInfo(beside).isFile() && !IsSameFile(beside, installed))
        candidates << beside;
    ProbeChoice choice;
    QString notStarted;
    bool anyRan = false;
    for (const QString &candidate : std::as_const(candidates)) {
        QString why;
        const int code = platform::RunAndWait(candidate, {QString::fromLatin1(scanmsg::EchoCheckArgument)},
                                              EchoCheckMs, &why);
        if (code == 0) {
            choice.path = candidate;
            return choice;
        }
        if (code == scanmsg::NoEchoSocketExit)
            anyRan = true;
        else if (notStarted.isEmpty())
            notStarted = QDir::toNativeSeparators(candidate) + u": "_qs
                         + (code < 0 ? why : u"exit code %1"_qs.arg(code));
    }
    choice.problem = anyRan || notStarted.isEmpty()
                         ? echoSocketAdvice(beside)
                         : u"The scan cannot start: the probe program cannot be started: "_qs
                               + notStarted;
    return choice;
}

} // namespace netvane
