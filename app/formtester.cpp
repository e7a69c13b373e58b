#include "app/formtester.h"

#include "console/consolepanel.h"
#include "iplist/iplist.h"
#include "iplist/iplistpanel.h"
#include "ping/dialogexport.h"
#include "ping/exportfile.h"
#include "ping/pingexport.h"
#include "ping/pingpanel.h"
#include "ping/pingsettingsbox.h"
#include "ping/resultreload.h"
#include "platform/datafolder.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/icmpsocket.h"
#include "scanner/scanpanel.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace netvane {

namespace {

QString twoDecimalTitle(int bytes, int targets)
{
    return u"Ping testing with "_qs + QString::number(bytes) + u" bytes of data:            "_qs
           + QString::number(targets) + u"  IP "_qs;
}

} // namespace

FormTester::FormTester(QWidget *parent)
    : QMainWindow(parent), m_dataFolder(DataFolder()), m_pingTest(new PingTest(this))
{
    setObjectName(u"FormTester"_qs);
    setWindowTitle(u" Netvane  9.10"_qs);
    m_pingTest->setResultStore(&m_resultStore);
    buildControls();
    buildMenus();
    // The console's address picker lists the single entries of the target list.
    connect(m_ipListPanel->list(), &IpList::ipListLoaded, m_consolePanel,
            &ConsolePanel::setAddressPicks);
    connect(m_consolePanel, &ConsolePanel::addAddressRequested, m_ipListPanel,
            &IpListPanel::AddSingleItem);
    // The scan answers through its channel; the range dialog's "Scan IP" scans.
    m_scanPanel->installProbe(m_dataFolder);
    connect(m_ipListPanel, &IpListPanel::scanRequested, m_scanPanel, &ScanPanel::StartScan);
    setExportHandler(u"Scan"_qs, [this](const QString &extension) {
        m_scanPanel->ExportScanResults(extension);
    });
    m_ipListPanel->setFolder(m_dataFolder);
    m_ipListPanel->LoadIpList();

    connect(m_pingTest, &PingTest::replyRecorded, this, &FormTester::replyRecorded);
    connect(m_pingTest, &PingTest::stopDue, this, &FormTester::CommandStop_Click);
    connect(m_pingTest, &PingTest::finished, this, &FormTester::pingTestFinished);
    connect(m_pingTest, &PingTest::failed, this, [](const QString &description) {
        MsgBox(description + u"    Ping_IP"_qs, BoxIcon::Exclamation);
    });

    m_pingPanel->setPagingSource(&m_pingTest->log());
    resize(1180, 720);

    // The saved settings go into the boxes built above (their change handling runs),
    // then the function used last shows its previous results.
    m_settings.load();
    LetWindowCatchUp();
    applySettings();
    if (m_settings.value(AppSettings::CmdType) != u"Tracert") {
        m_mode = u"Ping"_qs;
        ReloadPreviousPingTest();
    } else {
        m_mode = u"Tracert"_qs;
        // The previous trace is shown again here once the traceroute panel exists.
    }
}

FormTester::~FormTester() = default;

