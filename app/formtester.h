#pragma once
// FormTester, the main window. Every function of the program lives on it: the
// target column on the left, the ping settings and the address box on top, the
// ping panel (reply log and statistics) in the middle, and the menus. Its handlers
// read their controls, call the logic in the core library and write the results
// back. A ping test: CommandStart_Click -> StartPingTest gathers the targets and
// starts the run loop (PingTest); every echo comes back through replyRecorded and
// is shown; CommandStop_Click asks the loop to stop, and its finishing timer ends
// the test (finished -> LeaveBusy, report button shown). A traceroute:
// CommandTracert_Click -> StartTrace gathers the targets the same way and hands them
// to the traceroute panel's run, whose lines take the ping panel's rows; Stop kills
// the running traces, and "All Completed" runs Stop by itself (traceFinished ->
// LeaveBusy). Path statistics (the traceroute's second mode): CommandPath_Click ->
// StartPath gathers the targets the same way and hands them to the path panel's run,
// which measures every hop on a thread of its own and shows a table per target on
// its own result panel; Stop ends it.
//
// At start-up the window reads the saved settings into its boxes and shows the
// previous ping test again from the result store; the settings are saved again when
// a test starts and when the window closes. Export writes the results on show.
//
// The shell: the start choice (SchedulePanel) starts a test or trace at a chosen
// minute through the same Start; copy screen puts the visible panel on the
// clipboard; open log file shows a written file in its viewer; the help pages are
// pictures of this window's own panels.
//
// The window takes its data folder and settings from the XDG folders, so a test
// isolates it with temporary ones.

#include "app/appsettings.h"
#include "ping/pingtest.h"
#include "ping/resultstore.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>

#include <atomic>
#include <functional>

class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QStackedLayout;
class QVBoxLayout;
class QHBoxLayout;

