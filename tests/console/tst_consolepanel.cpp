// The console panel on the real main window, offscreen: its controls by name, the
// history menus, export and import through the scripted dialogs, and console
// windows opened through a stand-in terminal emulator given in $TERMINAL.

#include "app/formtester.h"
#include "console/consolepanel.h"
#include "iplist/iplist.h"
#include "iplist/iplistpanel.h"
#include "platform/process.h"
#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QTimer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

using namespace netvane;

// Stands in for the desktop's "open" so no editor starts.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls << url; }
};

class TestConsolePanel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void showAndHide();
    void builtInCommandsAndAddressPicker();
    void addButton();
    void deleteItems();
    void exportAndImport();
    void editInTextEditor();
    void consoleWindows();
    void endedWindowIsReaped();
    void noTerminalEmulator();

private:
    template<typename T> T *child(const QString &name) const
    {
        T *found = m_window->findChild<T *>(name);
        if (!found)
            qWarning("no control %s", qPrintable(name));
        return found;
    }
    QAction *action(const QString &name) const { return child<QAction>(name); }
    void click(const QString &button) const { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    QStringList shownHistory() const;
    void clickItem(QListWidget *list, const QString &text) const;

    std::unique_ptr<test::IsolatedFolders> m_folders;
    std::unique_ptr<FormTester> m_window;
    ConsolePanel *m_panel = nullptr;
};

void TestConsolePanel::init()
{
    m_folders = std::make_unique<test::IsolatedFolders>();
    m_window = std::make_unique<FormTester>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_panel = m_window->consolePanel();
    QVERIFY(m_panel);
}

void TestConsolePanel::cleanup()
{
    if (m_panel)
        m_panel->consoleWindows().closeAll(); // no stand-in terminal outlives a failed test
    m_panel = nullptr;
    m_window.reset();
    m_folders.reset();
}

