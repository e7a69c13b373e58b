// The settings kept between runs: the store itself, and the window that puts them
// into its boxes at start-up and saves them when a test starts and when it closes.

#include "app/appsettings.h"
#include "app/formtester.h"
#include "ping/exportfile.h"
#include "ping/pingpanel.h"
#include "ping/resultstore.h"
#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QApplication>
#include <QTest>
#include <QTimer>

using namespace netvane;
using namespace netvane::test;

class TestAppSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void keyNames();
    void firstRun();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void failedWrite();
    void damagedLineCostsOnlyItself();
    void windowAppliesInOrder();
    void windowCollectsAndSaves();
    void windowSavesWhenTestStarts();
    void tracertStartUpMode();
    void windowShowsFailedWrite();
    void settingBoxesSurviveARestart();
    void storedAdvancedReopensTheIntervalDialog();
    void windowPlace_data();
    void windowPlace();
    void firstFileDialogFolder_data();
    void firstFileDialogFolder();
};

void TestAppSettings::windowPlace_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QRect>("expected"); // on a free area of 0,0 1366x736
    QTest::newRow("none: centred") << QString() << QRect(93, 18, 1180, 700);
    QTest::newRow("kept") << u"40,50,1100,650"_qs << QRect(40, 50, 1100, 650);
    QTest::newRow("from a larger screen") << u"300,200,1900,1000"_qs << QRect(0, 0, 1366, 736);
    QTest::newRow("off the right edge") << u"1300,10,1100,650"_qs << QRect(266, 10, 1100, 650);
    QTest::newRow("below its minimum") << u"40,50,300,200"_qs << QRect(40, 50, 900, 600);
}

void TestAppSettings::windowPlace()
{
    QFETCH(QString, stored);
    QFETCH(QRect, expected);
    const QRect place = FittedWindowPlace(WindowPlaceOf(stored), QSize(1180, 700), QSize(900, 600),
                                          QRect(0, 0, 1366, 736));
    QCOMPARE(place, expected);
    QCOMPARE(WindowPlaceOf(WindowPlaceText(place)), place); // what is written reads back
}

void TestAppSettings::keyNames()
{
    QStringList names;
    for (int k = 0; k < AppSettings::KeyCount; ++k)
        names << AppSettings::keyName(AppSettings::Key(k));
    QCOMPARE(names, (QStringList{u"Default_Interval"_qs, u"Default_Buffer"_qs, u"Default_TimeOut"_qs,
                                 u"Default_Number"_qs, u"Default_Path"_qs, u"Default_IPtoName"_qs,
                                 u"Default_Hop_Number"_qs, u"Default_Host_List"_qs,
                                 u"Default_TimeOut2"_qs, u"Default_CmdType"_qs,
                                 u"Default_TraceFileName"_qs, u"Default_IPQty"_qs,
                                 u"Default_RepeatIP"_qs, u"Default_TraceIPQty"_qs,
                                 u"Default_Metrics"_qs, u"Default_MetricsAddress"_qs,
                                 u"Default_WindowPlace"_qs, u"Default_AddressFamily"_qs,
                                 u"Default_OutageAfter"_qs, u"Default_OutageNotify"_qs,
                                 u"Default_OutageCommand"_qs}));
    QStringList boxes;
    for (const AppSettings::BoxSetting &b : AppSettings::boxSettings())
        boxes << AppSettings::keyName(b.key) + u'=' + QString::fromLatin1(b.objectName);
    QCOMPARE(boxes, (QStringList{u"Default_Interval=ComboInv"_qs, u"Default_Buffer=ComboSize"_qs,
                                 u"Default_TimeOut=ComboTimeOut"_qs, u"Default_Number=ComboTimes"_qs,
                                 u"Default_RepeatIP=ComboRepIP"_qs,
                                 u"Default_Hop_Number=ComboTracert_1"_qs,
                                 u"Default_Host_List=ComboTracert_2"_qs,
                                 u"Default_TimeOut2=ComboTracert_3"_qs}));
}