void FormTester::buildControls()
{
    auto *central = new QWidget(this);
    central->setObjectName(u"FormTesterCentral"_qs);
    auto *outer = new QVBoxLayout(central);

    // Top: the settings frame, then the address box with the command buttons.
    auto *top = new QHBoxLayout;
    m_settingsFrame = new QGroupBox(u"Ping Settings"_qs, central);
    m_settingsFrame->setObjectName(u"Frame1_1"_qs);
    auto *settingsGrid = new QGridLayout(m_settingsFrame);
    m_settingsBox = new PingSettingsBox(m_settingsFrame);
    settingsGrid->addWidget(m_settingsBox, 0, 0);
    top->addWidget(m_settingsFrame, 1);
    outer->addLayout(top);

    m_commandRow = new QHBoxLayout;
    auto *addressLabel = new QLabel(u"IP / URL:"_qs, central);
    m_textPing = new QLineEdit(u"192.168.0.1"_qs, central);
    m_textPing->setObjectName(u"TextPing"_qs);
    addressLabel->setBuddy(m_textPing);
    m_commandStart = new QPushButton(u"Start"_qs, central);
    m_commandStart->setObjectName(u"CommandStart"_qs);
    m_commandStop = new QPushButton(u"Stop"_qs, central);
    m_commandStop->setObjectName(u"CommandStop"_qs);
    m_commandExport = new QPushButton(u"Export"_qs, central);
    m_commandExport->setObjectName(u"CommandExport"_qs);
    // Text4 only takes the focus back after an operation, out of the user's way.
    m_text4 = new QLineEdit(central);
    m_text4->setObjectName(u"Text4"_qs);
    m_text4->setFixedSize(1, 1);
    m_text4->setFrame(false);
    m_commandRow->addWidget(addressLabel);
    m_commandRow->addWidget(m_textPing, 1);
    m_commandRow->addWidget(m_commandStart);
    m_commandRow->addWidget(m_commandStop);
    m_commandRow->addWidget(m_commandExport);
    m_commandRow->addWidget(m_text4);
    outer->addLayout(m_commandRow);
    auto *command11 = new QPushButton(u"DOS"_qs, central);
    command11->setObjectName(u"Command11"_qs);
    command11->setToolTip(u"DOS Commands"_qs);
    m_commandRow->addWidget(command11);
    m_command8 = new QPushButton(u"Scan"_qs, central);
    m_command8->setObjectName(u"Command8"_qs);
    m_command8->setToolTip(u"Quickly scan the ip addresses of the selected items."_qs);
    m_commandRow->addWidget(m_command8);

    // Body: the target column and the result panels.
    auto *body = new QHBoxLayout;
    m_listColumn = new QWidget(central);
    m_listColumn->setObjectName(u"Picture1_0"_qs);
    new QVBoxLayout(m_listColumn);
    m_listColumn->layout()->setContentsMargins(0, 0, 0, 0);
    m_ipListPanel = new IpListPanel(this, m_listColumn);
    m_listColumn->layout()->addWidget(m_ipListPanel);
    body->addWidget(m_listColumn);
    m_centerLayout = new QVBoxLayout;
    m_pingPanel = new PingPanel(central);
    m_centerLayout->addWidget(m_pingPanel);
    m_consolePanel = new ConsolePanel(m_dataFolder, central);
    m_consolePanel->hide();
    m_centerLayout->addWidget(m_consolePanel);
    m_scanPanel = new ScanPanel(this, central);
    m_scanPanel->hide();
    m_centerLayout->addWidget(m_scanPanel);
    connect(command11, &QPushButton::clicked, m_consolePanel, &ConsolePanel::Command11_Click);
    body->addLayout(m_centerLayout, 1);
    outer->addLayout(body, 1);
    setCentralWidget(central);

    connect(m_commandStart, &QPushButton::clicked, this, &FormTester::CommandStart_Click);
    connect(m_commandStop, &QPushButton::clicked, this, &FormTester::CommandStop_Click);
    connect(m_commandExport, &QPushButton::clicked, this, &FormTester::CommandExport_Click);
    connect(m_command8, &QPushButton::clicked, m_scanPanel, &ScanPanel::StartScan);
    connect(m_textPing, &QLineEdit::returnPressed, this, [this] {
        if (m_mode == u"Ping" && m_commandStart->isEnabled())
            CommandStart_Click();
    });
}