namespace netvane {

class ConsolePanel;
class IpListPanel;
class MetricsItem;
class OutageAlerts;
class DialogExport;
class FormLatencyGraph;
class FormOutages;
class DialogOutages;
class DialogRpt;
class PingPanel;
class PingSettingsBox;
class DialogHelp;
class SchedulePanel;
class TracertPanel;
class PathPanel;
class ScanPanel;

class FormTester final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormTester)
public:
    explicit FormTester(QWidget *parent = nullptr);
    ~FormTester() override;

    // Start: checks the settings, then starts a test now.
    void CommandStart_Click();
    void StartPingTest();
    void CommandStop_Click();
    // The scheduled moment has come: the task of the current command type starts,
    // a ping test with the schedule's end as its stop time.
    void ScheduledStart();
    void mnuSelectPing_Click();
    // Shows the Function menu beside the function button.
    void CommandSelectFun_Click(int index);
    // Copy screen: a picture of the visible result panel onto the clipboard.
    void Command2_Click();
    // Open log file: the chooser, then the file's viewer.
    void Command1_Click();
    void mnuHowTo_Click();
    void mnuAbout_Click();
    // Exit from the menu: refused while busy, else the window closes.
    void mnuExit_Click();
    // Traceroute: checks the options, then traces every target now.
    void CommandTracert_Click();
    void StartTrace();
    void mnuSelectTracert_Click();
    // Path statistics: checks the settings, then measures every hop to the targets.
    void CommandPath_Click();
    void StartPath();
    void mnuSelectPath_Click();
    void EnterBusy();
    void LeaveBusy();

    // Export of the results on show: asks text or CSV, then runs the export of the
    // showing panel's kind ("Ping", "Tracert", "Scan").
    void CommandExport_Click();
    void ExportPingResults(const QString &extension);
    // The summary report of the last test (the report button and mnuReport).
    void ShowSummaryReport();
    DialogRpt *dialogRpt() const { return m_dialogRpt; }
    // The export of another kind of results, given the extension "txt" or "csv".
    void setExportHandler(const QString &kind, std::function<void(const QString &)> handler);
    // The latency graph of the current or reloaded ping test, read again from its log.
    void ShowLatencyGraph();
    // The outage list of the test on show (Operate > Outages, or the statistics' button).
    void ShowOutages();
    FormOutages *formOutages() const { return m_formOutages; }
    // Operate > Outage Settings.
    void ShowOutageSettings();
    // Shows the previous ping test again from the result store (at start-up).
    void ReloadPreviousPingTest();
    // The result file changed under the program: says so and shows it again.
    void logChanged();
    // Puts the loaded setting texts into the boxes that exist, by object name.
    void applySettings();
    // Reads the control texts into the settings and writes them; a failure is shown.
    // `besideWindow`: the file is written on a thread of its own while the window goes on.
    bool saveSettings(bool besideWindow = false);
    AppSettings &settings() { return m_settings; }

    bool isBusy() const { return m_busy; }
    // The activity that owns the window: "Ping", "Tracert", "Path" or "Scan".
    QString mode() const { return m_mode; }
    // The function Start and the schedule run, "Ping", "Tracert" or "Path"; a scan leaves it.
    QString function() const { return m_function; }
    void setMode(const QString &mode) { m_mode = mode; }
    ScanPanel *scanPanel() const { return m_scanPanel; }
    QString dataFolder() const { return m_dataFolder; }
    PingTest *pingTest() const { return m_pingTest; }
    PingPanel *pingPanel() const { return m_pingPanel; }
    ConsolePanel *consolePanel() const { return m_consolePanel; }
    PingSettingsBox *settingsBox() const { return m_settingsBox; }
    IpListPanel *ipListPanel() const { return m_ipListPanel; }
    SchedulePanel *schedulePanel() const { return m_schedulePanel; }
    DialogHelp *dialogHelp() const { return m_dialogHelp; }
    bool scheduledRun() const { return m_scheduledRun; }
    TracertPanel *tracertPanel() const { return m_tracertPanel; }
    PathPanel *pathPanel() const { return m_pathPanel; }
    MetricsItem *metricsItem() const { return m_metricsItem; }
    OutageAlerts *outageAlerts() const { return m_outageAlerts; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void orderTabChain();
    void buildControls();
    // From beginStart to endStart a start gathers its targets and writes their file:
    // Stop ends it there.
    void beginStart();
    void endStart();
    // The targets of a test, in order; failed entries are reported to the user.
    // Empty when Stop ended the gathering.
    TargetList gatherTargets();
    // The target file of a starting test, written while the window turns; false on
    // a failure (error) or a stop.
    bool writeTargetFile(const TargetList &targets, QString *error);
    void replyRecorded(int row, const ReplyRowTexts &texts);
    void pingTestFinished();
    void traceFinished();
    bool refuseWhileBusy();
    void startPing(bool bySchedule);
    // The function Start runs changed: the schedule controls follow.
    void functionChanged();
    void showFunctionFrame(bool tracert);
    void showFunctionFrame(); // the current mode's
    // The picture of a help page, from the live window.
    QPixmap helpPicture(int page);
    // Runs `work` beside the window (platform/events.h); once it has taken
    // `showAfterMs`, the progress label shows progress(). Export waits meanwhile, and
    // a close asked for meanwhile comes when the work is done.
    void workBesideWindow(const std::function<void()> &work, const std::function<QString()> &progress,
                          int showAfterMs = 300);
    void collectSettings();
    void findOutagesAgain();

    QString m_dataFolder;
    PingTest *m_pingTest;
    OutageAlerts *m_outageAlerts = nullptr;
    QSystemTrayIcon *m_trayIcon = nullptr;
    PingResultStore m_resultStore;
    PingPanel *m_pingPanel = nullptr;
    ConsolePanel *m_consolePanel = nullptr; // PictureDOS
    ScanPanel *m_scanPanel = nullptr;       // Picture3
    IpListPanel *m_ipListPanel = nullptr;
    TracertPanel *m_tracertPanel = nullptr;
    PathPanel *m_pathPanel = nullptr;       // PicturePath
    AppSettings m_settings;
    DialogExport *m_dialogExport = nullptr;
    FormLatencyGraph *m_formGraph = nullptr;
    FormOutages *m_formOutages = nullptr;
    DialogOutages *m_dialogOutages = nullptr;
    DialogRpt *m_dialogRpt = nullptr;
    QHash<QString, std::function<void(const QString &)>> m_exportHandlers;

    // Places the other parts of the window fill.
    QGroupBox *m_settingsFrame = nullptr;   // Frame1_1: the ping settings boxes
    PingSettingsBox *m_settingsBox = nullptr;
    QWidget *m_listColumn = nullptr;        // Picture1_0: the target list column
    QWidget *m_functionSettings = nullptr;  // holds Frame1_1 and Frame1_2, one shown
    QStackedLayout *m_centerLayout = nullptr; // the result panels, one shown
    QHBoxLayout *m_commandRow = nullptr;    // the address box and the command buttons

    QLineEdit *m_textPing = nullptr;
    QLineEdit *m_text4 = nullptr;
    QPushButton *m_commandStart = nullptr;
    QPushButton *m_commandStop = nullptr;
    QPushButton *m_commandExport = nullptr;
    QPushButton *m_command8 = nullptr;      // the scan button
    QMenu *m_mnuFile = nullptr;
    QMenu *m_mnuOperate = nullptr;
    QMenu *m_mnuIPList = nullptr;
    QMenu *m_mnuUtility = nullptr;
    QMenu *m_mnuHelp = nullptr;
    QAction *m_mnuStart = nullptr;
    QAction *m_mnuStop = nullptr;
    QAction *m_mnuIpscanner = nullptr;
    QAction *m_mnuExport = nullptr;
    QMenu *m_mnuFunction = nullptr;
    SchedulePanel *m_schedulePanel = nullptr;
    DialogHelp *m_dialogHelp = nullptr;
    QPushButton *m_commandSelectFun = nullptr;
    QAction *m_mnuTracert = nullptr;
    QAction *m_mnuGraph = nullptr;
    QAction *m_mnuOutages = nullptr;
    QAction *m_mnuSelectPing = nullptr;
    QAction *m_mnuSelectTracert = nullptr;
    QAction *m_mnuPath = nullptr;
    QAction *m_mnuSelectPath = nullptr;
    MetricsItem *m_metricsItem = nullptr; // Utility > Serve Metrics for Prometheus

    QString m_mode = u"Ping"_qs;
    QString m_function = u"Ping"_qs;
    bool m_busy = false;
    bool m_scheduledRun = false; // the running test was started by the schedule
    bool m_shown = false;
    // A start gathering its targets and writing their file; Stop ends it.
    bool m_starting = false;
    std::atomic<bool> m_startStopped{false};
    QElapsedTimer m_startProgress; // since the progress count was last shown
    int m_working = 0;           // work under way beside the window
    bool m_closeWhenDone = false; // a close asked for meanwhile
};

} // namespace netvane