QStringList TestConsolePanel::shownHistory() const
{
    QStringList texts;
    auto *list = child<QListWidget>(u"ListDOSHis"_qs);
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void TestConsolePanel::clickItem(QListWidget *list, const QString &text) const
{
    const QList<QListWidgetItem *> items = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(items.size() == 1, qPrintable(text));
    list->scrollToItem(items.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(items.first()).center());
}

void TestConsolePanel::showAndHide()
{
    auto *panel = child<QWidget>(u"PictureDOS"_qs);
    QVERIFY(!panel->isVisible());
    click(u"Command11"_qs);
    QVERIFY(panel->isVisible());
    QCOMPARE(child<QLineEdit>(u"TextCmd"_qs)->text().left(8), u"tracert "_qs);
    QCOMPARE(child<QCheckBox>(u"CheckAutoAdd"_qs)->text(), u"add to list"_qs);
    for (int i = 0; i <= 6; ++i)
        QVERIFY(child<QPushButton>(u"CommandDOS_%1"_qs.arg(i)));
    QVERIFY(!child<QWidget>(u"ListCmd"_qs)->isVisible());
    QVERIFY(!child<QWidget>(u"ListIP2"_qs)->isVisible());
    click(u"CommandDOS_6"_qs);
    QVERIFY(!panel->isVisible());
    action(u"mnuDos"_qs)->trigger();
    QVERIFY(panel->isVisible());

    // The history export and import come before Exit in the File menu.
    QStringList fileItems;
    for (QAction *a : child<QMenu>(u"mnuFile"_qs)->actions())
        fileItems << a->objectName();
    fileItems.removeAll(QString()); // separators
    QCOMPARE(fileItems.mid(fileItems.size() - 3),
             (QStringList{u"mnuExpImp_4"_qs, u"mnuExpImp_5"_qs, u"mnuExit"_qs}));
    QCOMPARE(child<QMenu>(u"mnuDeleteDos"_qs)->actions().size(), 13);
}

void TestConsolePanel::builtInCommandsAndAddressPicker()
{
    click(u"Command11"_qs);
    auto *text = child<QLineEdit>(u"TextCmd"_qs);
    auto *listCmd = child<QListWidget>(u"ListCmd"_qs);
    auto *listIP2 = child<QListWidget>(u"ListIP2"_qs);
    QCOMPARE(listCmd->count(), 18);

    click(u"CommandDOS_0"_qs);
    QVERIFY(listCmd->isVisible());
    QVERIFY(!listIP2->isVisible());
    clickItem(listCmd, u"ip address"_qs);
    QCOMPARE(text->text(), u"ip address"_qs);
    QCOMPARE(text->cursorPosition(), text->text().size());
    QVERIFY(!listCmd->isVisible());

    click(u"CommandDOS_1"_qs);
    QVERIFY(listIP2->isVisible());
    // The picker holds the target list's single entries, then the two fixed ones.
    const QStringList picks = m_window->ipListPanel()->list()->pickerEntries();
    QCOMPARE(listIP2->count(), picks.size());
    for (int i = 0; i < picks.size(); ++i)
        QCOMPARE(listIP2->item(i)->text(), picks[i]);
    QCOMPARE(listIP2->item(listIP2->count() - 1)->text(), u"Add a IP / URL"_qs);
    m_panel->setAddressPicks({u"10.0.0.5"_qs, u"gate.lan"_qs, u"----------------------------"_qs,
                              u"Add a IP / URL"_qs});
    QCOMPARE(listIP2->count(), 4);
    text->setText(u"tracert www.debian.org"_qs);
    clickItem(listIP2, u"10.0.0.5"_qs);
    QCOMPARE(text->text(), u"tracert 10.0.0.5"_qs);
    QVERIFY(!listIP2->isVisible());

    QSignalSpy addRequests(m_panel, &ConsolePanel::addAddressRequested);
    click(u"CommandDOS_1"_qs);
    clickItem(listIP2, u"----------------------------"_qs);
    QVERIFY(!listIP2->isVisible());
    QCOMPARE(addRequests.size(), 0);
    click(u"CommandDOS_1"_qs);
    // The entry opens the target list's add-single dialog; leave it at once.
    QString dialogShown;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            dialogShown = modal->objectName();
            modal->close();
        }
    });
    closer.start(20);
    clickItem(listIP2, u"Add a IP / URL"_qs);
    closer.stop();
    QCOMPARE(dialogShown, u"FormAddIP"_qs);
    QVERIFY(!listIP2->isVisible());
    QCOMPARE(addRequests.size(), 1);
    QCOMPARE(text->text(), u"tracert 10.0.0.5"_qs);

    // Clicking into the command box puts the pickers away.
    click(u"CommandDOS_0"_qs);
    QTest::mouseClick(text, Qt::LeftButton);
    QVERIFY(!listCmd->isVisible());

    // A history entry becomes the command.
    clickItem(child<QListWidget>(u"ListDOSHis"_qs), u"hostname"_qs);
    QCOMPARE(text->text(), u"hostname"_qs);
}

void TestConsolePanel::addButton()
{
    test::ScriptedUi ui;
    click(u"Command11"_qs);
    auto *text = child<QLineEdit>(u"TextCmd"_qs);
    text->setText(u"   "_qs);
    click(u"CommandDOS_4"_qs);
    QCOMPARE(ui.texts(), QStringList{u"No current entered command line to add."_qs});
    QCOMPARE(ui.boxes.at(0).icon, BoxIcon::Critical);
    text->setText(u"  route print "_qs);
    click(u"CommandDOS_4"_qs);
    click(u"CommandDOS_4"_qs);
    QCOMPARE(shownHistory(), DefaultHistory() << u"route print"_qs);
    QCOMPARE(ui.boxes.size(), 1);

    // A pasted tab or line break cannot become a line of the history file.
    text->setText(u"ping\t127.0.0.1"_qs);
    click(u"CommandDOS_4"_qs);
    QCOMPARE(ui.boxes.size(), 2);
    QVERIFY2(ui.boxes.at(1).text.contains(u"control character"_qs), qPrintable(ui.boxes.at(1).text));
    QCOMPARE(shownHistory(), DefaultHistory() << u"route print"_qs);
}