void FormTester::buildMenus()
{
    m_mnuFile = menuBar()->addMenu(u"&File"_qs);
    m_mnuFile->setObjectName(u"mnuFile"_qs);
    QAction *exit = m_mnuFile->addAction(u"E&xit"_qs);
    exit->setObjectName(u"mnuExit"_qs);
    connect(exit, &QAction::triggered, this, [this] {
        if (!refuseWhileBusy())
            close();
    });

    m_mnuOperate = menuBar()->addMenu(u"&Operate"_qs);
    m_mnuOperate->setObjectName(u"mnuOperate"_qs);
    m_mnuStart = m_mnuOperate->addAction(u"Ping"_qs);
    m_mnuStart->setObjectName(u"mnuStart"_qs);
    connect(m_mnuStart, &QAction::triggered, this, &FormTester::CommandStart_Click);
    m_mnuIpscanner = m_mnuOperate->addAction(u"Scan IP"_qs);
    m_mnuIpscanner->setObjectName(u"mnuIpscanner"_qs);
    connect(m_mnuIpscanner, &QAction::triggered, m_scanPanel, &ScanPanel::StartScan);
    m_mnuStop = m_mnuOperate->addAction(u"S&top"_qs);
    m_mnuStop->setObjectName(u"mnuStop"_qs);
    connect(m_mnuStop, &QAction::triggered, this, &FormTester::CommandStop_Click);
    m_mnuExport = m_mnuOperate->addAction(u"&Export"_qs);
    m_mnuExport->setObjectName(u"mnuExport"_qs);
    connect(m_mnuExport, &QAction::triggered, this, &FormTester::CommandExport_Click);

    m_mnuIPList = menuBar()->addMenu(u"&IP"_qs);
    m_mnuIPList->setObjectName(u"mnuIPList"_qs);
    m_ipListPanel->addMenuItems(m_mnuIPList, m_mnuFile, exit);
    m_mnuIPList->addMenu(m_scanPanel->addG2Menu());
    m_mnuUtility = menuBar()->addMenu(u"&Utility"_qs);
    m_mnuUtility->setObjectName(u"mnuUtility"_qs);
    m_consolePanel->addMenuItems(m_mnuFile, m_mnuUtility);
    m_mnuHelp = menuBar()->addMenu(u"&Help"_qs);
    m_mnuHelp->setObjectName(u"mnuHelp"_qs);
    QAction *about = m_mnuHelp->addAction(u"&About"_qs);
    about->setObjectName(u"mnuAbout"_qs);
    connect(about, &QAction::triggered, this, [] {
        MsgBox(u"Netvane 9.10\n\nTests and logs network connectivity: ping tests, traceroutes, "
               u"IP range scans and network commands."_qs,
               BoxIcon::Information, BoxButtons::Ok, u"About Netvane"_qs);
    });
}

void FormTester::EnterBusy()
{
    m_commandStart->setEnabled(false);
    m_mnuStart->setEnabled(false);
    m_command8->setEnabled(false);
    m_mnuIpscanner->setEnabled(false);
    m_busy = true;
}

void FormTester::LeaveBusy()
{
    m_commandStart->setEnabled(true);
    m_mnuStart->setEnabled(true);
    m_command8->setEnabled(true);
    m_mnuIpscanner->setEnabled(true);
    m_busy = false;
}

void FormTester::CommandStart_Click()
{
    if (!m_settingsBox->ValidateAll())
        return;
    // A running test keeps the plan it started with.
    if (!m_busy)
        ApplyPingSettings(m_settingsBox->settings(), *m_pingTest);
    StartPingTest();
}

QList<PingTarget> FormTester::gatherTargets()
{
    const TargetTable table = m_ipListPanel->gatherTargets();
    if (table.unresolvedCount() > 0) {
        QString failed = table.unresolvedText();
        if (table.unresolvedCount() > 9)
            failed = failed.left(20) + u"  ........"_qs;
        MsgBox(u"Cannot find the IP address for the following "_qs
                   + QString::number(table.unresolvedCount()) + u" host:\r\n"_qs + failed,
               BoxIcon::Information);
    }
    QList<PingTarget> targets;
    for (const TargetRow &row : table.rows())
        targets.append({row.address, row.label});
    return targets;
}

void FormTester::StartPingTest()
{
    m_consolePanel->hide();
    m_scanPanel->hide();
    m_pingPanel->show();
    m_pingPanel->title(3)->hide();
    LetWindowCatchUp();
    if (m_busy)
        return;
    EnterBusy();

    m_pingPanel->setRunningLook(true);
    m_pingPanel->title(0)->setText(u"   Checking IP address, Please wait ..."_qs);
    m_pingPanel->clearRows();
    m_pingPanel->clearStatistics();
    m_pingPanel->reportButton()->hide();
    m_pingPanel->FollowNewestRow(0);
    LetWindowCatchUp();

    const QList<PingTarget> targets = gatherTargets();
    if (targets.isEmpty()) {
        m_pingPanel->title(0)->clear();
        LeaveBusy();
        return;
    }
    bool wide = false;
    for (const PingTarget &t : targets)
        wide = wide || t.address.size() > 13;
    m_pingPanel->setWideAddresses(wide);

    m_mode = u"Ping"_qs;
    QStringList names;
    for (const PingTarget &t : targets)
        names << t.name;
    const int pingsPerSize = m_pingTest->sizePlan.active()
                                 ? m_pingTest->sizePlan.repeat * int(targets.size())
                                 : 1;
    m_settings.setValue(AppSettings::IPQty, QString::number(targets.size()));
    saveSettings();
    QString error;
    if (!m_resultStore.create(m_dataFolder, int(targets.size()), pingsPerSize,
                              m_pingTest->repeatPerTarget, names, &error)) {
        // The test still runs; its echoes are kept in memory for the log and exports.
        MsgBox(error + u"   CommandStart_Click"_qs, BoxIcon::Exclamation);
    }
    m_pingTest->begin(targets);
    m_pingPanel->title(0)->setText(twoDecimalTitle(m_pingTest->sendSize(), int(targets.size())));
    m_pingPanel->title(1)->setText(u"No."_qs);
    m_pingPanel->showStatisticsCaptions(true);
    m_text4->setFocus();
}

