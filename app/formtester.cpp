#include "app/formtester.h"

#include "app/dialoghelp.h"
#include "app/dialogoutages.h"
#include "app/metricsitem.h"
#include "app/openlogfile.h"
#include "app/schedulepanel.h"

#include "console/consolepanel.h"
#include "iplist/iplist.h"
#include "iplist/iplistpanel.h"
#include "ping/dialogexport.h"
#include "ping/exportfile.h"
#include "ping/formlatencygraph.h"
#include "ping/formoutages.h"
#include "ping/outagealerts.h"
#include "ping/pingexport.h"
#include "ping/pingpanel.h"
#include "ping/pingsettings.h"
#include "ping/pingsettingsbox.h"
#include "ping/resultreload.h"
#include "ping/windowplace.h"
#include "report/dialogrpt.h"
#include "platform/clipboard.h"
#include "platform/datafolder.h"
#include "platform/desktopnotify.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/icmpsocket.h"
#include "platform/texteditor.h"
#include "probe/netlookup.h"
#include "traceroute/tracerun.h"
#include "traceroute/pathpanel.h"
#include "traceroute/pathreport.h"
#include "traceroute/tracertpanel.h"
#include "scanner/scanpanel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSystemTrayIcon>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QPushButton>
#include <QScopeGuard>
#include <QStackedLayout>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>

namespace netvane {

namespace {

QString twoDecimalTitle(int bytes, int targets)
{
    return u"Ping testing with "_qs + QString::number(bytes) + u" bytes of data:            "_qs
           + QString::number(targets) + u"  IP "_qs;
}

// A "-" caption is a separator, and a menu neither starts nor ends with one, nor
// shows two in a row.
void tidyMenu(QMenu *menu)
{
    QAction *lastShown = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->text() == u"-") {
            action->setText(QString());
            action->setSeparator(true);
        }
        if (!action->isSeparator()) {
            if (action->isVisible())
                lastShown = action;
            continue;
        }
        action->setVisible(lastShown && !lastShown->isSeparator());
        if (action->isVisible())
            lastShown = action;
    }
    if (lastShown && lastShown->isSeparator())
        lastShown->setVisible(false);
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
    // The host-list drop-down of the traceroute offers the list's singles and groups.
    connect(m_ipListPanel->list(), &IpList::ipListLoaded, this, [this] {
        m_tracertPanel->setHostListChoices(m_ipListPanel->traceTargetEntries(),
                                           [this](int i) { return m_ipListPanel->list()->item(i); });
    });
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
    m_outageAlerts = new OutageAlerts(*m_pingTest, this);
    connect(m_outageAlerts, &OutageAlerts::commandFailed, this, [](const QString &description) {
        MsgBox(description, BoxIcon::Exclamation);
    });
    // Where the desktop has no notification service: the tray's message, if there is a tray.
    platform::SetNotificationFallback([this](const QString &summary, const QString &body) {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return false;
        if (!m_trayIcon) {
            m_trayIcon = new QSystemTrayIcon(windowIcon(), this);
            m_trayIcon->setObjectName(u"TrayIcon"_qs);
            m_trayIcon->setToolTip(ProgramTitle);
        }
        m_trayIcon->show();
        m_trayIcon->showMessage(summary, body, QSystemTrayIcon::Warning);
        return true;
    });

    m_pingPanel->setPagingSource(&m_pingTest->log());
    m_schedulePanel->setHooks({
        [this] { return m_function; },
        [this] { return m_busy; },
        [this] { return m_pingPanel->title(0); },
        [this] {
            m_consolePanel->hide();
            if (auto *scan = findChild<QWidget *>(u"Picture3"_qs))
                scan->hide();
            if (auto *detail = findChild<QWidget *>(u"PictureShowIP"_qs))
                detail->hide();
            m_pingPanel->show();
            m_pingPanel->reportButton()->hide();
            // The schedule's caption takes the title: the trace's jump controls go.
            m_tracertPanel->hideJumpControls();
        },
    });
    connect(m_schedulePanel, &SchedulePanel::startDue, this, &FormTester::ScheduledStart);
    m_pingPanel->installEventFilter(this);
    for (QLabel *row : m_pingPanel->findChildren<QLabel *>())
        row->installEventFilter(this);
    connect(m_tracertPanel->run(), &TraceRun::stopDue, this, &FormTester::CommandStop_Click);
    connect(m_tracertPanel->run(), &TraceRun::stopFinished, this, &FormTester::traceFinished);
    m_tracertPanel->setFocusReturn([this] { m_text4->setFocus(); });
    setExportHandler(u"Tracert"_qs,
                     [this](const QString &extension) { m_tracertPanel->exportLog(extension); });
    setExportHandler(u"Path"_qs, [this](const QString &extension) { m_pathPanel->exportRun(extension); });
    connect(m_pathPanel->run(), &PathRun::finished, this, &FormTester::CommandStop_Click);
    m_pathPanel->setFocusReturn([this] { m_text4->setFocus(); });
    connect(m_pingPanel, &PingPanel::logChanged, this, &FormTester::logChanged);
    connect(m_pingPanel->reportButton(), &QPushButton::clicked, this, &FormTester::ShowSummaryReport);
    connect(m_pingPanel->outagesButton(), &QPushButton::clicked, this, &FormTester::ShowOutages);
    resize(1180, 720);

    // Every editable box takes what is typed as it is: no completion from its items
    // and nothing added to them.
    for (QComboBox *box : findChildren<QComboBox *>()) {
        if (box->isEditable()) {
            box->setCompleter(nullptr);
            box->setInsertPolicy(QComboBox::NoInsert);
        }
    }
    for (QMenu *menu : findChildren<QMenu *>())
        tidyMenu(menu);
    orderTabChain();

    // The saved settings go into the boxes built above (their change handling runs),
    // then the function used last shows its previous results.
    if (QString why; !m_settings.load(&why))
        MsgBox(why, BoxIcon::Exclamation);
    LetWindowCatchUp();
    applySettings();
    if (m_settings.value(AppSettings::CmdType) == u"Path") {
        // The previous path run is shown again from its log; the ping test's results
        // stay behind it on the ping panel.
        m_mode = m_function = u"Path"_qs;
        showFunctionFrame();
        ReloadPreviousPingTest();
        m_pathPanel->reload(m_dataFolder);
        m_pathPanel->showPanel();
    } else if (m_settings.value(AppSettings::CmdType) != u"Tracert") {
        m_mode = m_function = u"Ping"_qs;
        showFunctionFrame();
        ReloadPreviousPingTest();
    } else {
        m_mode = m_function = u"Tracert"_qs;
        showFunctionFrame();
        m_pingPanel->setPagingSource(nullptr);
        m_pingPanel->graphButton()->hide();
        // The trace's own host count: a ping test since then has its own.
        QString hosts = m_settings.value(AppSettings::TraceIPQty);
        if (hosts.trimmed().isEmpty())
            hosts = m_settings.value(AppSettings::IPQty);
        m_tracertPanel->reload(m_settings.value(AppSettings::TraceFileName), hosts,
                               m_settings.value(AppSettings::HopNumber));
    }
}

