// The list column of the real main window, offscreen: the add/edit/delete dialogs
// driven through their named controls, target gathering, export and import. Every
// address used is on loopback; the window's list file is the test's own.
#include "app/appsettings.h"
#include "app/formtester.h"
#include "console/commandhistory.h"
#include "iplist/iplist.h"
#include "iplist/iplistfile.h"
#include "iplist/iplistpanel.h"
#include "iplist/targetentry.h"
#include "ping/pingtest.h"
#include "ping/resultstore.h"
#include "scanner/probeinstall.h"
#include "scanner/scanpanel.h"

#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>
#include <sys/stat.h>

using namespace netvane;

namespace {

// Answers the modal dialogs of the list as they show: each step runs on the dialog
// that is up, in order. A dialog still up when the steps run out is left by Exit
// (and the test fails), so nothing can hang.
class DialogScript final : public QObject
{
public:
    using Step = std::function<void(QDialog *)>;
    explicit DialogScript(QList<Step> steps) : m_steps(std::move(steps))
    {
        connect(&m_timer, &QTimer::timeout, this, &DialogScript::poll);
        m_timer.start(5);
    }
    int stepsLeft() const { return int(m_steps.size()); }
    void stop() { m_timer.stop(); }
    bool overrun = false;
    QStringList titles; // the window title at each step

private:
    void poll()
    {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || m_running)
            return;
        m_running = true;
        titles << dialog->windowTitle();
        if (m_steps.isEmpty()) {
            overrun = true;
            dialog->findChild<QPushButton *>(u"Command2"_qs)->click();
        } else {
            m_steps.takeFirst()(dialog);
        }
        m_running = false;
    }
    QList<Step> m_steps;
    QTimer m_timer;
    bool m_running = false;
};

template <typename T>
T *child(QObject *parent, const QString &name)
{
    T *w = parent->findChild<T *>(name);
    if (!w)
        qFatal("no control %s", qPrintable(name));
    return w;
}

void click(QObject *parent, const QString &name)
{
    child<QPushButton>(parent, name)->click();
}

void setLine(QObject *parent, const QString &name, const QString &text)
{
    child<QLineEdit>(parent, name)->setText(text);
}

QString status(QDialog *d)
{
    return child<QLabel>(d, u"LabelStatus"_qs)->text();
}

DialogScript::Step exitDialog()
{
    return [](QDialog *d) { click(d, u"Command2"_qs); };
}

} // namespace

class TestIpListWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void addSingle();
    void addGroup();
    void addRange();
    void editToTheSameTextDoesNothing();
    void editGroupKeepsItsPlace();
    void deleteManyAsksWithNineNames();
    void selectionAndAddressBox();
    void gatherTargets();
    void groupPingStartsATestWithoutSaving();
    void refusedPingLeavesNoTargetBehind();
    void typedAddressWinsOverTheSelection();
    void exportImport();
    void controlCharactersRefused();
    void fifosAtDataPathsDoNotBlockTheStart();

private:
    void startWindow(const QStringList &items);
    QStringList fileItems() const;

    test::IsolatedFolders *m_folders = nullptr;
    test::ScriptedUi *m_ui = nullptr;
    FormTester *m_window = nullptr;
    IpListPanel *m_panel = nullptr;
    QListWidget *m_listIP = nullptr;
};

void TestIpListWindow::init()
{
    m_folders = new test::IsolatedFolders;
    m_ui = new test::ScriptedUi;
}

void TestIpListWindow::cleanup()
{
    delete m_window;
    m_window = nullptr;
    delete m_ui;
    delete m_folders;
}

void TestIpListWindow::startWindow(const QStringList &items)
{
    QVERIFY(QDir().mkpath(m_folders->dataFolder()));
    QVERIFY(WriteIpListFile(m_folders->dataFolder() + IpListFileName, items));
    m_window = new FormTester;
    m_window->show();
    // Let the window settle (activation, the focus in the address box) before a test
    // sets a selection.
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QTest::qWait(20);
    m_panel = m_window->ipListPanel();
    m_listIP = child<QListWidget>(m_window, u"ListIP"_qs);
}

// The items of the list file, in the list's order.
QStringList TestIpListWindow::fileItems() const
{
    QStringList items = ReadIpListFile(m_folders->dataFolder() + IpListFileName);
    SortListLines(items);
    return items;
}