void FormTester::replyRecorded(int row, const ReplyRowTexts &texts)
{
    if (!m_socketProblemShown) {
        const QString problem = platform::EchoSocketProblem();
        if (!problem.isEmpty()) {
            m_socketProblemShown = true;
            MsgBox(problem, BoxIcon::Exclamation);
        }
    }
    m_pingPanel->ShowReplyRow(row, texts);
    m_pingPanel->ShowStatistics(StatisticsTexts(m_pingTest->stats()));
    m_pingPanel->FollowNewestRow(row);
}

void FormTester::CommandStop_Click()
{
    // With the ping panel hidden the stop belongs to the scan.
    if (!m_pingPanel->isVisibleTo(this)) {
        m_scanPanel->requestStop();
        return;
    }
    if (!m_pingTest->isRunning())
        return;
    m_commandStop->setEnabled(false);
    m_mnuStop->setEnabled(false);
    m_pingTest->requestStop();
    m_text4->setFocus();
}

void FormTester::pingTestFinished()
{
    m_commandStop->setEnabled(true);
    m_mnuStop->setEnabled(true);
    LeaveBusy();
    if (m_mode != u"Tracert")
        m_pingPanel->reportButton()->show();
}

bool FormTester::refuseWhileBusy()
{
    if (!m_busy)
        return false;
    MsgBox(u"Please click 'Stop' button to stop the testing first."_qs, BoxIcon::Information,
           BoxButtons::Ok, u"Test is Running."_qs);
    return true;
}

void FormTester::closeEvent(QCloseEvent *event)
{
    if (refuseWhileBusy()) {
        event->ignore();
        return;
    }
    saveSettings();
    event->accept();
}

void FormTester::applySettings()
{
    for (const AppSettings::BoxSetting &box : AppSettings::boxSettings()) {
        const QString text = m_settings.value(box.key);
        auto *combo = findChild<QComboBox *>(QString::fromLatin1(box.objectName));
        if (!text.isEmpty() && combo)
            combo->setCurrentText(text); // the edit text of an editable box; its handlers run
    }
    const QString ipToName = m_settings.value(AppSettings::IPtoName).trimmed();
    if (auto *check = findChild<QCheckBox *>(u"CheckIPtoName"_qs); check && !ipToName.isEmpty()) {
        // The leading whole number of the text, 0 when there is none.
        qsizetype digits = 0;
        while (digits < ipToName.size() && ipToName.at(digits).isDigit())
            ++digits;
        check->setChecked(ipToName.left(digits).toLongLong() != 0);
    }
    SetLastDialogFolder(m_settings.value(AppSettings::Path));
}

void FormTester::collectSettings()
{
    for (const AppSettings::BoxSetting &box : AppSettings::boxSettings())
        if (auto *combo = findChild<QComboBox *>(QString::fromLatin1(box.objectName)))
            m_settings.setValue(box.key, combo->currentText());
    if (auto *check = findChild<QCheckBox *>(u"CheckIPtoName"_qs))
        m_settings.setValue(AppSettings::IPtoName, check->isChecked() ? u"1"_qs : u"0"_qs);
    const QString folder = LastDialogFolder();
    // Stored followed by two blanks, as it always was.
    m_settings.setValue(AppSettings::Path, folder.isEmpty() ? QString() : folder + u"  "_qs);
    m_settings.setValue(AppSettings::CmdType, m_mode);
}

bool FormTester::saveSettings()
{
    collectSettings();
    QString error;
    if (m_settings.save(&error))
        return true;
    MsgBox(error, BoxIcon::Critical);
    return false;
}