void TestAppSettings::firstRun()
{
    IsolatedFolders folders;
    AppSettings s;
    s.load();
    for (int k = 0; k < AppSettings::KeyCount; ++k)
        QVERIFY(s.value(AppSettings::Key(k)).isEmpty());
    QVERIFY(s.filePath().startsWith(folders.path()));
}

void TestAppSettings::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("size list") << u"32 to 32000, 32++, 1"_qs;
    QTest::newRow("folder with two blanks") << u"/home/user/My Exports  "_qs;
    QTest::newRow("advanced") << u"Advanced"_qs;
    QTest::newRow("leading blank") << u" 600"_qs;
    QTest::newRow("quotes and escapes") << u"a\"b\\c;d=e#f"_qs;
    QTest::newRow("at sign") << u"@Variant(x)"_qs;
    QTest::newRow("non-latin") << u"Zürich-Gerät"_qs;
    QTest::newRow("number") << u"3"_qs;
}

void TestAppSettings::valuesRoundTrip()
{
    QFETCH(QString, text);
    IsolatedFolders folders;
    AppSettings written;
    for (int k = 0; k < AppSettings::KeyCount; ++k)
        written.setValue(AppSettings::Key(k), text + QString::number(k));
    QVERIFY(written.save());
    AppSettings read;
    read.load();
    for (int k = 0; k < AppSettings::KeyCount; ++k)
        QCOMPARE(read.value(AppSettings::Key(k)), text + QString::number(k));
    // Stored as text under the key names, in the user's configuration folder.
    const QSettings raw(QDir(folders.path()).filePath(u"config/Netvane/Netvane.conf"_qs),
                        QSettings::IniFormat);
    QCOMPARE(raw.value(u"Default_RepeatIP"_qs).typeId(), QMetaType::QString);
    QCOMPARE(raw.value(u"Default_RepeatIP"_qs).toString(), text + u"12"_qs);
}

void TestAppSettings::failedWrite()
{
    IsolatedFolders folders;
    // A file where the settings folder should be: nothing can be written.
    test::WriteFileBytes(QDir(folders.path()).filePath(u"config/Netvane"_qs), "x");
    AppSettings s;
    s.setValue(AppSettings::Interval, u"600"_qs);
    QString error;
    QVERIFY(!s.save(&error));
    QVERIFY2(error.startsWith(u"Cannot save the settings in "_qs), qPrintable(error));
    QVERIFY2(error.endsWith(u": Not a directory"_qs), qPrintable(error)); // the system's words
    s.load(); // reading what cannot be read leaves every value empty
    QVERIFY(s.value(AppSettings::Interval).isEmpty());
}

// One malformed line (a hand edit, a torn write) keeps every value that reads, and
// the next save writes them back.
void TestAppSettings::damagedLineCostsOnlyItself()
{
    IsolatedFolders folders;
    test::WriteFileBytes(AppSettings::filePath(),
                         "[General]\nDefault_Interval=600\nDefault_Buffer=\"32 to 32000, 32++, 1\"\n"
                         "this line is damaged \xff\x01\n[broken\nDefault_TimeOut=\"unterminated\n"
                         "Default_Number=5\nDefault_RepeatIP=2, 3\n");
    AppSettings s;
    QVERIFY(s.load());
    QCOMPARE(s.value(AppSettings::Interval), u"600"_qs);
    QCOMPARE(s.value(AppSettings::Buffer), u"32 to 32000, 32++, 1"_qs);
    QCOMPARE(s.value(AppSettings::TimeOut), u"unterminated"_qs);
    QCOMPARE(s.value(AppSettings::Number), u"5"_qs);
    QCOMPARE(s.value(AppSettings::RepeatIP), u"2, 3"_qs); // a hand-written list, joined
    QVERIFY(s.save());
    AppSettings again;
    QVERIFY(again.load());
    for (int k = 0; k < AppSettings::KeyCount; ++k)
        QCOMPARE(again.value(AppSettings::Key(k)), s.value(AppSettings::Key(k)));
    QCOMPARE(again.value(AppSettings::Interval), u"600"_qs);
}