void TestIpListWindow::addSingle()
{
    startWindow({u"A127.0.0.2"_qs, u"BGrp1,127.0.0.3"_qs, u"CRng1,127.0.0.1,127.0.0.3"_qs});
    QDialog *seen = nullptr;
    DialogScript script({
        [&](QDialog *d) {
            seen = d;
            QCOMPARE(d->objectName(), u"FormAddIP"_qs);
            QCOMPARE(child<QPushButton>(d, u"Command1"_qs)->text(), u"Add to IP List"_qs);
            setLine(d, u"Text2"_qs, u"grp1"_qs); // a group title in another case
            click(d, u"Command1"_qs);
        },
        [&](QDialog *d) {
            QCOMPARE(status(d), u"The same ip/url 'grp1' has existed."_qs);
            QVERIFY(child<QLabel>(d, u"LabelStatus"_qs)->styleSheet().contains(u"ff0000"_qs));
            setLine(d, u"Text2"_qs, u"1.2.3"_qs);
            click(d, u"Command1"_qs); // refused: the dialog stays up
            QVERIFY(d->isVisible());
            setLine(d, u"Text2"_qs, u" 127.0.0.9 "_qs);
            click(d, u"Command1"_qs);
        },
        [&](QDialog *d) {
            QCOMPARE(status(d), u"'127.0.0.9' has been added to the list."_qs);
            QVERIFY(child<QLabel>(d, u"LabelStatus"_qs)->styleSheet().contains(u"008000"_qs));
            setLine(d, u"Text2"_qs, u"Some.Host.Test"_qs); // taken without a look-up
            QTest::keyClick(child<QLineEdit>(d, u"Text2"_qs), Qt::Key_Return);
        },
        exitDialog(),
    });
    click(m_window, u"CommandAdd_0"_qs);
    QVERIFY(!script.overrun);
    QCOMPARE(script.stepsLeft(), 0);
    QCOMPARE(script.titles.first(), u" Add Single IP"_qs);
    QCOMPARE(m_ui->boxes.size(), 1);
    QVERIFY(m_ui->boxes.at(0).text.startsWith(u"Invalid IP entry, Please check.\n\n'1.2.3' is not an IPv4 address. "_qs));
    QCOMPARE(m_ui->boxes.at(0).title, u"IP Error"_qs);
    QCOMPARE(m_ui->boxes.at(0).icon, BoxIcon::Critical);
    QCOMPARE(fileItems(), (QStringList{u"A127.0.0.2"_qs, u"A127.0.0.9"_qs, u"ASome.Host.Test"_qs,
                                       u"BGrp1,127.0.0.3"_qs, u"CRng1,127.0.0.1,127.0.0.3"_qs}));
    // The new entry is the current one.
    QCOMPARE(m_listIP->currentItem()->text(), u"Some.Host.Test"_qs);
    QVERIFY(seen);
}

void TestIpListWindow::addGroup()
{
    startWindow({u"A127.0.0.2"_qs, u"BGrp1,127.0.0.3"_qs});
    auto members = [](QDialog *d, const QString &text) {
        child<QPlainTextEdit>(d, u"TextIPs"_qs)->setPlainText(text);
    };
    DialogScript script({
        [&](QDialog *d) {
            QCOMPARE(child<QLineEdit>(d, u"TextTittle"_qs)->text(), u"IP_Group_"_qs);
            // Pressing accept with the hint text still there: shown again, nothing stored.
            click(d, u"Command1"_qs);
        },
        [&](QDialog *d) {
            members(d, u"127.0.0.5\n\n127.0.0.6"_qs); // a blank line between members
            click(d, u"Command1"_qs);
            members(d, u"127.0.0.5\n1.2.3"_qs);
            click(d, u"Command1"_qs);
            members(d, u"127.0.0.5   (Host E)\nprinter.test\n"_qs);
            setLine(d, u"TextTittle"_qs, u"Office, 2nd floor"_qs); // "," would split the line
            click(d, u"Command1"_qs);
            setLine(d, u"TextTittle"_qs, u"GRP1"_qs);
            click(d, u"Command1"_qs);
        },
        [&](QDialog *d) {
            QCOMPARE(status(d), u"The same tittle 'GRP1' has existed."_qs);
            setLine(d, u"TextTittle"_qs, u" Office "_qs);
            click(d, u"Command1"_qs);
        },
        [&](QDialog *d) {
            QCOMPARE(status(d), u"'Office' has been added to the list."_qs);
            setLine(d, u"TextTittle"_qs, QString()); // an empty title becomes IP_Group
            members(d, u"127.0.0.7"_qs);
            click(d, u"Command1"_qs);
        },
        exitDialog(),
    });
    click(m_window, u"CommandAdd_1"_qs);
    QVERIFY(!script.overrun);
    QStringList firstLines;
    for (const QString &text : m_ui->texts())
        firstLines << text.section(u'\n', 0, 0);
    QCOMPARE(firstLines,
             (QStringList{u"Invalid IP entry ''."_qs, u"Invalid IP entry '1.2.3'."_qs,
                          u"Invalid title 'Office, 2nd floor', a title cannot contain ','."_qs}));
    QVERIFY(m_ui->texts().at(1).endsWith(TargetEntryAllowed())); // and says what is allowed
    for (const MessageBoxRequest &box : m_ui->boxes)
        QCOMPARE(box.title, u"IP Error"_qs);
    QCOMPARE(fileItems(), (QStringList{u"A127.0.0.2"_qs, u"BGrp1,127.0.0.3"_qs,
                                       u"BIP_Group,127.0.0.7"_qs,
                                       u"BOffice,127.0.0.5   (Host E),printer.test"_qs}));
}