FormTester::~FormTester()
{
    platform::SetNotificationFallback({});
}

void FormTester::buildControls()
{
    auto *central = new QWidget(this);
    central->setObjectName(u"FormTesterCentral"_qs);
    auto *outer = new QVBoxLayout(central);

    // Top: the settings of the function Start runs (the ping settings or the
    // traceroute's, in one place), the start choice, then the address box with the
    // command buttons. The places that show one of several panels are as large as the
    // largest of them, so that switching never changes what the window needs.
    auto *top = new QHBoxLayout;
    m_functionSettings = new QWidget(central);
    m_functionSettings->setObjectName(u"FunctionSettings"_qs);
    auto *settingsStack = new QStackedLayout(m_functionSettings);
    settingsStack->setStackingMode(QStackedLayout::StackAll);
    settingsStack->setContentsMargins(0, 0, 0, 0);
    m_settingsFrame = new QGroupBox(u"Ping Settings"_qs, m_functionSettings);
    m_settingsFrame->setObjectName(u"Frame1_1"_qs);
    auto *settingsGrid = new QGridLayout(m_settingsFrame);
    m_settingsBox = new PingSettingsBox(m_settingsFrame);
    settingsGrid->addWidget(m_settingsBox, 0, 0);
    settingsStack->addWidget(m_settingsFrame);
    top->addWidget(m_functionSettings, 1);
    m_schedulePanel = new SchedulePanel(this, central);
    top->addWidget(m_schedulePanel);
    outer->addLayout(top);

    m_commandRow = new QHBoxLayout;
    auto *addressLabel = new QLabel(u"IP / UR&L:"_qs, central);
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
    m_text4->setFocusPolicy(Qt::NoFocus); // no stop of the Tab key

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
    m_commandSelectFun = new QPushButton(u"Function"_qs, central);
    m_commandSelectFun->setObjectName(u"CommandSelectFun_0"_qs);
    m_commandSelectFun->setToolTip(u"Choose the function Start runs: ping test or traceroute"_qs);
    m_commandRow->insertWidget(0, m_commandSelectFun);
    auto *command1 = new QPushButton(u"Open Log"_qs, central);
    command1->setObjectName(u"Command1"_qs);
    command1->setToolTip(u"Open a log or export file"_qs);
    auto *command2 = new QPushButton(u"Copy Screen"_qs, central);
    command2->setObjectName(u"Command2"_qs);
    command2->setToolTip(u"Copy the result panel to the clipboard as a picture"_qs);
    m_commandRow->addWidget(command1);
    m_commandRow->addWidget(command2);
    connect(command1, &QPushButton::clicked, this, &FormTester::Command1_Click);
    connect(command2, &QPushButton::clicked, this, &FormTester::Command2_Click);
    connect(m_commandSelectFun, &QPushButton::clicked, this, [this] { CommandSelectFun_Click(0); });
    m_command8 = new QPushButton(u"Scan"_qs, central);
    m_command8->setObjectName(u"Command8"_qs);
    m_command8->setToolTip(u"Quickly scan the ip addresses of the selected items."_qs);
    m_commandRow->insertWidget(m_commandRow->indexOf(command11), m_command8);

    // Body: the target column and the result panels.
    auto *body = new QHBoxLayout;
    m_listColumn = new QWidget(central);
    m_listColumn->setObjectName(u"Picture1_0"_qs);
    new QVBoxLayout(m_listColumn);
    m_listColumn->layout()->setContentsMargins(0, 0, 0, 0);
    m_ipListPanel = new IpListPanel(this, m_listColumn);
    m_listColumn->layout()->addWidget(m_ipListPanel);
    body->addWidget(m_listColumn);
    auto *center = new QWidget(central);
    center->setObjectName(u"ResultPlace"_qs);
    m_centerLayout = new QStackedLayout(center);
    m_centerLayout->setStackingMode(QStackedLayout::StackAll);
    m_centerLayout->setContentsMargins(0, 0, 0, 0);
    m_pingPanel = new PingPanel(center);
    m_centerLayout->addWidget(m_pingPanel);
    m_tracertPanel = new TracertPanel(m_pingPanel, central);
    m_tracertPanel->frame()->setParent(m_functionSettings);
    settingsStack->addWidget(m_tracertPanel->frame());
    m_commandRow->insertWidget(m_commandRow->indexOf(m_commandStop), m_tracertPanel->commandTracert());
    // The jump buttons keep their room while hidden: the row's width never changes.
    for (int i = 0; i < 2; ++i) {
        QPushButton *jump = m_tracertPanel->jumpButton(i);
        QSizePolicy policy = jump->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        jump->setSizePolicy(policy);
        m_commandRow->addWidget(jump);
    }
    connect(m_tracertPanel->commandTracert(), &QPushButton::clicked, this,
            &FormTester::CommandTracert_Click);
    m_pathPanel = new PathPanel(center);
    m_centerLayout->addWidget(m_pathPanel);
    m_commandRow->insertWidget(m_commandRow->indexOf(m_commandStop), m_pathPanel->commandPath());
    connect(m_pathPanel->commandPath(), &QPushButton::clicked, this, &FormTester::CommandPath_Click);
    m_consolePanel = new ConsolePanel(m_dataFolder, center);
    m_centerLayout->addWidget(m_consolePanel);
    m_consolePanel->hide();
    m_scanPanel = new ScanPanel(this, center);
    m_centerLayout->addWidget(m_scanPanel);
    m_scanPanel->hide();
    m_pingPanel->show();
    m_pathPanel->setSiblings({m_pingPanel, m_consolePanel, m_scanPanel});
    connect(command11, &QPushButton::clicked, m_consolePanel, &ConsolePanel::Command11_Click);
    body->addWidget(center, 1);
    outer->addLayout(body, 1);
    setCentralWidget(central);

    connect(m_commandStart, &QPushButton::clicked, this, &FormTester::CommandStart_Click);
    connect(m_commandStop, &QPushButton::clicked, this, &FormTester::CommandStop_Click);
    connect(m_commandExport, &QPushButton::clicked, this, &FormTester::CommandExport_Click);
    connect(m_command8, &QPushButton::clicked, m_scanPanel, &ScanPanel::StartScan);
    connect(m_pingPanel->graphButton(), &QPushButton::clicked, this, &FormTester::ShowLatencyGraph);
    connect(m_textPing, &QLineEdit::returnPressed, this, [this] {
        if (m_function == u"Ping" && m_commandStart->isEnabled())
            CommandStart_Click();
    });
}