void TestConsolePanel::deleteItems()
{
    test::ScriptedUi ui;
    click(u"Command11"_qs);
    auto *list = child<QListWidget>(u"ListDOSHis"_qs);

    action(u"mnuDel_4"_qs)->trigger();
    QCOMPARE(ui.texts(), QStringList{u"Please select the history records your want to delete."_qs});
    QCOMPARE(ui.boxes.at(0).icon, BoxIcon::Exclamation);

    // Sorted: rows 0 and 1 are "arp -a" and "cp -a test test2".
    click(u"CommandDOS_3"_qs);
    list->item(0)->setSelected(true);
    list->item(1)->setSelected(true);
    ui.clear();
    ui.answers << BoxAnswer::No;
    action(u"mnuDel_4"_qs)->trigger();
    QCOMPARE(ui.texts(), QStringList{u"Are you sure to delete 2 seleted items ?"_qs});
    QCOMPARE(ui.boxes.at(0).title, u"Delete History"_qs);
    QCOMPARE(ui.boxes.at(0).buttons, BoxButtons::YesNo);
    QCOMPARE(m_panel->history().entries(), DefaultHistory());
    action(u"mnuDel_4"_qs)->trigger();
    QStringList left = DefaultHistory();
    left.removeAll(u"arp -a"_qs);
    left.removeAll(u"cp -a test test2"_qs);
    QCOMPARE(shownHistory(), left);
    click(u"CommandDOS_3"_qs); // sorted again, then back to file order
    QCOMPARE(shownHistory().first(), u"getent ahosts www.debian.org"_qs);
    click(u"CommandDOS_3"_qs);
    QCOMPARE(shownHistory(), left);

    ui.clear();
    action(u"mnuDel_8"_qs)->trigger(); // keep 30 of 9
    QCOMPARE(ui.texts(), QStringList{u"Are you sure to delete all except last 30 records ?"_qs});
    QCOMPARE(shownHistory(), left);
    action(u"mnuDel_6"_qs)->trigger(); // keep 10 of 9
    QCOMPARE(shownHistory(), left);
    m_panel->KeepLastHistory(4);
    QCOMPARE(shownHistory(), left.mid(5));

    ui.clear();
    ui.answers << BoxAnswer::No;
    action(u"mnuDel_12"_qs)->trigger();
    QCOMPARE(ui.texts(), QStringList{u"Are you sure to delete all history records ?"_qs});
    QCOMPARE(shownHistory(), left.mid(5));
    action(u"mnuDel_12"_qs)->trigger();
    QVERIFY(shownHistory().isEmpty());
    action(u"mnuDel_2"_qs)->trigger();
    QVERIFY(shownHistory().isEmpty());
    QCOMPARE(ui.boxes.size(), 2);
}

void TestConsolePanel::exportAndImport()
{
    test::ScriptedUi ui;
    const QString historyPath = m_panel->history().path();
    QFile history(historyPath);
    QVERIFY(history.open(QIODevice::ReadOnly));
    const QByteArray original = history.readAll();
    history.close();

    const QString target = QDir(m_folders->path()).filePath(u"out.txt"_qs);
    ui.paths << target;
    action(u"mnuExpImp_4"_qs)->trigger();
    QCOMPARE(ui.fileDialogs.size(), 1);
    QCOMPARE(ui.fileDialogs.at(0).title, u"DOS Command history will be export to this File"_qs);
    QVERIFY(ui.fileDialogs.at(0).defaultName.startsWith(u"DOS_CMD_HIS_"_qs));
    QCOMPARE(ui.fileDialogs.at(0).defaultName.size(), 20);
    QCOMPARE(ui.fileDialogs.at(0).filterPattern, u"*.txt"_qs);
    QCOMPARE(ui.texts(), QStringList{u"DOS Command history has export to file: "_qs + target});
    QCOMPARE(ui.boxes.at(0).title, u"File Saved"_qs);
    QFile out(target);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), original);
    out.close();

    // Exporting onto the history file itself loses nothing.
    ui.clear();
    ui.paths << historyPath;
    action(u"mnuExpImp_4"_qs)->trigger();
    QCOMPARE(ui.texts(), (QStringList{u"The same filename exist, overwrite it?"_qs,
                                      u"DOS Command history has export to file: "_qs + historyPath}));
    QCOMPARE(ui.boxes.at(1).title, u"File Saved"_qs);
    QVERIFY(history.open(QIODevice::ReadOnly));
    QCOMPARE(history.readAll(), original);
    history.close();

    ui.clear();
    ui.paths << target + u".missing"_qs;
    action(u"mnuExpImp_5"_qs)->trigger();
    QCOMPARE(ui.texts(), QStringList{u"Not Find This File."_qs});
    QCOMPARE(ui.boxes.at(0).title, u"File Name Error"_qs);
    QCOMPARE(ui.boxes.at(0).buttons, BoxButtons::YesNo);

    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("ping 127.0.0.1\r\nhostname\r\n\r\nlost\r\n");
    out.close();
    ui.clear();
    ui.paths << target;
    ui.answers << BoxAnswer::No;
    action(u"mnuExpImp_5"_qs)->trigger();
    QCOMPARE(ui.texts(), QStringList{u"Overwrite the current DOS command history?"_qs});
    QCOMPARE(shownHistory(), DefaultHistory());

    // A file without a single command: refused, the history stays.
    const QString empty = QDir(m_folders->path()).filePath(u"empty.txt"_qs);
    test::WriteFileBytes(empty, " \r\nnetstat\r\n");
    ui.clear();
    ui.paths << empty;
    action(u"mnuExpImp_5"_qs)->trigger();
    QCOMPARE(ui.boxes.size(), 2);
    QVERIFY2(ui.boxes.at(1).text.startsWith(u"No command was found in this file"_qs),
             qPrintable(ui.boxes.at(1).text));
    QCOMPARE(shownHistory(), DefaultHistory());

    ui.clear();
    ui.paths << u"\r\n"_qs + target + u"\n"_qs;
    action(u"mnuExpImp_5"_qs)->trigger();
    QCOMPARE(ui.texts(), (QStringList{u"Overwrite the current DOS command history?"_qs,
                                      u"DOS command history has been imported"_qs}));
    QCOMPARE(ui.boxes.at(1).title, u"Imported"_qs);
    QCOMPARE(shownHistory(), (QStringList{u"ping 127.0.0.1"_qs, u"hostname"_qs}));
}