void TestAppSettings::windowAppliesInOrder()
{
    IsolatedFolders folders;
    ScriptedUi ui;
    FormTester window;
    // Stand-ins for the setting boxes, found by their object names.
    QStringList changes;
    for (const char *name : {"ComboTracert_3", "ComboInv", "ComboRepIP", "ComboSize", "ComboTimes",
                             "ComboTimeOut", "ComboTracert_1", "ComboTracert_2"}) {
        auto *combo = new QComboBox(&window);
        combo->setObjectName(QString::fromLatin1(name));
        combo->setEditable(true);
        combo->setEditText(u"designed"_qs);
        connect(combo, &QComboBox::editTextChanged, this, [&changes, combo](const QString &t) {
            changes << combo->objectName() + u'=' + t;
        });
    }
    auto *check = new QCheckBox(&window);
    check->setObjectName(u"CheckIPtoName"_qs);

    // Empty values leave the designed texts alone.
    window.applySettings();
    QVERIFY(changes.isEmpty());
    QVERIFY(!check->isChecked());

    AppSettings &s = window.settings();
    s.setValue(AppSettings::Interval, u"Advanced"_qs);
    s.setValue(AppSettings::Buffer, u"32 to 32000, 32++, 1"_qs);
    s.setValue(AppSettings::TimeOut, u"600"_qs);
    s.setValue(AppSettings::Number, u"5"_qs);
    s.setValue(AppSettings::RepeatIP, u"2"_qs);
    s.setValue(AppSettings::HopNumber, u"30"_qs);
    s.setValue(AppSettings::HostList, u"10.0.0.1"_qs);
    s.setValue(AppSettings::TimeOut2, u"900"_qs);
    s.setValue(AppSettings::IPtoName, u"1"_qs);
    s.setValue(AppSettings::Path, u"/tmp/exports  "_qs);
    window.applySettings();
    QCOMPARE(changes, (QStringList{u"ComboInv=Advanced"_qs, u"ComboSize=32 to 32000, 32++, 1"_qs,
                                   u"ComboTimeOut=600"_qs, u"ComboTimes=5"_qs, u"ComboRepIP=2"_qs,
                                   u"ComboTracert_1=30"_qs, u"ComboTracert_2=10.0.0.1"_qs,
                                   u"ComboTracert_3=900"_qs}));
    QVERIFY(check->isChecked());
    QCOMPARE(LastDialogFolder(), u"/tmp/exports"_qs);
    s.setValue(AppSettings::IPtoName, u"0"_qs);
    window.applySettings();
    QVERIFY(!check->isChecked());
}

void TestAppSettings::windowCollectsAndSaves()
{
    IsolatedFolders folders;
    ScriptedUi ui;
    SetLastDialogFolder(QString());
    {
        FormTester window;
        QCOMPARE(window.mode(), u"Ping"_qs); // first run: ping mode
        auto *inv = new QComboBox(&window);
        inv->setObjectName(u"ComboInv"_qs);
        inv->setEditable(true);
        inv->setEditText(u"1000"_qs);
        auto *check = new QCheckBox(&window);
        check->setObjectName(u"CheckIPtoName"_qs);
        check->setChecked(true);
        window.settings().setValue(AppSettings::TraceFileName, u"/data/trace_"_qs);
        SetLastDialogFolder(u"/srv/out"_qs);
        QVERIFY(window.close()); // closing saves
    }
    AppSettings s;
    s.load();
    QCOMPARE(s.value(AppSettings::Interval), u"1000"_qs);
    QCOMPARE(s.value(AppSettings::IPtoName), u"1"_qs);
    QCOMPARE(s.value(AppSettings::Path), u"/srv/out  "_qs);
    QCOMPARE(s.value(AppSettings::CmdType), u"Ping"_qs);
    QCOMPARE(s.value(AppSettings::TraceFileName), u"/data/trace_"_qs);
    QCOMPARE(s.value(AppSettings::Buffer), u"32  Bytes"_qs); // the size box's designed text
    QVERIFY(ui.boxes.isEmpty());

    // The next start reads them back into the same boxes, which exist only after
    // the window is built, so apply once more as the start-up does.
    SetLastDialogFolder(QString());
    FormTester again;
    QCOMPARE(LastDialogFolder(), u"/srv/out"_qs);
    auto *inv = new QComboBox(&again);
    inv->setObjectName(u"ComboInv"_qs);
    inv->setEditable(true);
    again.applySettings();
    QCOMPARE(inv->currentText(), u"1000"_qs);
}