void TestIpListWindow::addRange()
{
    startWindow({u"A127.0.0.2"_qs});
    DialogScript script({
        [&](QDialog *d) {
            QCOMPARE(child<QLineEdit>(d, u"TextTittle"_qs)->text(), u"IP_Range_"_qs);
            setLine(d, u"TextIP"_qs, u"10.0.0.1"_qs);
            setLine(d, u"TextIP2"_qs, u"localhost"_qs);
            click(d, u"Command1"_qs);
            setLine(d, u"TextIP"_qs, u"127.0.0.1"_qs);
            click(d, u"Command3"_qs); // "=": the last address is the first
            QCOMPARE(child<QLineEdit>(d, u"TextIP2"_qs)->text(), u"127.0.0.1"_qs);
            setLine(d, u"TextIP2"_qs, u"127.000.000.010"_qs);
            setLine(d, u"TextTittle"_qs, u"a,b"_qs);
            click(d, u"Command1"_qs);
            setLine(d, u"TextTittle"_qs, u"Loop"_qs);
            click(d, u"Command1"_qs);
        },
        [&](QDialog *d) {
            QCOMPARE(status(d), u"'Loop' has been added to the list."_qs);
            setLine(d, u"TextIP"_qs, u"127.0.0.1"_qs);
            setLine(d, u"TextIP2"_qs, u"127.0.0.5"_qs);
            click(d, u"Command4"_qs); // "Scan IP": kept for the scan, nothing saved
        },
    });
    QSignalSpy scan(m_panel, &IpListPanel::scanRequested);
    click(m_window, u"CommandAdd_2"_qs);
    QVERIFY(!script.overrun);
    QCOMPARE(m_ui->texts(),
             (QStringList{u"Invalid IP entry, Please check IP Field 2, Cannot enter URL."_qs,
                          u"Invalid title 'a,b', a title cannot contain ','."_qs}));
    QCOMPARE(fileItems(), (QStringList{u"A127.0.0.2"_qs, u"CLoop,127.0.0.1,127.0.0.10"_qs}));
    QCOMPARE(scan.count(), 1);
    // The scan took the range typed into the dialog.
    QVERIFY(m_panel->dialogState().manualTarget[0].isEmpty());
    const QList<ScanResultRecord> &scanned = m_window->scanPanel()->tally().results;
    QCOMPARE(scanned.size(), 5);
    QCOMPARE(scanned.first().Address, u"127.0.0.1"_qs);
    QCOMPARE(scanned.last().Address, u"127.0.0.5"_qs);
}

