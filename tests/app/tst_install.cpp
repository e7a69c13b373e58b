// The install target: the program, its own commands, the menu entry, the icon and the
// monitor's user unit land under a chosen prefix, and as root the echo programs get
// cap_net_raw.

#include "support/testenv.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestInstall : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void installsUnderThePrefix();
};

void TestInstall::installsUnderThePrefix()
{
    QTemporaryDir prefix;
    QString output;
    QVERIFY2(netvane::test::Run(QStringLiteral(CMAKE_COMMAND),
                                {u"--install"_qs, QStringLiteral(BUILD_DIR), u"--prefix"_qs, prefix.path()},
                                &output),
             qPrintable(output));
    const QDir root(prefix.path());
    const QFileInfo link(root.filePath(u"bin/netvane"_qs));
    QVERIFY(link.isSymLink());
    QCOMPARE(link.canonicalFilePath(), QFileInfo(root.filePath(u"lib/netvane/netvane"_qs)).canonicalFilePath());
    QVERIFY(link.isExecutable());
    // The program's own commands beside it, where it looks first; none on PATH.
    QVERIFY(QFileInfo(root.filePath(u"lib/netvane/tracert"_qs)).isExecutable());
    QVERIFY(!QFileInfo::exists(root.filePath(u"bin/tracert"_qs)));

    QSettings desktop(root.filePath(u"share/applications/netvane.desktop"_qs), QSettings::IniFormat);
    desktop.beginGroup(u"Desktop Entry"_qs);
    QCOMPARE(desktop.value(u"Exec"_qs).toString(), u"netvane"_qs);
    QCOMPARE(desktop.value(u"Icon"_qs).toString(), u"netvane"_qs);
    QCOMPARE(desktop.value(u"Type"_qs).toString(), u"Application"_qs);
    QVERIFY(QFileInfo(root.filePath(u"share/icons/hicolor/scalable/apps/netvane.svg"_qs)).size() > 0);

    // The headless monitor's user unit names the program where it was installed.
    const QString unit = root.filePath(u"lib/systemd/user/netvane-monitor.service"_qs);
    QSettings service(unit, QSettings::IniFormat);
    QCOMPARE(service.value(u"Service/ExecStart"_qs).toString(), link.filePath() + u" --headless"_qs);
    QCOMPARE(service.value(u"Install/WantedBy"_qs).toString(), u"default.target"_qs);
    const QString analyze = QStandardPaths::findExecutable(u"systemd-analyze"_qs);
    if (!analyze.isEmpty()) {
        QString said;
        QVERIFY2(netvane::test::Run(analyze, {u"verify"_qs, unit}, &said), qPrintable(said));
        QVERIFY2(!said.contains(unit), qPrintable(said)); // no complaint about it
    }

    const QString getcap = QStandardPaths::findExecutable(u"getcap"_qs, {u"/usr/sbin"_qs, u"/sbin"_qs});
    if (::geteuid() != 0 || getcap.isEmpty()) {
        QVERIFY2(output.contains(u"setcap cap_net_raw+ep"_qs), qPrintable(output)); // says how
        return;
    }
    if (output.contains(u"cap_net_raw+ep"_qs) && output.contains(u"failed"_qs))
        QSKIP("root here cannot set file capabilities (a user namespace?)");
    for (const QString &program : {u"lib/netvane/netvane"_qs, u"lib/netvane/tracert"_qs}) {
        QString caps;
        QVERIFY(netvane::test::Run(getcap, {root.filePath(program)}, &caps));
        QVERIFY2(caps.contains(u"cap_net_raw"_qs), qPrintable(program + u": "_qs + caps + output));
    }
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