void TestAppSettings::windowSavesWhenTestStarts()
{
    IsolatedFolders folders;
    ScriptedUi ui;
    FormTester window;
    window.findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    window.findChild<QComboBox *>(u"ComboInv"_qs)->setEditText(u"50"_qs);
    window.findChild<QPushButton *>(u"CommandStart"_qs)->click();
    QVERIFY(window.isBusy());
    AppSettings s;
    s.load();
    QCOMPARE(s.value(AppSettings::CmdType), u"Ping"_qs);
    QCOMPARE(s.value(AppSettings::IPQty), u"1"_qs);
    QSignalSpy finished(window.pingTest(), &PingTest::finished);
    window.CommandStop_Click();
    QVERIFY(finished.wait(5000));
}

void TestAppSettings::tracertStartUpMode()
{
    IsolatedFolders folders;
    ScriptedUi ui;
    // A previous ping result exists, but traceroute was the function used last.
    QDir().mkpath(folders.dataFolder());
    test::WriteFileBytes(folders.dataFolder() + ResultFileName,
               "1,1,1\r\n2026,12,07,21,05,09,127.0.0.1,32,1,64,0\r\n");
    AppSettings s;
    s.setValue(AppSettings::CmdType, u"Tracert"_qs);
    QVERIFY(s.save());
    {
        FormTester window;
        QCOMPARE(window.mode(), u"Tracert"_qs);
        QVERIFY(window.pingTest()->log().isEmpty()); // the ping results are not read
        QVERIFY(window.pingPanel()->title(0)->text().isEmpty());
        QVERIFY(window.close());
    }
    s.load();
    QCOMPARE(s.value(AppSettings::CmdType), u"Tracert"_qs);

    // Any other text, and an empty one, starts in ping mode and shows the results.
    for (const QString &type : {u"tracert"_qs, QString()}) {
        s.setValue(AppSettings::CmdType, type);
        QVERIFY(s.save());
        FormTester window;
        QCOMPARE(window.mode(), u"Ping"_qs);
        QCOMPARE(window.pingTest()->log().size(), 1);
    }
}

void TestAppSettings::windowShowsFailedWrite()
{
    IsolatedFolders folders;
    ScriptedUi ui;
    FormTester window;
    test::WriteFileBytes(QDir(folders.path()).filePath(u"config/Netvane"_qs), "x");
    QVERIFY(window.close()); // the close goes ahead; the failure is said
    QCOMPARE(ui.boxes.size(), 1);
    QCOMPARE(ui.boxes.at(0).icon, BoxIcon::Critical);
    QVERIFY(ui.boxes.at(0).text.startsWith(u"Cannot save the settings in "_qs));
}

