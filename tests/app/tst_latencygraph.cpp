// The latency graph of a reloaded test, opened from the ping panel: a five-minute
// loss burst of one target shows as marks in that range of the time axis and as the
// longest loss run of the legend, before and after zooming in; the pointer on a mark
// names the lost echo; a double click shows the whole test again. A graph left open
// starts over with the next test and follows it echo by echo.

#include "app/formtester.h"
#include "ping/dialogexport.h"
#include "ping/formlatencygraph.h"
#include "ping/pingpanel.h"
#include "ping/resultstore.h"
#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QAction>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRadioButton>
#include <QTimer>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

using namespace netvane;
using namespace netvane::test;

namespace {

const QDateTime Start(QDate(2026, 12, 7), QTime(21, 0, 0));

// Targets a (127.0.0.1) and b (127.0.0.2), one echo each a second for 30 minutes;
// b gets no reply from 21:10:00 to 21:14:59.
QByteArray burstFile()
{
    QByteArray file = "2,1,1\r\n";
    for (int s = 0; s < 1800; ++s)
        for (int k = 0; k < 2; ++k) {
            const bool lost = k == 1 && s >= 600 && s < 900;
            file += Start.addSecs(s).toString(u"yyyy,MM,dd,HH,mm,ss"_qs).toLatin1() + ",127.0.0."
                    + QByteArray::number(k + 1) + ",32,"
                    + (lost ? QByteArray("-1,0,11010") : QByteArray::number(1 + (s + 7 * k) % 40) + ",64,0")
                    + "\r\n";
        }
    return file;
}

// Which columns of the plot carry a loss mark of target k, as seconds since 21:00:00
// sampled every 30 s from 15 (away from the burst's edges, where a column holds both).
QList<int> markedSeconds(LatencyGraph &graph, qsizetype k)
{
    const QImage image = graph.grab().toImage();
    QList<int> marked;
    for (int s = 15; s < 1800; s += 30) {
        const int x = graph.columnOfSecond(double(Start.toSecsSinceEpoch() + Start.offsetFromUtc() + s) + 0.5);
        if (x < graph.plotRect().left() || x > graph.plotRect().right())
            continue;
        if (image.pixelColor(x, graph.lossMarkY(k) + 1) == LatencyGraph::LossColor)
            marked << s;
    }
    return marked;
}

// Which of the same columns are shaded as an outage, above the lines.
QList<int> shadedSeconds(LatencyGraph &graph)
{
    const QImage image = graph.grab().toImage();
    QList<int> shaded;
    for (int s = 15; s < 1800; s += 30) {
        const int x = graph.columnOfSecond(double(Start.toSecsSinceEpoch() + Start.offsetFromUtc() + s) + 0.5);
        if (x > graph.plotRect().left() && x <= graph.plotRect().right()
            && image.pixelColor(x, graph.plotRect().top() + 3) == LatencyGraph::OutageShade)
            shaded << s;
    }
    return shaded;
}

QList<int> secondsFrom(int from, int to)
{
    QList<int> s;
    for (int i = from + 15; i < to; i += 30)
        s << i;
    return s;
}

} // namespace

class TestLatencyGraph : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lossBurstShowsInItsRange();
    void followsTheNextTest();
    void exportsJsonFromTheDialog();
};