void FormTester::ReloadPreviousPingTest()
{
    const QString path = QDir(m_dataFolder).filePath(ResultFileName);
    const QFileInfo info(path);
    if (!info.exists())
        return;
    m_mode = u"Ping"_qs;
    if (info.size() > 1000000
        && MsgBox(u"Load the pre ping test log ?"_qs, BoxIcon::None, BoxButtons::YesNo)
               != BoxAnswer::Yes)
        return;

    QLabel *title = m_pingPanel->title(0);
    QLabel *progress = m_pingPanel->title(2);
    title->setText(u"Loading previous test results, please wait ....."_qs);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // Nothing may start a test while the log is being replaced.
    EnterBusy();
    progress->clear();
    progress->show();
    LetWindowCatchUp();

    // The window catches up every few tens of milliseconds, not after every line:
    // a long test's file holds millions.
    QElapsedTimer sinceCatchUp;
    sinceCatchUp.start();
    ReloadedPingTest test = ReadResultFile(path, [&](qsizetype remaining) {
        if (sinceCatchUp.elapsed() < 40)
            return;
        progress->setText(QString::number(remaining));
        LetWindowCatchUp();
        sinceCatchUp.restart();
    });

    const auto done = [&] {
        progress->hide();
        LeaveBusy();
        QGuiApplication::restoreOverrideCursor();
    };
    if (!test.headerRead) {
        title->clear();
        done();
        return;
    }

    QStringList names;
    QString error;
    if (!ReadTargetFile(QDir(m_dataFolder).filePath(TargetFileName), test.header.targetCount,
                        names, &error))
        MsgBox(error, BoxIcon::Critical);
    const QList<PingTarget> targets = ReloadedTargets(test, names);
    m_pingTest->restore(std::move(test.log), test.stats, targets, test.header.sizeStepLength,
                        test.header.repeat);

    // The rows, bar and statistics as they stood at the end of the test.
    const PingReplyLog &log = m_pingTest->log();
    const int count = int(log.size());
    m_pingPanel->clearRows();
    for (int row = count > 0 ? (count - 1) / LogRows * LogRows : 0; row < count; ++row)
        m_pingPanel->ShowReplyRow(row, FormatReplyRow(log.at(row), log.address(log.at(row))));
    m_pingPanel->FollowNewestRow(qMax(count - 1, 0));
    title->setText(u"Previous Ping Test Result"_qs);
    m_pingPanel->showStatisticsCaptions(true);
    m_pingPanel->ShowStatistics(StatisticsTexts(m_pingTest->stats()));
    done();
}

void FormTester::setExportHandler(const QString &kind, std::function<void(const QString &)> handler)
{
    m_exportHandlers.insert(kind, std::move(handler));
}

void FormTester::CommandExport_Click()
{
    QString kind;
    if (m_pingPanel->isVisibleTo(this)) {
        if (m_mode == u"Ping" || m_mode == u"Tracert")
            kind = m_mode;
    } else if (const QWidget *scan = findChild<QWidget *>(u"Picture3"_qs);
               scan && scan->isVisibleTo(this)) {
        kind = u"Scan"_qs;
    }
    if (kind.isEmpty())
        return;
    if (!m_dialogExport)
        m_dialogExport = new DialogExport(this);
    const QString choice = m_dialogExport->ask(kind);
    if (choice.isEmpty())
        return;
    const QString extension = choice == u"CSV" ? u"csv"_qs : u"txt"_qs;
    if (kind == u"Ping")
        ExportPingResults(extension);
    else if (const auto handler = m_exportHandlers.value(kind))
        handler(extension);
}

void FormTester::ExportPingResults(const QString &extension)
{
    const PingReplyLog &log = m_pingTest->log();
    if (log.isEmpty()) {
        MsgBox(u"No data to be export."_qs, BoxIcon::Information);
        return;
    }
    const QString path = AskSavePath(u"Ping Test result will be export to this File"_qs,
                                     PingExportFileName(m_pingTest->stats()), extension);
    if (path.isEmpty())
        return;
    PingExportSource source;
    source.log = &log;
    source.stats = m_pingTest->stats();
    for (const PingTarget &t : m_pingTest->targets())
        source.targets << t.name;
    source.repeat = m_pingTest->testRepeat();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    const bool saved = SavePingExport(path, extension, source, &error);
    QGuiApplication::restoreOverrideCursor();
    m_text4->setFocus();
    if (!saved) {
        MsgBox(error + (extension == u"csv" ? u"    exp ping to csv"_qs : u"    exp ping to txt"_qs));
        return;
    }
    ShowFileSaved(u"Ping test result has export to file: \r\n\r\n"_qs + path);
    m_text4->setFocus();
}

} // namespace netvane