void FormTester::orderTabChain()
{
    // The Tab key walks the window as it is read: the settings and the start choice
    // on top, the command row left to right, the list column, then the result panels.
    QList<QWidget *> blocks{m_functionSettings, m_schedulePanel};
    for (int i = 0; i < m_commandRow->count(); ++i)
        if (QWidget *w = m_commandRow->itemAt(i)->widget())
            blocks << w;
    blocks << m_listColumn << m_centerLayout->parentWidget();
    QList<QWidget *> chainNow;
    for (QWidget *w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain())
        chainNow << w;
    QList<QWidget *> order;
    for (QWidget *block : std::as_const(blocks)) {
        for (QWidget *w : std::as_const(chainNow)) {
            if ((w == block || block->isAncestorOf(w)) && (w->focusPolicy() & Qt::TabFocus)
                && !w->focusProxy() && !order.contains(w))
                order << w;
        }
    }
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void FormTester::buildMenus()
{
    const auto item = [this](QMenu *menu, const QString &caption, const QString &name,
                             void (FormTester::*slot)()) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    m_mnuFile = menuBar()->addMenu(u"&File"_qs);
    m_mnuFile->setObjectName(u"mnuFile"_qs);
    QAction *exit = item(m_mnuFile, u"E&xit"_qs, u"mnuExit"_qs, &FormTester::mnuExit_Click);

    m_mnuOperate = menuBar()->addMenu(u"&Operate"_qs);
    m_mnuOperate->setObjectName(u"mnuOperate"_qs);
    m_mnuStart = item(m_mnuOperate, u"Ping"_qs, u"mnuStart"_qs, &FormTester::CommandStart_Click);
    m_mnuTracert = item(m_mnuOperate, u"Tracert"_qs, u"mnuTracert"_qs,
                        &FormTester::CommandTracert_Click);
    m_mnuPath = item(m_mnuOperate, u"Path Statistics"_qs, u"mnuPath"_qs, &FormTester::CommandPath_Click);
    m_mnuIpscanner = m_mnuOperate->addAction(u"Scan IP"_qs);
    m_mnuIpscanner->setObjectName(u"mnuIpscanner"_qs);
    connect(m_mnuIpscanner, &QAction::triggered, m_scanPanel, &ScanPanel::StartScan);
    m_mnuStop = item(m_mnuOperate, u"S&top"_qs, u"mnuStop"_qs, &FormTester::CommandStop_Click);
    m_mnuOperate->addSeparator();
    m_mnuExport = item(m_mnuOperate, u"&Export"_qs, u"mnuExport"_qs,
                       &FormTester::CommandExport_Click);
    m_mnuOutages = item(m_mnuOperate, u"O&utages"_qs, u"mnuOutages"_qs, &FormTester::ShowOutages);
    item(m_mnuOperate, u"Outage Settin&gs..."_qs, u"mnuOutageSettings"_qs, &FormTester::ShowOutageSettings);
    m_mnuGraph = item(m_mnuOperate, u"Latency &Graph"_qs, u"mnuGraph"_qs,
                      &FormTester::ShowLatencyGraph);
    item(m_mnuOperate, u"O&pen"_qs, u"mnuOpen"_qs, &FormTester::Command1_Click);
    item(m_mnuOperate, u"&Copy Screen"_qs, u"mnuCopy"_qs, &FormTester::Command2_Click);
    // The same as the report button of the ping panel, also when a reloaded test
    // leaves that button hidden.
    item(m_mnuOperate, u"Open Summary Report"_qs, u"mnuReport"_qs, &FormTester::ShowSummaryReport);

    m_mnuFunction = menuBar()->addMenu(u"Fu&nction"_qs);
    m_mnuFunction->setObjectName(u"mnuFunction"_qs);
    m_mnuSelectPing = item(m_mnuFunction, u"Ping Function"_qs, u"mnuSelectPing"_qs,
                           &FormTester::mnuSelectPing_Click);
    m_mnuSelectTracert = item(m_mnuFunction, u"Traceroute Function"_qs, u"mnuSelectTracert"_qs,
                              &FormTester::mnuSelectTracert_Click);
    m_mnuSelectPath = item(m_mnuFunction, u"Path Statistics Function"_qs, u"mnuSelectPath"_qs,
                           &FormTester::mnuSelectPath_Click);

    m_mnuIPList = menuBar()->addMenu(u"&IP"_qs);
    m_mnuIPList->setObjectName(u"mnuIPList"_qs);
    m_ipListPanel->addMenuItems(m_mnuIPList, m_mnuFile, exit);
    m_mnuIPList->addMenu(m_scanPanel->addG2Menu());
    m_mnuUtility = menuBar()->addMenu(u"&Utility"_qs);
    m_mnuUtility->setObjectName(u"mnuUtility"_qs);
    m_consolePanel->addMenuItems(m_mnuFile, m_mnuUtility);
    m_mnuUtility->addSeparator();
    m_metricsItem = new MetricsItem(*m_pingTest, m_mnuUtility, this);
    m_mnuHelp = menuBar()->addMenu(u"&Help"_qs);
    m_mnuHelp->setObjectName(u"mnuHelp"_qs);
    item(m_mnuHelp, u"&How to Use ?"_qs, u"mnuHowTo"_qs, &FormTester::mnuHowTo_Click);
    item(m_mnuHelp, u"&About"_qs, u"mnuAbout"_qs, &FormTester::mnuAbout_Click);
}

void FormTester::EnterBusy()
{
    // The function cannot change under a running activity, as Start cannot run again.
    for (QAction *select : {m_mnuSelectPing, m_mnuSelectTracert, m_mnuSelectPath, m_mnuPath})
        if (select)
            select->setEnabled(false);
    m_pathPanel->commandPath()->setEnabled(false);
    m_commandSelectFun->setEnabled(false);
    m_commandStart->setEnabled(false);
    m_mnuStart->setEnabled(false);
    m_tracertPanel->commandTracert()->setEnabled(false);
    if (m_mnuTracert)
        m_mnuTracert->setEnabled(false);
    m_command8->setEnabled(false);
    m_mnuIpscanner->setEnabled(false);
    // The settings are read at the start: while a run goes on they cannot change.
    m_settingsBox->setEnabled(false);
    m_tracertPanel->frame()->setEnabled(false);
    m_busy = true;
}

void FormTester::LeaveBusy()
{
    for (QAction *select : {m_mnuSelectPing, m_mnuSelectTracert, m_mnuSelectPath, m_mnuPath})
        if (select)
            select->setEnabled(true);
    m_pathPanel->commandPath()->setEnabled(true);
    m_commandSelectFun->setEnabled(true);
    m_commandStart->setEnabled(true);
    m_mnuStart->setEnabled(true);
    m_tracertPanel->commandTracert()->setEnabled(true);
    if (m_mnuTracert)
        m_mnuTracert->setEnabled(true);
    m_command8->setEnabled(true);
    m_mnuIpscanner->setEnabled(true);
    m_settingsBox->setEnabled(true);
    m_tracertPanel->frame()->setEnabled(true);
    m_busy = false;
}

void FormTester::CommandStart_Click()
{
    startPing(false);
}

void FormTester::startPing(bool bySchedule)
{
    if (!m_settingsBox->ValidateAll()) {
        // A dialog's Ping refused here must not stay behind for the next Start.
        m_ipListPanel->clearManualTargets();
        return;
    }
    // A running test keeps the plan it started with.
    if (!m_busy) {
        ApplyPingSettings(m_settingsBox->settings(), *m_pingTest);
        // Only a test the schedule started stops at the schedule's end.
        m_scheduledRun = bySchedule;
        m_pingTest->setScheduledStop(bySchedule ? std::optional(m_schedulePanel->end())
                                                : std::nullopt,
                                     m_schedulePanel->clock());
    }
    m_schedulePanel->selectImmediately();
    StartPingTest();
}

void FormTester::beginStart()
{
    m_starting = true;
    m_startStopped = false;
    m_startProgress.start();
}

void FormTester::endStart()
{
    m_starting = false;
    m_pingPanel->title(2)->clear();
    m_pingPanel->title(2)->hide();
}

TargetList FormTester::gatherTargets()
{
    TargetTable table = m_ipListPanel->gatherTargets([this](qsizetype targets) {
        // The count shows how far a long expansion has come; Stop ends it.
        if (m_startProgress.elapsed() >= 100) {
            m_pingPanel->title(2)->setText(QString::number(targets));
            m_pingPanel->title(2)->show();
            m_startProgress.restart();
        }
        return !m_startStopped;
    });
    if (table.cancelled())
        return {}; // a stopped start has nothing to report
    if (const QString message = table.unresolvedMessage(); !message.isEmpty())
        MsgBox(message, BoxIcon::Information);
    return table.takeTargets();
}

bool FormTester::writeTargetFile(const TargetList &targets, QString *error)
{
    // Millions of names take seconds to write and sync: they are written aside while
    // the window turns, shows the count and takes Stop.
    std::atomic<qsizetype> written{0};
    bool committed = false;
    QEventLoop loop;
    std::unique_ptr<QThread> writer(QThread::create([&] {
        committed = WriteTargetFile(m_dataFolder, targets, m_startStopped, written, error);
    }));
    connect(writer.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer progress;
    progress.setInterval(100);
    connect(&progress, &QTimer::timeout, this, [&] {
        m_pingPanel->title(2)->setText(QString::number(written) + u" / "_qs
                                       + QString::number(targets.size()));
        m_pingPanel->title(2)->show();
    });
    progress.start();
    writer->start();
    loop.exec();
    writer->wait();
    return committed;
}

void FormTester::StartPingTest()
{
    m_consolePanel->hide();
    m_scanPanel->hide();
    m_pingPanel->show();
    m_pingPanel->title(3)->hide();
    m_tracertPanel->leaveDisplay();
    LetWindowCatchUp();
    // Whatever happens below, a dialog's pending target is used by this start or not
    // at all: a start that does not happen leaves nothing for the next one.
    const auto clearSlots = qScopeGuard([this] { m_ipListPanel->clearManualTargets(); });
    if (m_busy)
        return;
    EnterBusy();
    // The bar pages through the records only when no test is writing them.
    m_pingPanel->setPagingSource(nullptr);
    // The previous test stays on show until this one really starts.
    const QString previousTitle = m_pingPanel->title(0)->text();
    m_pingPanel->title(0)->setText(u"   Checking IP address, Please wait ..."_qs);
    LetWindowCatchUp();

    beginStart();
    const auto started = qScopeGuard([this] { endStart(); });
    const TargetList targets = gatherTargets();
    // A start that does not happen leaves the window as it was before, ready.
    const auto refuse = [this, previousTitle] {
        m_pingPanel->title(0)->setText(previousTitle);
        if (m_mode == u"Ping")
            m_pingPanel->setPagingSource(&m_pingTest->log());
        LeaveBusy();
        m_text4->setFocus();
    };
    if (targets.isEmpty()) {
        refuse();
        return;
    }
    // The size step length (the size plan's repeat times the targets) is stored in the
    // result file as a 32-bit number: a plan beyond it is refused like one whose
    // numbers overflow in the size check.
    // The outage rule of the settings, checked like the boxes' settings.
    if (const SettingCheck check = CheckOutageAfter(m_settings.value(AppSettings::OutageAfter),
                                                    m_pingTest->outageAfter);
        !check.passed) {
        refuse();
        MsgBox(check.boxText() + u"\n\n"_qs + AppSettings::keyName(AppSettings::OutageAfter) + u" in "_qs
                   + QDir::toNativeSeparators(AppSettings::filePath()),
               BoxIcon::Critical);
        return;
    }
    const std::optional<int> pingsPerSize = PingsPerSize(m_pingTest->sizePlan, targets.size());
    if (!pingsPerSize) {
        refuse();
        MsgBox(u"Overflow - Inalid Send Buffer Size."_qs, BoxIcon::Critical);
        return;
    }
    m_pingPanel->setWideAddresses(targets.widestAddress());

    m_mode = m_function = u"Ping"_qs;
    m_settings.setValue(AppSettings::IPQty, QString::number(targets.size()));
    saveSettings(true);
    // The target file first: a stop, or a failure, while it is written leaves both
    // files of the previous test as they were.
    QString error;
    const bool targetFileWritten = writeTargetFile(targets, &error);
    if (!targetFileWritten || m_startStopped) {
        refuse();
        if (!m_startStopped)
            MsgBox(error + u"   CommandStart_Click"_qs, BoxIcon::Exclamation);
        return;
    }
    if (!m_resultStore.createResultFile(m_dataFolder, int(targets.size()), *pingsPerSize,
                                        m_pingTest->repeatPerTarget, &error)) {
        // A test whose echoes cannot be stored does not start: it would be lost.
        refuse();
        MsgBox(error + u"   CommandStart_Click"_qs, BoxIcon::Exclamation);
        return;
    }
    // Said here, before the first tick, not in the middle of one: without an echo
    // socket every echo of the test fails with "ip general failure".
    const QString socketProblem = platform::CheckEchoSocket();
    if (!socketProblem.isEmpty())
        MsgBox(socketProblem, BoxIcon::Exclamation);
    m_pingPanel->setRunningLook(true);
    m_pingPanel->clearRows();
    m_pingPanel->clearStatistics();
    m_pingPanel->reportButton()->hide();
    m_pingPanel->graphButton()->hide();
    m_pingPanel->FollowNewestRow(0);
    m_pingTest->begin(targets);
    m_pingPanel->title(0)->setText(twoDecimalTitle(m_pingTest->sendSize(), int(targets.size())));
    m_pingPanel->title(1)->setText(u"No."_qs);
    m_pingPanel->showStatisticsCaptions(true);
    m_text4->setFocus();
    // Stop came while the files were being made: the test that now stands in them
    // stops at once.
    if (m_startStopped) {
        m_starting = false;
        CommandStop_Click();
    }
}

void FormTester::replyRecorded(int row, const ReplyRowTexts &texts)
{
    m_pingPanel->ShowReplyRow(row, texts);
    m_pingPanel->ShowStatistics(StatisticsTexts(m_pingTest->stats()));
    m_pingPanel->FollowNewestRow(row);
    if (row == 0) // the graph has something to show from the first echo on
        m_pingPanel->graphButton()->show();
}

void FormTester::CommandStop_Click()
{
    // A start still gathering its targets or writing their file ends there.
    if (m_starting) {
        m_startStopped = true;
        return;
    }
    if (m_mode == u"Path" && m_pathPanel->run()->isActive()) {
        // The prober stops within a wake-up; every round settled by then is kept.
        m_pathPanel->stop();
        LeaveBusy();
        m_text4->setFocus();
        return;
    }
    if (m_mode == u"Tracert" && m_tracertPanel->run()->isActive()) {
        m_commandStop->setEnabled(false);
        m_mnuStop->setEnabled(false);
        m_tracertPanel->stop();
        m_text4->setFocus();
        return;
    }
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
    if (m_mode == u"Ping")
        m_pingPanel->setPagingSource(&m_pingTest->log());
    if (m_mode != u"Tracert")
        m_pingPanel->reportButton()->show();
}

void FormTester::showFunctionFrame(bool tracert)
{
    // The settings of the chosen function take the one place for them.
    m_settingsFrame->setVisible(!tracert);
    m_tracertPanel->frame()->setVisible(tracert);
}

void FormTester::showFunctionFrame()
{
    showFunctionFrame(m_mode == u"Tracert");
}

void FormTester::mnuSelectTracert_Click()
{
    // A running activity keeps its function and its controls (the choice is disabled
    // meanwhile): the mode also tells Stop which activity owns the window.
    if (m_busy)
        return;
    if (m_pathPanel->isVisibleTo(this))
        m_pingPanel->show();
    showFunctionFrame(true);
    m_tracertPanel->commandTracert()->raise();
    m_mode = m_function = u"Tracert"_qs;
    functionChanged();
}

void FormTester::CommandTracert_Click()
{
    if (m_busy || !m_tracertPanel->BuildTracertOptions())
        return;
    m_schedulePanel->selectImmediately();
    StartTrace();
}

void FormTester::StartTrace()
{
    m_consolePanel->hide();
    m_scanPanel->hide();
    if (auto *detail = findChild<QWidget *>(u"PictureShowIP"_qs))
        detail->hide();
    m_pingPanel->show();
    LetWindowCatchUp();
    if (m_busy)
        return;
    EnterBusy();
    // What is on show stays until the trace really starts.
    const QString previousTitle = m_pingPanel->title(0)->text();
    m_pingPanel->title(0)->setText(u"   Checking IP address, Please wait ..."_qs);
    LetWindowCatchUp();
    beginStart();
    const auto started = qScopeGuard([this] { endStart(); });
    const TargetList targets = gatherTargets();
    if (targets.isEmpty()) {
        m_pingPanel->title(0)->setText(previousTitle);
        LeaveBusy();
        return;
    }
    m_pingPanel->setRunningLook(true);
    m_pingPanel->reportButton()->hide();
    m_pingPanel->graphButton()->hide(); // a trace has no echoes to draw
    m_mode = m_function = u"Tracert"_qs;
    m_pingPanel->setPagingSource(nullptr);
    m_tracertPanel->start(targets.toList(), m_dataFolder);
    // The run's files are found again at the next start.
    m_settings.setValue(AppSettings::TraceFileName, m_tracertPanel->run()->prefix());
    m_settings.setValue(AppSettings::IPQty, QString::number(targets.size()));
    m_settings.setValue(AppSettings::TraceIPQty, QString::number(targets.size()));
    saveSettings(true);
    m_text4->setFocus();
}

void FormTester::mnuSelectPath_Click()
{
    if (m_busy)
        return;
    // The interval, time-out and size boxes are the ping settings'; the hop count is
    // the traceroute's.
    showFunctionFrame(false);
    m_mode = m_function = u"Path"_qs;
    if (m_pathPanel->run()->traces().isEmpty())
        m_pathPanel->reload(m_dataFolder);
    m_pathPanel->showPanel();
    functionChanged();
}

void FormTester::CommandPath_Click()
{
    if (m_busy || !m_settingsBox->ValidateAll() || !m_tracertPanel->BuildTracertOptions())
        return;
    m_schedulePanel->selectImmediately();
    StartPath();
}

void FormTester::StartPath()
{
    if (auto *detail = findChild<QWidget *>(u"PictureShowIP"_qs))
        detail->hide();
    LetWindowCatchUp();
    if (m_busy)
        return;
    EnterBusy();
    beginStart();
    const auto started = qScopeGuard([this] { endStart(); });
    const TargetList targets = gatherTargets();
    if (targets.isEmpty()) {
        LeaveBusy();
        return;
    }
    if (targets.size() > MaxPathTargets) {
        LeaveBusy();
        MsgBox(u"Path statistics take at most %1 targets at once; %2 are chosen."_qs.arg(MaxPathTargets)
                   .arg(targets.size()),
               BoxIcon::Critical);
        return;
    }
    const QString socketProblem = platform::CheckEchoSocket();
    if (!socketProblem.isEmpty())
        MsgBox(socketProblem, BoxIcon::Exclamation);
    const PingSettings &ping = m_settingsBox->settings();
    PathRunSettings settings;
    settings.intervalMs = ping.interval;
    settings.timeoutMs = ping.timeout;
    settings.size = ping.sendSize;
    settings.maxHops = m_tracertPanel->maxHops();
    if (!m_pathPanel->start(targets.toList(), settings, m_tracertPanel->resolvesNames(), m_dataFolder)) {
        LeaveBusy();
        return;
    }
    m_mode = m_function = u"Path"_qs;
    showFunctionFrame();
    functionChanged();
    saveSettings(true);
    m_text4->setFocus();
}

void FormTester::traceFinished()
{
    m_commandStop->setEnabled(true);
    m_mnuStop->setEnabled(true);
    LeaveBusy();
    m_text4->setFocus();
}

bool FormTester::refuseWhileBusy()
{
    if (!m_busy)
        return false;
    MsgBox(u"Please click 'Stop' button to stop the testing first."_qs, BoxIcon::Information,
           BoxButtons::Ok, u"Test is Running."_qs);
    return true;
}

void FormTester::workBesideWindow(const std::function<void()> &work,
                                  const std::function<QString()> &progress, int showAfterMs)
{
    // One at a time: the export commands wait for it.
    ++m_working;
    m_commandExport->setEnabled(false);
    m_mnuExport->setEnabled(false);
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    QLabel *label = m_pingPanel->title(2);
    const bool shown = label->isVisibleTo(this);
    QElapsedTimer clock;
    clock.start();
    RunBesideWindow(work, [&] {
        if (clock.elapsed() < showAfterMs)
            return;
        label->setText(progress());
        label->show();
    });
    label->setVisible(shown);
    QGuiApplication::restoreOverrideCursor();
    m_commandExport->setEnabled(true);
    m_mnuExport->setEnabled(true);
    if (--m_working == 0 && m_closeWhenDone) {
        m_closeWhenDone = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void FormTester::closeEvent(QCloseEvent *event)
{
    // Work under way beside the window ends first; the window closes after it.
    if (m_working > 0) {
        m_closeWhenDone = true;
        event->ignore();
        return;
    }
    if (refuseWhileBusy()) {
        event->ignore();
        return;
    }
    saveSettings();
    // The program's other windows (the help, dialogs left open) go with it.
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible())
            w->close();
    event->accept();
}

void FormTester::mnuExit_Click()
{
    // Through the close: a refusal while busy, otherwise the settings are kept.
    if (!refuseWhileBusy())
        close();
}

void FormTester::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    m_schedulePanel->hidePicker();
    if (m_shown)
        return;
    m_shown = true;
    // Placed once, when first shown, where it stood when it was last closed (centred
    // the first time), wholly on this screen; later only the user moves or sizes it.
    if (const QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        const QRect stored = WindowPlaceOf(m_settings.value(AppSettings::WindowPlace));
        // The place is the window's inside; the title bar and the frame the window
        // manager adds around it need room too.
        setGeometry(FittedWindowPlace(stored, size(), minimumSizeHint(),
                                      area - FrameMarginsOr(geometry(), frameGeometry())));
    }
    m_text4->setFocus();
}

void FormTester::mousePressEvent(QMouseEvent *event)
{
    m_schedulePanel->hidePicker();
    if (auto *traceIP = findChild<QWidget *>(u"TraceIP"_qs))
        traceIP->hide();
    QMainWindow::mousePressEvent(event);
}

bool FormTester::eventFilter(QObject *watched, QEvent *event)
{
    // A click on the ping panel or one of its rows closes what floats over it (the
    // picker, the list's detail panel, the trace jump list) and gives the focus back.
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()
        && (watched == m_pingPanel || m_pingPanel->isAncestorOf(static_cast<QWidget *>(watched)))
        && (qobject_cast<QLabel *>(watched) || watched == m_pingPanel)) {
        m_schedulePanel->hidePicker();
        for (const QString &name : {u"PictureShowIP"_qs, u"TraceIP"_qs})
            if (auto *floating = findChild<QWidget *>(name))
                floating->hide();
        m_text4->setFocus();
    }
    return QMainWindow::eventFilter(watched, event);
}

void FormTester::ScheduledStart()
{
    m_scheduledRun = true;
    if (m_function == u"Tracert")
        CommandTracert_Click();
    else if (m_function == u"Path")
        CommandPath_Click();
    else
        startPing(true);
    // A start refused at the scheduled moment (its message was shown) must not leave
    // the caption promising a run that will not come.
    if (!m_busy)
        m_schedulePanel->selectImmediately();
}

void FormTester::mnuSelectPing_Click()
{
    // As for the traceroute: a running activity keeps its function.
    if (m_busy)
        return;
    if (m_pathPanel->isVisibleTo(this))
        m_pingPanel->show();
    showFunctionFrame(false);
    m_mode = m_function = u"Ping"_qs;
    functionChanged();
}

void FormTester::functionChanged()
{
    // The end box is for ping tests only; an armed schedule says what it will run.
    m_schedulePanel->commandTypeChanged();
    if (m_schedulePanel->scheduleChosen())
        m_schedulePanel->ShowScheduleCaption();
}

void FormTester::CommandSelectFun_Click(int index)
{
    if (index != 0)
        return;
    if (auto *detail = findChild<QWidget *>(u"PictureShowIP"_qs))
        detail->hide();
    m_text4->setFocus();
    m_mnuFunction->popup(m_commandSelectFun->mapToGlobal(QPoint(0, m_commandSelectFun->height())));
}

void FormTester::Command2_Click()
{
    // Nothing visible to copy leaves the clipboard as the user had it.
    if (m_pathPanel->isVisibleTo(this))
        CopyPictureToClipboard(m_pathPanel);
    else if (m_pingPanel->isVisibleTo(this))
        CopyPictureToClipboard(m_pingPanel);
    else if (auto *scan = findChild<QWidget *>(u"Picture3"_qs); scan && scan->isVisibleTo(this))
        CopyPictureToClipboard(scan);
    m_text4->setFocus();
}

void FormTester::Command1_Click()
{
    m_text4->setFocus();
    const QString path = ChooseLogFile();
    if (path.isEmpty())
        return;
    const bool opened = ViewerFor(path) == LogViewer::Associated ? OpenWithAssociatedProgram(path)
                                                                 : OpenInTextEditor(path);
    if (!opened)
        MsgBox(u"No program could be started to open "_qs + path + u"    Command1_Click"_qs,
               BoxIcon::Exclamation);
}

QPixmap FormTester::helpPicture(int page)
{
    // A panel not on show is put in the place of the one that is, drawn as the user
    // would see it, and the window is put back as it was.
    const auto grabInPlaceOf = [this](QWidget *panel, QWidget *shown) {
        if (!panel)
            return QPixmap();
        if (panel->isVisibleTo(this) || !shown)
            return panel->grab();
        // (Drawn with updates on: a widget whose updates are off draws nothing.)
        const bool shownWasVisible = shown->isVisibleTo(this);
        shown->hide();
        panel->show();
        centralWidget()->layout()->activate();
        const QPixmap picture = panel->grab();
        panel->hide();
        shown->setVisible(shownWasVisible);
        centralWidget()->layout()->activate();
        return picture;
    };
    QWidget *settings = m_settingsFrame->isVisibleTo(this) ? m_settingsFrame : m_tracertPanel->frame();
    QWidget *center = m_pingPanel;
    for (QWidget *panel : {static_cast<QWidget *>(m_scanPanel), static_cast<QWidget *>(m_consolePanel)})
        if (!m_pingPanel->isVisibleTo(this) && panel->isVisibleTo(this))
            center = panel;
    switch (page) {
    case 1: return grab();
    case 2: return grabInPlaceOf(m_pingPanel, center);
    case 3: return grabInPlaceOf(m_tracertPanel->frame(), settings);
    case 4: return grabInPlaceOf(m_scanPanel, center);
    case 5: return grabInPlaceOf(m_consolePanel, center);
    case 6: {
        // The report's own dialog: the one on show, else a new one as it first opens.
        if (m_dialogRpt && m_dialogRpt->isVisible())
            return m_dialogRpt->grab();
        DialogRpt dialog(this);
        dialog.adjustSize();
        return dialog.grab();
    }
    case 7: {
        DialogExport dialog(this);
        dialog.adjustSize();
        return dialog.grab();
    }
    case 8: return m_schedulePanel->grab();
    default: return {};
    }
}

void FormTester::mnuHowTo_Click()
{
    if (!m_dialogHelp)
        m_dialogHelp = new DialogHelp([this](int page) { return helpPicture(page); }, this);
    m_dialogHelp->Form_Load();
    m_dialogHelp->show();
    m_dialogHelp->raise();
}

void FormTester::mnuAbout_Click()
{
    MsgBox(u"Netvane 9.10\n\nTests and logs network connectivity: timed ping tests against a list "
           u"of hosts, groups and address ranges with statistics, kept results and exports; "
           u"traceroutes; IP range scans; network commands; summary reports; scheduled starts."_qs,
           BoxIcon::Information, BoxButtons::Ok, u"About Netvane"_qs);
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
    if (auto *family = findChild<QComboBox *>(u"ComboFamily"_qs))
        family->setCurrentIndex(int(AddressFamilyOf(m_settings.value(AppSettings::AddressFamily))));
    SetLastDialogFolder(m_settings.value(AppSettings::Path));
    m_metricsItem->apply(m_settings);
    m_outageAlerts->setNotify(m_settings.value(AppSettings::OutageNotify).trimmed() != u"0");
    m_outageAlerts->setCommand(m_settings.value(AppSettings::OutageCommand));
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
    m_settings.setValue(AppSettings::CmdType, m_function);
    if (auto *family = findChild<QComboBox *>(u"ComboFamily"_qs))
        m_settings.setValue(AppSettings::AddressFamily, family->currentText());
    m_metricsItem->collect(m_settings);
    if (m_shown)
        m_settings.setValue(AppSettings::WindowPlace,
                            WindowPlaceText(isMaximized() || isFullScreen() ? normalGeometry()
                                                                            : geometry()));
}

bool FormTester::saveSettings(bool besideWindow)
{
    collectSettings();
    QString error;
    bool saved = false;
    if (besideWindow) {
        // The file is written and synced from a copy while the window goes on.
        const AppSettings snapshot = m_settings;
        RunBesideWindow([&] { saved = snapshot.save(&error); });
    } else {
        saved = m_settings.save(&error);
    }
    if (saved)
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
    if (!info.isFile()) { // a FIFO or a folder: nothing to show, and the start goes on
        MsgBox(QDir::toNativeSeparators(path) + u" is not a regular file"_qs, BoxIcon::Exclamation);
        return;
    }
    m_mode = m_function = u"Ping"_qs;
    if (info.size() > 1000000
        && MsgBox(u"Load the pre ping test log ?"_qs, BoxIcon::None, BoxButtons::YesNo)
               != BoxAnswer::Yes)
        return;

    QLabel *title = m_pingPanel->title(0);
    QLabel *progress = m_pingPanel->title(2);
    title->setText(u"Loading previous test results, please wait ....."_qs);
    // Nothing may start a test while the log is being replaced.
    EnterBusy();
    progress->clear();
    progress->show();

    // The files are read beside the window, which keeps answering and shows how many
    // lines are still to convert; it takes what was read once it is all there.
    std::atomic<qsizetype> remaining = -1;
    ReloadedPingTest test;
    QStringList names;
    QString error;
    bool namesRead = true;
    QList<PingTarget> targets;
    const QString targetPath = QDir(m_dataFolder).filePath(TargetFileName);
    int outageAfter = DefaultOutageAfter; // a damaged setting is refused at the next start
    CheckOutageAfter(m_settings.value(AppSettings::OutageAfter), outageAfter);
    workBesideWindow(
        [&] {
            ResultReadOptions options;
            options.outageAfter = outageAfter;
            test = ReadResultFile(path, [&](qsizetype left) { remaining = left; }, options);
            if (!test.headerRead)
                return;
            namesRead = ReadTargetFile(targetPath, test.header.targetCount, names, &error);
            targets = ReloadedTargets(test, names);
        },
        [&] {
            const qsizetype left = remaining;
            return left >= 0 ? QString::number(left) : QString();
        },
        0);

    const auto done = [&] {
        progress->hide();
        LeaveBusy();
    };
    const QString unread = UnreadLinesText(test, path);
    if (!test.headerRead) {
        title->clear();
        done();
        if (!unread.isEmpty())
            MsgBox(unread, BoxIcon::Exclamation);
        return;
    }
    if (!namesRead)
        MsgBox(error, BoxIcon::Critical);
    m_pingTest->restore(std::move(test.log), test.stats, targets, test.header.sizeStepLength,
                        test.header.repeat, std::move(test.outages));

    // The rows, bar and statistics as they stood at the end of the test.
    const PingReplyLog &log = m_pingTest->log();
    const int count = int(log.size());
    if (log.widestAddress() > MaxRecordedAddress) // an IPv6 test: its addresses whole
        m_pingPanel->setWideAddresses(log.widestAddress());
    m_pingPanel->clearRows();
    const int lastPage = count > 0 ? (count - 1) / LogRows * LogRows : 0;
    log.readRows(lastPage, count - lastPage,
                 [&](qsizetype row, const PingReplyRecord &r, const QString &address) {
                     m_pingPanel->ShowReplyRow(int(row), FormatReplyRow(r, address));
                     return true;
                 });
    m_pingPanel->FollowNewestRow(qMax(count - 1, 0));
    // The report and the graph read the reloaded test from its file as they would a
    // finished one, so the "Report:" caption gets its button.
    m_pingPanel->reportButton()->setVisible(count > 0);
    m_pingPanel->graphButton()->setVisible(count > 0);
    title->setText(u"Previous Ping Test Result"_qs);
    m_pingPanel->showStatisticsCaptions(true);
    m_pingPanel->ShowStatistics(StatisticsTexts(m_pingTest->stats()));
    done();
    // Once, with the echoes that could be read on show behind it.
    if (!unread.isEmpty())
        MsgBox(unread, BoxIcon::Exclamation);
}

void FormTester::setExportHandler(const QString &kind, std::function<void(const QString &)> handler)
{
    m_exportHandlers.insert(kind, std::move(handler));
}

void FormTester::CommandExport_Click()
{
    QString kind;
    if (m_pathPanel->isVisibleTo(this)) {
        kind = u"Path"_qs;
    } else if (m_pingPanel->isVisibleTo(this)) {
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
    QString extension = choice == u"CSV" ? u"csv"_qs : u"txt"_qs;
    if ((kind == u"Ping" || kind == u"Path") && choice == u"JSON")
        extension = u"json"_qs;
    if (kind == u"Ping")
        ExportPingResults(extension);
    else if (const auto handler = m_exportHandlers.value(kind))
        handler(extension);
}

void FormTester::logChanged()
{
    MsgBox(u"The result file has changed since it was loaded; it is loaded again."_qs,
           BoxIcon::Information);
    // A running test keeps writing its own file; what changed is shown once it ends.
    if (m_busy)
        return;
    m_pingTest->restore(PingReplyLog(), PingSessionStats(), {}, 1, 1);
    m_pingPanel->clearRows();
    m_pingPanel->clearStatistics();
    m_pingPanel->showStatisticsCaptions(false);
    m_pingPanel->title(0)->clear();
    m_pingPanel->FollowNewestRow(0);
    ReloadPreviousPingTest();
}

void FormTester::ShowLatencyGraph()
{
    // A running test may have no echo yet: the graph then fills as they come.
    if (m_pingTest->log().isEmpty() && !m_busy) {
        MsgBox(u"No ping test results to show."_qs, BoxIcon::Information);
        return;
    }
    if (!m_pingTest->log().isCurrent()) {
        logChanged();
        return;
    }
    if (!m_formGraph)
        m_formGraph = new FormLatencyGraph(*m_pingTest, this);
    m_formGraph->refresh();
    m_formGraph->show();
    m_formGraph->raise();
    m_formGraph->activateWindow();
}

void FormTester::ShowOutages()
{
    if (!m_formOutages) {
        m_formOutages = new FormOutages(*m_pingTest, this);
        connect(m_formOutages, &FormOutages::outageChosen, this, [this](const Outage &o) {
            // The log from the outage's first echo (a running test's log follows its
            // newest echo instead), and the graph over the outage with a little around it.
            m_pingPanel->showRow(int(std::min<qint64>(o.firstRow, INT_MAX)));
            if (m_formGraph && m_formGraph->isVisible()) {
                const qint64 end = o.ongoing() ? m_pingTest->outages().lastTime() : o.end;
                const double margin = std::max<double>(double(end - o.start) / 4, 5);
                m_formGraph->graph()->setView(double(o.start) - margin, double(end) + margin);
            }
        });
    }
    m_formOutages->refresh();
    m_formOutages->show();
    m_formOutages->raise();
    m_formOutages->activateWindow();
}

void FormTester::findOutagesAgain()
{
    // The test on show, finished, under a new rule: read once more beside the window,
    // from a copy of the log that holds its file open. A running test keeps its rule.
    int after = DefaultOutageAfter;
    CheckOutageAfter(m_settings.value(AppSettings::OutageAfter), after);
    const PingReplyLog &log = m_pingTest->log();
    if (m_busy || m_mode != u"Ping" || log.isEmpty() || after == m_pingTest->outages().lostEchoes())
        return;
    PingReplyLog snapshot = log;
    if (!snapshot.pinFile()) {
        logChanged();
        return;
    }
    OutageFinder found;
    bool read = false;
    QString error;
    EnterBusy();
    workBesideWindow([&] { read = FindOutages(snapshot, after, found, &error); },
                     [] { return u"Finding the outages ..."_qs; });
    LeaveBusy();
    if (!read) {
        MsgBox(error, BoxIcon::Exclamation);
        return;
    }
    m_pingTest->replaceOutages(std::move(found));
    if (m_formOutages && m_formOutages->isVisible())
        m_formOutages->refresh();
    if (m_formGraph && m_formGraph->isVisible())
        m_formGraph->graph()->update();
}

void FormTester::ShowOutageSettings()
{
    if (!m_dialogOutages) {
        m_dialogOutages = new DialogOutages(this);
        connect(m_dialogOutages, &DialogOutages::stored, this, [this] {
            m_outageAlerts->setNotify(m_settings.value(AppSettings::OutageNotify).trimmed() != u"0");
            m_outageAlerts->setCommand(m_settings.value(AppSettings::OutageCommand));
            findOutagesAgain();
        });
    }
    m_dialogOutages->load(m_settings);
    m_dialogOutages->show();
    m_dialogOutages->raise();
}

void FormTester::ShowSummaryReport()
{
    // A path run's report is of its figures as they stand, also while it runs.
    const auto makeDialog = [this] {
        if (m_dialogRpt)
            return;
        m_dialogRpt = new DialogRpt(this);
        m_dialogRpt->setExportDialog(m_dialogExport);
        // A test started meanwhile (a scheduled start) replaces the log reported on.
        connect(m_pingTest, &PingTest::replyRecorded, m_dialogRpt, [this](int row) {
            if (row == 0)
                m_dialogRpt->sourceGone();
        });
    };
    if (m_mode == u"Path") {
        makeDialog();
        m_dialogRpt->setBuilder([this](int minutes) {
            return BuildPathReport(m_pathPanel->run()->traces(), m_pathPanel->run()->settings().startMs, minutes);
        });
        m_dialogRpt->show();
        m_dialogRpt->raise();
        return;
    }
    // A running test is still growing its log: the report is of a finished one.
    if (refuseWhileBusy())
        return;
    if (!m_pingTest->log().isCurrent()) {
        logChanged();
        return;
    }
    makeDialog();
    ReportSource source;
    source.log = &m_pingTest->log();
    for (const PingTarget &target : m_pingTest->targets())
        source.targets.append(target.name.isEmpty() ? target.address : target.name);
    source.repeat = m_pingTest->testRepeat();
    source.pingsPerSize = m_pingTest->pingsPerSize();
    auto outages = std::make_shared<OutageFinder>(m_pingTest->outages());
    outages->began = outages->ended = nullptr;
    source.outages = std::move(outages);
    // A test read back at start-up keeps no size plan (the one held may be newer than
    // the test): its report groups the sizes met.
    const SendSizePlan &plan = m_pingTest->sizePlan;
    source.sizeCount = plan.active() && m_pingTest->pingsPerSize() > 1
                               && PingsPerSize(plan, source.targets.size()) == m_pingTest->pingsPerSize()
                           ? plan.count
                           : 0;
    m_dialogRpt->setSource(source);
    m_dialogRpt->show();
    m_dialogRpt->raise();
}

void FormTester::ExportPingResults(const QString &extension)
{
    const PingReplyLog &log = m_pingTest->log();
    if (log.isEmpty()) {
        MsgBox(u"No data to be export."_qs, BoxIcon::Information);
        return;
    }
    if (!log.isCurrent()) {
        logChanged();
        return;
    }
    const QString path = AskSavePath(u"Ping Test result will be export to this File"_qs,
                                     PingExportFileName(m_pingTest->stats()), extension);
    if (path.isEmpty())
        return;
    // The export writes the test as it stands now, from a copy of the log that holds
    // the file open, beside the window: a running test goes on meanwhile.
    PingReplyLog snapshot = log;
    QString error;
    if (!snapshot.pinFile(&error)) {
        logChanged();
        return;
    }
    PingExportSource source;
    source.log = &snapshot;
    source.stats = m_pingTest->stats();
    for (const PingTarget &t : m_pingTest->targets()) {
        source.targets << t.name;
        source.addresses << t.address;
    }
    source.repeat = m_pingTest->testRepeat();
    source.sizeStepLength = m_pingTest->pingsPerSize();
    // A copy: the test goes on beside the export.
    source.outages = m_pingTest->outages();
    source.outages.began = source.outages.ended = nullptr;
    std::atomic<qint64> lines = 0;
    bool saved = false;
    workBesideWindow([&] { saved = SavePingExport(path, extension, source, &error, [&](qint64 n) { lines = n; }); },
                     [&] {
                         const qint64 total = std::max<qint64>(snapshot.size(), 1);
                         return u"Exporting "_qs + QString::number(std::min<qint64>(lines * 100 / total, 99))
                                + u" %"_qs;
                     });
    m_text4->setFocus();
    if (!saved) {
        MsgBox(error + u"    exp ping to "_qs + extension);
        return;
    }
    ShowFileSaved(u"Ping test result has export to file: \r\n\r\n"_qs + path);
    m_text4->setFocus();
}

} // namespace netvane
