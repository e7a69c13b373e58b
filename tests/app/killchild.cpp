// The program's main window (offscreen) in a child process for the kill test: it runs
// a ping test, a traceroute or a scan, as its one argument says, and prints what the
// window shows as it comes, one line each, until it is killed:
//   "echo ROW"               a ping test's echo recorded and shown
//   "trace HOST LINE TEXT"   a line of a host's trace shown
//   "scan TEXT"              a scan answer taken
//   "path SENT"              (path) the echoes to the first target shown as sent
//   "ready ECHOES"           (scan) the ping test run before the scan has finished
//   "box TEXT"               a message box, answered OK
// The mode "scan10" scans 127.0.0.1 to 127.0.0.10 and ends by itself, printing
// "done ACTIVE INACTIVE", or "refused" when the scan did not start. The mode
// "traceslow" traces two hosts of the caller's silent link (10.232.0.5 and .6), each
// waiting out a second a hop, and prints "launched HOST".
// The data and settings folders come from the environment (XDG_*), as for the program.

#include "app/formtester.h"
#include "iplist/iplistpanel.h"
#include "ping/pingtest.h"
#include "platform/dialogs.h"
#include "platform/scanchannel.h"
#include "scanner/scanpanel.h"
#include "traceroute/pathpanel.h"
#include "traceroute/tracertpanel.h"
#include "traceroute/tracerun.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>

#include <cstdio>

using namespace netvane;

namespace {

void show(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void startPing(FormTester &window, int echoes)
{
    window.findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    window.findChild<QComboBox *>(u"ComboInv"_qs)->setEditText(u"1"_qs);
    window.findChild<QComboBox *>(u"ComboTimes"_qs)->setEditText(QString::number(echoes));
    window.CommandStart_Click();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    setMessageResponder([](const MessageBoxRequest &box) {
        show(u"box "_qs + QString(box.text).replace(u'\n', u' '));
        return BoxAnswer::Ok;
    });
    FormTester window;
    window.tracertPanel()->run()->setProgram(QStringLiteral(TRACERT_PATH));
    window.findChild<QCheckBox *>(u"CheckIPtoName"_qs)->setChecked(false);
    window.show();
    PingTest *test = window.pingTest();

    if (mode == u"ping") {
        QObject::connect(test, &PingTest::replyRecorded, &app,
                         [](int row, const auto &) { show(u"echo "_qs + QString::number(row)); });
        startPing(window, 1000000);
    } else if (mode == u"trace") {
        // 200 hosts on loopback, at most 64 at once: several polls of a second each.
        TraceRun *run = window.tracertPanel()->run();
        run->setShownHosts(0, 199);
        auto shown = std::make_shared<QList<int>>();
        QObject::connect(run, &TraceRun::linesChanged, &app, [run, shown] {
            const QList<TraceHost> &hosts = run->hosts();
            shown->resize(hosts.size());
            for (int k = 0; k < hosts.size(); ++k)
                for (int j = (*shown)[k]; j < hosts[k].lines.lineCount; ++j, ++(*shown)[k])
                    show(u"trace %1 %2 %3"_qs.arg(k).arg(j).arg(hosts[k].lines.entry(j)));
        });
        window.ipListPanel()->dialogState().manualTarget[2] = u"CLoop,127.0.1.1,127.0.1.200"_qs;
        window.StartTrace();
    } else if (mode == u"path") {
        // After each redraw of the panel, what its table shows.
        auto *table = window.findChild<QTableWidget *>(u"TablePath"_qs);
        QObject::connect(window.findChild<QTimer *>(u"TimerPath"_qs), &QTimer::timeout, &app, [table] {
            if (table->rowCount() > 0 && table->item(0, 4))
                show(u"path "_qs + table->item(0, 4)->text());
        });
        window.findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
        window.findChild<QComboBox *>(u"ComboInv"_qs)->setEditText(u"5"_qs);
        window.CommandPath_Click();
    } else if (mode == u"scan") {
        // A short ping test first: the next start must show it again.
        QObject::connect(test, &PingTest::finished, &app, [&] {
            QMetaObject::invokeMethod(&app, [&] {
                show(u"ready "_qs + QString::number(test->log().size()));
                auto *channel = window.scanPanel()->findChild<platform::ScanChannel *>();
                QObject::connect(channel, &platform::ScanChannel::answerReceived, &app,
                                 [](const QByteArray &text) { show(u"scan "_qs + QString::fromUtf8(text)); });
                window.ipListPanel()->dialogState().manualTarget[0] =
                    u"CIP_Range_Manual,127.0.0.1,127.0.0.254"_qs;
                window.scanPanel()->StartScan();
            }, Qt::QueuedConnection);
        });
        startPing(window, 20);
    } else if (mode == u"traceslow") {
        QObject::connect(window.tracertPanel()->run(), &TraceRun::hostLaunched, &app,
                         [](int host) { show(u"launched "_qs + QString::number(host)); });
        window.findChild<QComboBox *>(u"ComboTracert_3"_qs)->setEditText(u"1000"_qs);
        window.ipListPanel()->dialogState().manualTarget[2] = u"BSilent,10.232.0.5,10.232.0.6"_qs;
        window.CommandTracert_Click();
    } else if (mode == u"scan10") {
        ScanPanel *scan = window.scanPanel();
        QObject::connect(scan, &ScanPanel::scanCompleted, &app, [scan] {
            show(u"done %1 %2"_qs.arg(scan->tally().active).arg(scan->tally().inactive));
            QCoreApplication::exit(0);
        });
        QMetaObject::invokeMethod(&app, [&window, scan] {
            window.ipListPanel()->dialogState().manualTarget[0] =
                u"CIP_Range_Manual,127.0.0.1,127.0.0.10"_qs;
            scan->StartScan();
            if (!window.isBusy() && scan->resultsAll().isEmpty()) {
                show(u"refused"_qs);
                QCoreApplication::exit(0);
            }
        }, Qt::QueuedConnection);
    } else {
        return 2;
    }
    return app.exec();
}