void TestConsolePanel::editInTextEditor()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(u"file"_qs, &catcher, "open");
    action(u"mnuDel_1"_qs)->trigger();
    QDesktopServices::unsetUrlHandler(u"file"_qs);
    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls.at(0).toLocalFile(), m_panel->history().path());
}

void TestConsolePanel::consoleWindows()
{
    // The stand-in terminal records its arguments, runs what follows -e (the real
    // shell command) and then stays open like a terminal window.
    const QString dir = m_folders->path();
    const QString script = QDir(dir).filePath(u"fake-terminal"_qs);
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n"
               "printf '%s\\n' \"$@\" > \"${0%/*}/args.$$\"\n"
               "while [ \"$#\" -gt 0 ] && [ \"$1\" != \"-e\" ]; do shift; done\n"
               "shift\n"
               "\"$@\" </dev/null >/dev/null 2>&1 &\n"
               "exec sleep 300\n");
    file.close();
    QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
    const QByteArray oldTerminal = qgetenv("TERMINAL");
    const QByteArray oldShell = qgetenv("SHELL");
    qputenv("TERMINAL", (script + u" -title DOS"_qs).toLocal8Bit());
    qputenv("SHELL", "/bin/sh");
    auto restore = qScopeGuard([&] {
        qputenv("TERMINAL", oldTerminal);
        qputenv("SHELL", oldShell);
    });

    test::ScriptedUi ui;
    click(u"Command11"_qs);
    auto *text = child<QLineEdit>(u"TextCmd"_qs);
    child<QCheckBox>(u"CheckAutoAdd"_qs)->setChecked(true);
    const QString ran = QDir(dir).filePath(u"ran"_qs);
    const QString command = u"echo one > "_qs + ran;
    text->setText(u" "_qs + command + u" "_qs);
    click(u"CommandDOS_2"_qs);
    QVERIFY2(ui.boxes.isEmpty(), qPrintable(ui.texts().join(u'\n')));
    QCOMPARE(m_panel->consoleWindows().windows().size(), 1);
    const qint64 first = m_panel->consoleWindows().windows().at(0).pid;
    const QString argsFile = QDir(dir).filePath(u"args.%1"_qs.arg(first));
    QTRY_VERIFY(QFile::exists(argsFile) && QFileInfo(argsFile).size() > 0);
    QFile args(argsFile);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll()).split(u'\n'),
             (QStringList{u"-title"_qs, u"DOS"_qs, u"-e"_qs, u"/bin/sh"_qs, u"-c"_qs,
                          u"\"$0\" -c \"$1\"; exec \"$0\""_qs, u"/bin/sh"_qs, command, QString()}));
    // The user's command ran in the shell, redirection and all.
    QTRY_COMPARE(QFile::exists(ran), true);
    QCOMPARE(shownHistory().last(), command);

    // Enter runs it again; the history keeps it once.
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE(m_panel->consoleWindows().windows().size(), 2);
    QCOMPARE(shownHistory().count(command), 1);
    const qint64 second = m_panel->consoleWindows().windows().at(1).pid;
    QVERIFY(platform::ProcessIsRunning(first));
    QVERIFY(platform::ProcessIsRunning(second));

    action(u"mnuCloseAllDOS"_qs)->trigger();
    QVERIFY(m_panel->consoleWindows().windows().isEmpty());
    QTRY_VERIFY(!platform::ProcessIsRunning(first));
    QTRY_VERIFY(!platform::ProcessIsRunning(second));
    QVERIFY(ui.boxes.isEmpty());
}