void TestLatencyGraph::lossBurstShowsInItsRange()
{
    IsolatedFolders folders;
    ScriptedUi ui;
    {
        FormTester empty; // no test yet: nothing to draw, no Graph button
        QVERIFY(empty.findChild<QPushButton *>(u"PingGraph"_qs)->isHidden());
    }
    WriteFileBytes(folders.dataFolder() + ResultFileName, burstFile());
    WriteFileBytes(folders.dataFolder() + TargetFileName, "a\r\nb\r\n");
    FormTester window;
    QCOMPARE(window.pingTest()->log().size(), 3600);
    QVERIFY(window.findChild<QAction *>(u"mnuGraph"_qs));
    // A reloaded test offers its report and its graph; a window with no test shows
    // no Graph button.
    QVERIFY(!window.findChild<QPushButton *>(u"PingReport"_qs)->isHidden());
    QVERIFY(!window.findChild<QPushButton *>(u"PingGraph"_qs)->isHidden());
    window.findChild<QPushButton *>(u"PingGraph"_qs)->click();
    auto *form = window.findChild<FormLatencyGraph *>(u"FormGraph"_qs);
    QVERIFY(form);
    QVERIFY(form->isVisible());
    LatencyGraph *graph = form->graph();
    QVERIFY(graph->showsWholeTest());

    QCOMPARE(markedSeconds(*graph, 0), QList<int>{});
    QCOMPARE(markedSeconds(*graph, 1), secondsFrom(600, 900));
    QCOMPARE(shadedSeconds(*graph), secondsFrom(600, 900)); // b's outage, 300 lost in a row
    const auto *legend = form->findChild<QLabel *>(u"LabelLegend"_qs);
    PingReplyRecord burstStart;
    burstStart.year = 2026, burstStart.month = 12, burstStart.day = 7, burstStart.hour = 21, burstStart.minute = 10;
    QVERIFY2(legend->text().contains(u"longest loss run 300 at "_qs + ReplyDateTimeText(burstStart)),
             qPrintable(legend->text()));
    QVERIFY(legend->text().contains(u"sent 1800, lost 0 (0.00 %)"_qs));

    // Three wheel steps in, at 21:12:00: the range narrows around it.
    const double noon = double(Start.toSecsSinceEpoch() + Start.offsetFromUtc() + 720);
    const QPointF at(graph->columnOfSecond(noon), graph->plotRect().center().y());
    for (int i = 0; i < 3; ++i) {
        QWheelEvent wheel(at, graph->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(graph, &wheel);
    }
    QVERIFY(!graph->showsWholeTest());
    QVERIFY(graph->viewTo() - graph->viewFrom() < 1800 * 0.6);
    QVERIFY(graph->viewFrom() < noon && graph->viewTo() > noon);
    const QList<int> zoomed = markedSeconds(*graph, 1);
    QVERIFY(!zoomed.isEmpty());
    for (int s : zoomed)
        QVERIFY2(s >= 600 && s < 900, qPrintable(QString::number(s)));
    QVERIFY(legend->text().contains(u"shown range: "_qs));

    // The pointer on b's mark names the lost echo.
    QTest::mouseMove(graph, QPoint(int(at.x()), graph->lossMarkY(1) + 1));
    const QString echo = form->findChild<QLabel *>(u"LabelEcho"_qs)->text();
    QVERIFY2(echo.contains(u"b (127.0.0.2)"_qs) && echo.contains(u"Request  timed  out."_qs), qPrintable(echo));

    QTest::mouseDClick(graph, Qt::LeftButton, {}, QPoint(int(at.x()), 40));
    QVERIFY(graph->showsWholeTest());
    QVERIFY(ui.boxes.isEmpty());
}

void TestLatencyGraph::followsTheNextTest()
{
    if (!CanOpenEchoSocket())
        QSKIP("no ICMP socket can be opened here (needs ping_group_range or CAP_NET_RAW)");
    IsolatedFolders folders;
    ScriptedUi ui;
    WriteFileBytes(folders.dataFolder() + ResultFileName, burstFile());
    WriteFileBytes(folders.dataFolder() + TargetFileName, "a\r\nb\r\n");
    FormTester window;
    window.show();
    window.ShowLatencyGraph();
    auto *form = window.findChild<FormLatencyGraph *>(u"FormGraph"_qs);
    QVERIFY(form);
    QCOMPARE(form->data().whole().rows(), 3600);

    window.findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    window.findChild<QComboBox *>(u"ComboTimes"_qs)->setEditText(u"30"_qs);
    window.findChild<QComboBox *>(u"ComboInv"_qs)->setEditText(u"1"_qs);
    QTest::mouseClick(window.findChild<QPushButton *>(u"CommandStart"_qs), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(window.findChild<QPushButton *>(u"PingReport"_qs)->isVisible(), 20000);
    QCOMPARE(window.pingTest()->log().size(), 30);
    // Nothing of the reloaded test is left in the graph.
    QCOMPARE(form->data().whole().rows(), 30);
    QCOMPARE(form->data().targets(), QStringList{u"127.0.0.1"_qs});
    QCOMPARE(form->data().wholeFigures().value(0).sent(), 30);
    const auto *legend = form->findChild<QLabel *>(u"LabelLegend"_qs);
    QTRY_VERIFY_WITH_TIMEOUT(legend->text().contains(u"sent 30, lost 0 (0.00 %)"_qs), 5000);
    QVERIFY(!legend->text().contains(u"<b>a</b>"_qs));
    QVERIFY(ui.boxes.isEmpty());
}

void TestLatencyGraph::exportsJsonFromTheDialog()
{
    IsolatedFolders folders;
    ScriptedUi ui;
    WriteFileBytes(folders.dataFolder() + ResultFileName, burstFile());
    WriteFileBytes(folders.dataFolder() + TargetFileName, "a\r\nb\r\n");
    FormTester window;
    const QString path = folders.path() + u"/out.json"_qs;
    ui.paths.enqueue(path);
    auto *timer = new QTimer(&window); // answers the export choice with "JSON"
    connect(timer, &QTimer::timeout, timer, [timer] {
        if (auto *dialog = qobject_cast<DialogExport *>(QApplication::activeModalWidget())) {
            dialog->findChild<QRadioButton *>(u"Option3"_qs)->setChecked(true);
            dialog->findChild<QPushButton *>(u"OKButton"_qs)->click();
            timer->stop();
        }
    });
    timer->start(10);
    window.CommandExport_Click();
    QCOMPARE(ui.fileDialogs.size(), 1);
    QCOMPARE(ui.texts(), QStringList{u"Ping test result has export to file: \r\n\r\n"_qs + path});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray targets = QJsonDocument::fromJson(file.readAll())[u"targets"].toArray();
    QCOMPARE(targets.size(), 2);
    QCOMPARE(targets[1].toObject()[u"longestLossRun"].toInt(), 300);
    QCOMPARE(targets[1].toObject()[u"echoes"].toArray().size(), 1800);
}

QTEST_MAIN(TestLatencyGraph)
#include "tst_latencygraph.moc"