void TestIpListWindow::editToTheSameTextDoesNothing()
{
    startWindow({u"Ahost.test"_qs, u"A127.0.0.2"_qs});
    const QByteArray before = [&] {
        QFile f(m_folders->dataFolder() + IpListFileName);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    m_listIP->setCurrentRow(1, QItemSelectionModel::NoUpdate); // "host.test"
    DialogScript script({
        [&](QDialog *d) {
            QCOMPARE(child<QLineEdit>(d, u"Text2"_qs)->text(), u"host.test"_qs);
            QCOMPARE(child<QPushButton>(d, u"Command1"_qs)->text(), u"Save"_qs);
            setLine(d, u"Text2"_qs, u"127.0.0.2"_qs); // another entry's address
            click(d, u"Command1"_qs);
        },
        [&](QDialog *d) {
            QCOMPARE(status(d), u"The same ip/url '127.0.0.2' has existed."_qs);
            QCOMPARE(child<QPushButton>(d, u"Command1"_qs)->text(), u"Save"_qs);
            setLine(d, u"Text2"_qs, u"HOST.TEST"_qs);
            click(d, u"Command1"_qs);
        },
    });
    click(m_window, u"CommandAdd_3"_qs);
    QVERIFY(!script.overrun);
    QCOMPARE(script.titles.first(), u" Edit IP Address"_qs);
    QFile f(m_folders->dataFolder() + IpListFileName);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
}

void TestIpListWindow::editGroupKeepsItsPlace()
{
    startWindow({u"A127.0.0.2"_qs, u"BAlpha,127.0.0.3"_qs, u"BBeta,127.0.0.4  (b)"_qs});
    m_listIP->setCurrentRow(2, QItemSelectionModel::NoUpdate); // Beta
    DialogScript script({
        [&](QDialog *d) {
            QCOMPARE(child<QLineEdit>(d, u"TextTittle"_qs)->text(), u"Beta"_qs);
            QCOMPARE(child<QPlainTextEdit>(d, u"TextIPs"_qs)->toPlainText(),
                     u"127.0.0.4  (b)"_qs);
            setLine(d, u"TextTittle"_qs, u"alpha"_qs);
            click(d, u"Command1"_qs);
        },
        [&](QDialog *d) {
            QCOMPARE(status(d), u"The same tittle 'alpha' has existed."_qs);
            setLine(d, u"TextTittle"_qs, u"BETA"_qs); // its own title in another case
            child<QPlainTextEdit>(d, u"TextIPs"_qs)->setPlainText(u"127.0.0.4\n127.0.0.5"_qs);
            click(d, u"Command1"_qs);
        },
    });
    click(m_window, u"CommandAdd_3"_qs);
    QVERIFY(!script.overrun);
    QCOMPARE(fileItems(), (QStringList{u"A127.0.0.2"_qs, u"BAlpha,127.0.0.3"_qs,
                                       u"BBETA,127.0.0.4,127.0.0.5"_qs}));
    QCOMPARE(m_listIP->currentItem()->text(), u"BETA"_qs);
}

void TestIpListWindow::deleteManyAsksWithNineNames()
{
    QStringList items;
    for (int i = 10; i < 24; ++i)
        items << u"A127.0.0.%1"_qs.arg(i);
    startWindow(items);
    for (int i = 1; i <= 12; ++i)
        m_listIP->item(i)->setSelected(true);
    m_ui->answers << BoxAnswer::No;
    click(m_window, u"CommandAdd_4"_qs);
    QCOMPARE(fileItems().size(), 14); // No: nothing deleted
    const MessageBoxRequest box = m_ui->boxes.at(0);
    QCOMPARE(box.title, u"Delete IP"_qs);
    QCOMPARE(box.buttons, BoxButtons::YesNo);
    QVERIFY(box.text.startsWith(u"Are you sure to delete 12 seleted items ?\n"_qs));
    QCOMPARE(box.text.count(u"\n    127.0.0."_qs), 9);
    QVERIFY(box.text.endsWith(u"\n    127.0.0.19\n    ......"_qs));

    click(m_window, u"CommandAdd_4"_qs); // Yes
    QCOMPARE(fileItems(), (QStringList{u"A127.0.0.10"_qs, u"A127.0.0.23"_qs}));
    QCOMPARE(m_listIP->currentRow(), 1); // the last entry: the list became shorter

    // Nothing selected: the current entry, by name.
    m_ui->clear();
    m_listIP->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    click(m_window, u"CommandAdd_4"_qs);
    QCOMPARE(m_ui->texts(), QStringList{u"Are you sure to delete the item '127.0.0.10'?"_qs});
    QCOMPARE(fileItems(), QStringList{u"A127.0.0.23"_qs});
}

void TestIpListWindow::selectionAndAddressBox()
{
    startWindow({u"A127.0.0.2"_qs, u"BGrp,127.0.0.3  (three),127.0.0.4"_qs,
                 u"CRng,127.0.0.1,127.0.0.3"_qs});
    auto *textPing = child<QLineEdit>(m_window, u"TextPing"_qs);
    auto *checkReset = child<QCheckBox>(m_window, u"CheckReset"_qs);
    auto *panel = child<QWidget>(m_window, u"PictureShowIP"_qs);
    auto *members = child<QListWidget>(m_window, u"TextShowIPs"_qs);

    // One click toggles an entry; the group's members show beside the list.
    QRect r = m_listIP->visualItemRect(m_listIP->item(1));
    QTest::mouseClick(m_listIP->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(textPing->text(), u"Selected 1 Items"_qs);
    QVERIFY(!checkReset->isChecked()); // ticked only with every entry selected
    QVERIFY(panel->isVisible());
    QCOMPARE(child<QLabel>(m_window, u"TextShowIPsT"_qs)->text(),
             u"Current selected IP Group:"_qs);
    QCOMPARE(child<QLabel>(m_window, u"TextShowIPsT2"_qs)->text(), u"Grp"_qs);
    QCOMPARE(members->count(), 2);

    // Clicked again: no selection left, the box takes the entry's text.
    QTest::mouseClick(m_listIP->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(textPing->text(), u"Grp"_qs);
    QVERIFY(!checkReset->isChecked());

    // A member picked from the panel goes to the address box, annotation dropped.
    members->itemClicked(members->item(0));
    QCOMPARE(textPing->text(), u"127.0.0.3"_qs);
    QCOMPARE(m_listIP->currentRow(), -1);

    // The keyboard: moving and toggling entries acts as a click.
    m_listIP->setFocus();
    m_listIP->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    QTest::keyClick(m_listIP, Qt::Key_Down);
    QCOMPARE(textPing->text(), u"Grp"_qs);
    QTest::keyClick(m_listIP, Qt::Key_Space);
    QCOMPARE(textPing->text(), u"Selected 1 Items"_qs);
    QTest::keyClick(m_listIP, Qt::Key_Space);

    // A range shows its bounds.
    r = m_listIP->visualItemRect(m_listIP->item(2));
    QTest::mouseClick(m_listIP->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(child<QLabel>(m_window, u"TextShowIPsT"_qs)->text(),
             u"Current selected IP Range:"_qs);
    QCOMPARE(members->item(1)->text(), u"127.0.0.1  -  127.0.0.3"_qs);

    // One of three selected: not ticked. Ticked, it selects all; unticked, none; then
    // the menu's reset.
    QVERIFY(!checkReset->isChecked());
    checkReset->click();
    QVERIFY(checkReset->isChecked());
    QCOMPARE(m_listIP->selectedItems().size(), 3);
    QCOMPARE(textPing->text(), u"Selected 3 Items"_qs);
    checkReset->click();
    QCOMPARE(m_listIP->selectedItems().size(), 0);
    QCOMPARE(textPing->text(), u"Rng"_qs); // the count of a selection that is gone: the entry chosen
    checkReset->click();
    QVERIFY(!panel->isVisible());
    child<QAction>(m_window, u"mnuReset"_qs)->trigger();
    QVERIFY(!checkReset->isChecked());
    QCOMPARE(m_listIP->selectedItems().size(), 0);

    // Focus on the address box: "Selected ..." is cleared and the list lets go.
    m_listIP->item(0)->setSelected(true);
    m_listIP->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    m_panel->ListIP_Click();
    QCOMPARE(textPing->text(), u"Selected 1 Items"_qs);
    m_window->activateWindow();
    textPing->setFocus();
    QTRY_VERIFY(textPing->hasFocus());
    QCOMPARE(textPing->text(), QString());
    QCOMPARE(m_listIP->currentRow(), -1);
    QCOMPARE(m_listIP->selectedItems().size(), 0);
    // Leaving it drops its blanks.
    textPing->setText(u" 127. 0.0.2 "_qs);
    m_listIP->setFocus();
    QTRY_VERIFY(!textPing->hasFocus());
    QCOMPARE(textPing->text(), u"127.0.0.2"_qs);
    QCOMPARE(child<QWidget>(m_window, u"CommandStart"_qs)->toolTip(),
             u"Run Ping Test on the '127.0.0.2'."_qs);
}

void TestIpListWindow::gatherTargets()
{
    startWindow({u"Alocalhost"_qs, u"BGrp,127.0.0.3  (three),127.0.0.4"_qs,
                 u"CRng,127.0.0.6,127.0.0.5"_qs});
    IpListPanel *panel = m_panel;
    auto addresses = [](const TargetTable &t) {
        QStringList list;
        for (const TargetRow &row : t.rows())
            list << row.label;
        return list;
    };
    // No current entry: the address box.
    child<QLineEdit>(m_window, u"TextPing"_qs)->setText(u"127.0.0.9"_qs);
    QCOMPARE(addresses(panel->gatherTargets()), QStringList{u"127.0.0.9"_qs});
    // Selected items, top to bottom.
    m_listIP->item(2)->setSelected(true);
    m_listIP->item(0)->setSelected(true);
    QCOMPARE(addresses(panel->gatherTargets()),
             (QStringList{u"localhost / 127.0.0.1"_qs, u"127.0.0.6"_qs, u"127.0.0.5"_qs}));
    // Nothing selected but a current entry: that one.
    m_listIP->clearSelection();
    m_listIP->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    panel->ListIP_Click(); // made current by the user, not by the focus
    QCOMPARE(addresses(panel->gatherTargets()), (QStringList{u"127.0.0.3"_qs, u"127.0.0.4"_qs}));
    // A manual target from a dialog's Ping goes first, once.
    panel->dialogState().manualTarget[1] = u"127.0.0.8"_qs;
    QCOMPARE(addresses(panel->gatherTargets()), QStringList{u"127.0.0.8"_qs});
    QVERIFY(panel->dialogState().manualTarget[1].isEmpty());
    // A huge range asks first; No leaves it out.
    QVERIFY(panel->list()->rewrite({u"CHuge,127.0.0.0,127.255.255.255"_qs}));
    m_panel->LoadIpList();
    m_listIP->item(0)->setSelected(true);
    m_ui->answers << BoxAnswer::No;
    QCOMPARE(panel->gatherTargets().targetCount(), 0);
    QCOMPARE(m_ui->boxes.size(), 1);
    QVERIFY(m_ui->boxes.at(0).text.contains(u"16777216"_qs));
}

void TestIpListWindow::groupPingStartsATestWithoutSaving()
{
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP echo socket can be opened here (needs ping_group_range or CAP_NET_RAW)");
    startWindow({u"A127.0.0.2"_qs});
    m_window->pingTest()->interval = 100;
    DialogScript script({
        [&](QDialog *d) {
            child<QPlainTextEdit>(d, u"TextIPs"_qs)->setPlainText(u"127.0.0.3\n127.0.0.4  (four)"_qs);
            click(d, u"Command4"_qs);
        },
    });
    QSignalSpy replies(m_window->pingTest(), &PingTest::replyRecorded);
    click(m_window, u"CommandAdd_1"_qs);
    QVERIFY(!script.overrun);
    QVERIFY(m_window->isBusy());
    QCOMPARE(m_window->pingTest()->targets().size(), 2);
    QCOMPARE(m_window->pingTest()->targets().at(1).address, u"127.0.0.4"_qs);
    QVERIFY(replies.wait(5000));

    script.stop();
    // While it runs, a single entry's Ping cannot start another test and leaves
    // nothing behind for the next Start.
    DialogScript second({
        [&](QDialog *d) {
            setLine(d, u"Text2"_qs, u"127.0.0.9"_qs);
            click(d, u"Command3"_qs);
        },
    });
    click(m_window, u"CommandAdd_0"_qs);
    QCOMPARE(m_ui->texts(), QStringList{u"Please click 'Stop' button to stop the testing first."_qs});
    QVERIFY(m_panel->dialogState().manualTarget[1].isEmpty());
    QCOMPARE(m_window->pingTest()->targets().size(), 2);

    QSignalSpy finished(m_window->pingTest(), &PingTest::finished);
    m_window->CommandStop_Click();
    QVERIFY(finished.wait(5000));
    QCOMPARE(fileItems(), QStringList{u"A127.0.0.2"_qs}); // the list is unchanged
    QVERIFY(m_panel->dialogState().manualTarget[2].isEmpty());
}

// A dialog's Ping refused by a settings check does not start, and what it typed is not
// kept for the next Start: that one tests the selection.
void TestIpListWindow::refusedPingLeavesNoTargetBehind()
{
    startWindow({u"A127.0.0.2"_qs, u"CRng,127.0.0.5,127.0.0.6"_qs});
    child<QComboBox>(m_window, u"ComboRepIP"_qs)->setEditText(u"0"_qs);
    DialogScript script({
        [&](QDialog *d) {
            setLine(d, u"Text2"_qs, u"127.0.0.9"_qs);
            click(d, u"Command3"_qs);
        },
    });
    click(m_window, u"CommandAdd_0"_qs);
    QVERIFY(!script.overrun);
    QCOMPARE(m_ui->firstLines(), QStringList{u"Inalid Value of Repeat Per IP."_qs});
    QVERIFY(!m_window->isBusy());
    QVERIFY(m_panel->dialogState().manualTarget[1].isEmpty());

    m_listIP->item(1)->setSelected(true);
    QStringList targets;
    const TargetTable table = m_panel->gatherTargets(); // the rows live as long as the table
    for (const TargetRow &row : table.rows())
        targets << row.address;
    QCOMPARE(targets, (QStringList{u"127.0.0.5"_qs, u"127.0.0.6"_qs}));
}

// Focus that comes back from a dialog keeps the selection, but typing into the
// address box lets go of it: Start tests what was typed.
void TestIpListWindow::typedAddressWinsOverTheSelection()
{
    startWindow({u"A127.0.0.2"_qs, u"CRng,127.0.0.5,127.0.0.6"_qs});
    auto *textPing = child<QLineEdit>(m_window, u"TextPing"_qs);
    const QRect r = m_listIP->visualItemRect(m_listIP->item(1));
    QTest::mouseClick(m_listIP->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(textPing->text(), u"Selected 1 Items"_qs);
    textPing->setFocus(Qt::ActiveWindowFocusReason); // back from the interval dialog
    QTRY_VERIFY(textPing->hasFocus());
    QCOMPARE(m_listIP->selectedItems().size(), 1);
    QTest::mouseClick(textPing, Qt::LeftButton);
    QTest::keyClicks(textPing, u"127.0.0.1"_qs);
    QCOMPARE(textPing->text(), u"127.0.0.1"_qs);
    const QList<TargetRow> rows = m_panel->gatherTargets().rows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.at(0).address, u"127.0.0.1"_qs);
}

void TestIpListWindow::exportImport()
{
    const QStringList items{u"A127.0.0.2"_qs, u"Ahost.test"_qs, u"BGrp,127.0.0.3  (x)"_qs,
                            u"CRng,127.0.0.1,127.0.0.3"_qs};
    startWindow(items);
    QTemporaryDir out;
    const QString exported = out.filePath(u"list.txt"_qs);
    m_ui->paths << exported;
    child<QAction>(m_window, u"mnuExpImp_1"_qs)->trigger();
    QCOMPARE(m_ui->fileDialogs.at(0).title, u"IP List will be export to this File"_qs);
    QVERIFY(m_ui->fileDialogs.at(0).defaultName.startsWith(u"IP_List_"_qs));
    QCOMPARE(m_ui->fileDialogs.at(0).defaultName.size(), 8 + 12);
    QCOMPARE(m_ui->boxes.last().title, u"File Saved"_qs);
    QCOMPARE(m_ui->boxes.last().text, u"IP List has export to file: "_qs + exported);

    // Exporting again over it and answering No leaves the old file alone.
    QFile f(exported);
    QVERIFY(f.open(QIODevice::Append));
    f.write("=marker\r\n");
    f.close();
    const qint64 size = QFileInfo(exported).size();
    m_ui->clear();
    m_ui->paths << exported;
    m_ui->answers << BoxAnswer::No;
    child<QAction>(m_window, u"mnuExpImp_1"_qs)->trigger();
    QCOMPARE(m_ui->texts(), QStringList{u"The same filename exist, overwrite it?"_qs});
    QCOMPARE(QFileInfo(exported).size(), size);

    // Exporting the list onto the list file itself writes nothing and loses nothing.
    const QString listPath = m_folders->dataFolder() + IpListFileName;
    QFile listFile(listPath);
    QVERIFY(listFile.open(QIODevice::ReadOnly));
    const QByteArray listBytes = listFile.readAll();
    listFile.close();
    m_ui->clear();
    m_ui->paths << listPath;
    child<QAction>(m_window, u"mnuExpImp_1"_qs)->trigger();
    QCOMPARE(m_ui->texts(), (QStringList{u"The same filename exist, overwrite it?"_qs,
                                         u"IP List has export to file: "_qs + listPath}));
    QCOMPARE(m_ui->boxes.last().title, u"File Saved"_qs);
    QVERIFY(listFile.open(QIODevice::ReadOnly));
    QCOMPARE(listFile.readAll(), listBytes);
    listFile.close();

    // Change the list, then import the export: the same list again.
    m_listIP->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    click(m_window, u"CommandAdd_4"_qs);
    QCOMPARE(m_panel->list()->itemCount(), 3);
    m_ui->clear();
    m_ui->paths << exported;
    child<QAction>(m_window, u"mnuExpImp_2"_qs)->trigger();
    QCOMPARE(m_ui->texts(), (QStringList{u"Overwrite the current IP List?"_qs,
                                         u"IP List has been imported"_qs}));
    QCOMPARE(m_panel->list()->items(), items);
    QCOMPARE(m_listIP->count(), 4);

    // A file that is no list at all loads as what little it holds, without harm.
    const QString junk = out.filePath(u"junk.bin"_qs);
    QFile j(junk);
    QVERIFY(j.open(QIODevice::WriteOnly));
    j.write(QByteArray("\x00\x01\x02ELF\r\nQbad\r\nA127.0.0.7\r\n", 26) + QByteArray(600000, 'B'));
    j.close();
    m_ui->clear();
    m_ui->paths << junk;
    child<QAction>(m_window, u"mnuExpImp_2"_qs)->trigger();
    QCOMPARE(m_panel->list()->items(), QStringList{u"A127.0.0.7"_qs});

    // A file without a single list item is refused and the list stays as it was.
    const QString empty = out.filePath(u"empty.txt"_qs);
    test::WriteFileBytes(empty, "=only a comment\r\nQnot an item\r\n\r\nA127.0.0.8\r\n");
    m_ui->clear();
    m_ui->paths << empty;
    child<QAction>(m_window, u"mnuExpImp_2"_qs)->trigger();
    QCOMPARE(m_ui->boxes.size(), 2);
    QVERIFY2(m_ui->boxes.at(1).text.startsWith(u"No IP List item was found in this file"_qs),
             qPrintable(m_ui->boxes.at(1).text));
    QCOMPARE(m_panel->list()->items(), QStringList{u"A127.0.0.7"_qs});
    QCOMPARE(fileItems(), QStringList{u"A127.0.0.7"_qs});

    // A missing file: said so, the list untouched.
    m_ui->clear();
    m_ui->paths << out.filePath(u"missing.txt"_qs);
    child<QAction>(m_window, u"mnuExpImp_2"_qs)->trigger();
    QCOMPARE(m_ui->texts(), QStringList{u"Not Find This File."_qs});
    QCOMPARE(m_ui->boxes.at(0).title, u"File Name Error"_qs);
    QCOMPARE(m_panel->list()->items(), QStringList{u"A127.0.0.7"_qs});
}

// Texts that become one line of the list file may hold no control character; in a
// group's member text, tabs and line breaks separate members as typed.
void TestIpListWindow::controlCharactersRefused()
{
    startWindow({u"A127.0.0.2"_qs});
    const QString noControl = u"Invalid title, it cannot contain a line break, tab or other "
                              u"control character."_qs;
    DialogScript group({
        [&](QDialog *d) {
            auto *ips = child<QPlainTextEdit>(d, u"TextIPs"_qs);
            ips->setPlainText(u"127.0.0.5\x01\n127.0.0.6"_qs);
            click(d, u"Command1"_qs);
            ips->setPlainText(u"127.0.0.5\t127.0.0.6\n127.0.0.7"_qs);
            setLine(d, u"TextTittle"_qs, u"Two\nlines"_qs);
            click(d, u"Command1"_qs);
            setLine(d, u"TextTittle"_qs, u"Tabbed"_qs);
            click(d, u"Command1"_qs);
        },
        exitDialog(),
    });
    click(m_window, u"CommandAdd_1"_qs);
    group.stop();
    QVERIFY(!group.overrun);
    DialogScript single({
        [&](QDialog *d) {
            setLine(d, u"Text2"_qs, u"host\ttest"_qs);
            click(d, u"Command1"_qs);
        },
        exitDialog(),
    });
    click(m_window, u"CommandAdd_0"_qs);
    single.stop();
    QVERIFY(!single.overrun);
    QCOMPARE(m_ui->texts(),
             (QStringList{u"Invalid IP entry '127.0.0.5\x01', it cannot contain a control character."_qs,
                          noControl,
                          u"Invalid IP entry, it cannot contain a tab or other control character."_qs}));
    QCOMPARE(fileItems(),
             (QStringList{u"A127.0.0.2"_qs, u"BTabbed,127.0.0.5,127.0.0.6,127.0.0.7"_qs}));
}

// A FIFO at a data file's path would block an open for ever: the window starts,
// says which path is wrong, and writes nothing there. The probe program's path too.
void TestIpListWindow::fifosAtDataPathsDoNotBlockTheStart()
{
    const QString data = m_folders->dataFolder();
    QVERIFY(QDir().mkpath(data));
    QVERIFY(QDir().mkpath(QFileInfo(AppSettings::filePath()).absolutePath()));
    const QStringList paths{data + IpListFileName, data + HistoryFileName, data + ResultFileName,
                            AppSettings::filePath(), data + ProbeFileName};
    for (const QString &path : paths)
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    // The probe goes to the program's own folder instead, as when the data folder
    // cannot take it; the test leaves that folder as it found it.
    const QString fallbackProbe = QCoreApplication::applicationDirPath() + u'/' + ProbeFileName;
    const auto removeFallback = qScopeGuard([fallbackProbe, was = QFileInfo::exists(fallbackProbe)] {
        if (!was)
            QFile::remove(fallbackProbe);
    });
    m_window = new FormTester;
    const QString said = m_ui->texts().join(u'\n');
    for (const QString &path : paths)
        QVERIFY2(said.contains(path + u" is not a regular file"_qs), qPrintable(said));
    QCOMPARE(m_window->ipListPanel()->list()->itemCount(), 0);
    QVERIFY(!m_window->ipListPanel()->list()->rewrite({u"A127.0.0.1"_qs}));
    for (const QString &path : paths)
        QVERIFY(!QFileInfo(path).isFile());
}

QTEST_MAIN(TestIpListWindow)
#include "tst_iplistwindow.moc"