void TestAppSettings::settingBoxesSurviveARestart()
{
    IsolatedFolders folders;
    ScriptedUi ui;
    const auto box = [](FormTester &w, const char *name) {
        return w.findChild<QComboBox *>(QString::fromLatin1(name));
    };
    {
        FormTester window;
        box(window, "ComboInv")->setEditText(u"1500"_qs);
        box(window, "ComboSize")->setEditText(u"32 to 32000, 32++, 1"_qs);
        box(window, "ComboTimeOut")->setEditText(u"900  Milliseconds"_qs);
        box(window, "ComboTimes")->setEditText(u"1000"_qs);
        box(window, "ComboRepIP")->setEditText(u"3"_qs);
        QVERIFY(window.close());
    }
    FormTester again;
    QCOMPARE(box(again, "ComboInv")->currentText(), u"1500"_qs);
    QCOMPARE(box(again, "ComboSize")->currentText(), u"32 to 32000, 32++, 1"_qs);
    QCOMPARE(box(again, "ComboTimeOut")->currentText(), u"900  Milliseconds"_qs);
    QCOMPARE(box(again, "ComboTimes")->currentText(), u"1000"_qs);
    QCOMPARE(box(again, "ComboRepIP")->currentText(), u"3"_qs);
    QCOMPARE(again.findChild<QLabel *>(u"Label1_28"_qs)->text(), u"Total: 3000"_qs);
    QVERIFY(ui.boxes.isEmpty());

    // The stored size text is parsed again when a test starts.
    again.findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    again.CommandStart_Click();
    QVERIFY(again.isBusy());
    QCOMPARE(again.pingTest()->sizePlan.mode, u"Incremental"_qs);
    QCOMPARE(again.pingTest()->sizePlan.count, 1000);
    QCOMPARE(again.pingTest()->repeatPerTarget, 3);
    QCOMPARE(PingTimeout, 900);
    QSignalSpy finished(again.pingTest(), &PingTest::finished);
    again.CommandStop_Click();
    QVERIFY(finished.wait(5000));
}

void TestAppSettings::storedAdvancedReopensTheIntervalDialog()
{
    IsolatedFolders folders;
    ScriptedUi ui;
    {
        AppSettings stored;
        stored.setValue(AppSettings::Interval, u"Advanced"_qs);
        QVERIFY(stored.save());
    }
    // The dialog opens while the window starts; take its defaults.
    QString shown;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !shown.isEmpty())
            return;
        shown = modal->objectName();
        if (auto *ok = modal->findChild<QPushButton *>(u"Command2"_qs))
            ok->click();
    });
    answer.start(20);
    FormTester window;
    answer.stop();
    QCOMPARE(shown, u"DialogAdvanceInterval"_qs);
    QCOMPARE(window.findChild<QComboBox *>(u"ComboInv"_qs)->currentText(), u"1000 to 0, 10--, 1"_qs);
}

void TestAppSettings::firstFileDialogFolder_data()
{
    QTest::addColumn<QString>("made");       // folders made in the home folder
    QTest::addColumn<QString>("remembered"); // the stored last folder, in the home folder
    QTest::addColumn<QString>("expected");   // where the dialog starts, in the home folder
    QTest::newRow("none remembered") << u"Documents"_qs << QString() << u"Documents"_qs;
    QTest::newRow("no documents folder") << u"out"_qs << QString() << u"."_qs;
    QTest::newRow("remembered") << u"Documents,out"_qs << u"out"_qs << u"out"_qs;
    QTest::newRow("remembered gone") << u"Documents"_qs << u"out"_qs << u"Documents"_qs;
}

void TestAppSettings::firstFileDialogFolder()
{
    QFETCH(QString, made);
    QFETCH(QString, remembered);
    QFETCH(QString, expected);
    IsolatedFolders folders;
    const QDir home(folders.path());
    for (const QString &folder : made.split(u','))
        QVERIFY(home.mkpath(folder));
    AppSettings stored;
    if (!remembered.isEmpty())
        stored.setValue(AppSettings::Path, home.filePath(remembered) + u"  "_qs);
    QVERIFY(stored.save());
    ScriptedUi ui;
    FormTester window;
    window.findChild<QAction *>(u"mnuExpImp_5"_qs)->trigger(); // the history import's dialog
    QCOMPARE(ui.fileDialogs.size(), 1);
    QCOMPARE(QDir(ui.fileDialogs.at(0).initialFolder), QDir(home.filePath(expected)));
}

QTEST_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