void TestConsolePanel::endedWindowIsReaped()
{
    // A terminal that notes its PATH and ends at once, as a window the user closed.
    const QString dir = m_folders->path();
    const QString script = QDir(dir).filePath(u"short-terminal"_qs);
    test::WriteFileBytes(script, "#!/bin/sh\nprintf '%s' \"$PATH\" > \"${0%/*}/path.$$\"\n");
    QFile(script).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QByteArray oldTerminal = qgetenv("TERMINAL");
    qputenv("TERMINAL", script.toLocal8Bit());
    auto restore = qScopeGuard([&] { qputenv("TERMINAL", oldTerminal); });

    test::ScriptedUi ui;
    QSignalSpy ended(&m_panel->consoleWindows(), &platform::ConsoleWindows::windowEnded);
    m_panel->RunConsoleCommand(); // the window may end while the run lets events in
    QVERIFY(ended.size() == 1 || ended.wait(10000));
    const qint64 pid = ended.at(0).at(0).toLongLong();
    QVERIFY(m_panel->consoleWindows().windows().isEmpty());
    QVERIFY(!QFile::exists(u"/proc/%1"_qs.arg(pid))); // no zombie left behind
    // The program's own commands (tracert, arp, nbtstat) come first in the window.
    QFile path(QDir(dir).filePath(u"path.%1"_qs.arg(pid)));
    QVERIFY(path.open(QIODevice::ReadOnly));
    QVERIFY(path.readAll().startsWith(QFile::encodeName(QCoreApplication::applicationDirPath()) + ':'));
    QVERIFY(ui.boxes.isEmpty());
}

void TestConsolePanel::noTerminalEmulator()
{
    QTemporaryDir emptyPath;
    const QByteArray oldPath = qgetenv("PATH");
    const QByteArray oldTerminal = qgetenv("TERMINAL");
    qputenv("PATH", emptyPath.path().toLocal8Bit());
    qunsetenv("TERMINAL");
    auto restore = qScopeGuard([&] {
        qputenv("PATH", oldPath);
        if (!oldTerminal.isEmpty())
            qputenv("TERMINAL", oldTerminal);
    });

    test::ScriptedUi ui;
    click(u"Command11"_qs);
    child<QCheckBox>(u"CheckAutoAdd"_qs)->setChecked(true);
    child<QLineEdit>(u"TextCmd"_qs)->setText(u"route print"_qs);
    click(u"CommandDOS_2"_qs);
    QCOMPARE(ui.boxes.size(), 1);
    const QString message = ui.boxes.at(0).text;
    QCOMPARE(ui.boxes.at(0).icon, BoxIcon::Critical);
    QVERIFY2(message.contains(u"$TERMINAL"_qs) && message.contains(u"x-terminal-emulator"_qs)
                 && message.contains(u"xterm"_qs) && message.endsWith(u"   Dos_Run"_qs),
             qPrintable(message));
    QVERIFY(m_panel->consoleWindows().windows().isEmpty());
    QVERIFY(!shownHistory().contains(u"route print"_qs)); // nothing ran, nothing added
}

QTEST_MAIN(TestConsolePanel)
#include "tst_consolepanel.moc"
