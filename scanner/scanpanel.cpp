#include "scanner/scanpanel.h"

#include "app/formtester.h"
#include "app/schedulepanel.h"
#include "console/classdos.h"
#include "console/consolepanel.h"
#include "iplist/dialogstate.h"
#include "iplist/iplistpanel.h"
#include "ping/exportfile.h"
#include "ping/pingpanel.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/process.h"
#include "platform/scanchannel.h"
#include "platform/textfile.h"
#include "probe/netlookup.h"
#include "scanner/probeinstall.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QCoreApplication>
#include <QLabel>
#include <QWheelEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTime>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QToolTip>
#include <QHelpEvent>
#include <QVBoxLayout>

#include <atomic>
#include <mutex>

namespace netvane {

namespace {

// The cell colours: answered, waiting, silent.
const QColor AnsweredColour(0xC0, 0xC0, 0xFF); // 16761024
const QColor WaitingColour(0xC0, 0xC0, 0xC0);  // 12632256
const QColor DeadColour(0x80, 0x80, 0x80);     // 8421504

// The vendors of MAC prefixes from the IEEE registry file, read once.
struct VendorRegistry {
    std::once_flag once;
    std::atomic<bool> ready = false;
    QHash<QString, QString> vendors;

    void load(const QString &path)
    {
        std::call_once(once, [&] {
            QFile file(path.isEmpty() ? u"/usr/share/ieee-data/oui.txt"_qs : path);
            const QByteArray all = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            // "00-1A-2B   (hex)\t\tVENDOR NAME"
            const QByteArrayView text(all);
            for (qsizetype at = text.indexOf("(hex)"); at >= 0; at = text.indexOf("(hex)", at + 5)) {
                const qsizetype lineStart = text.lastIndexOf('\n', at) + 1;
                qsizetype lineEnd = text.indexOf('\n', at);
                if (lineEnd < 0)
                    lineEnd = text.size();
                if (at - lineStart < 8 || text.at(lineStart + 2) != '-')
                    continue;
                const QString prefix = QString::fromLatin1(text.sliced(lineStart, 8)).toUpper();
                vendors.insert(prefix, QString::fromUtf8(text.sliced(at + 5, lineEnd - at - 5)).trimmed());
            }
            ready = true;
        });
    }
};

VendorRegistry &vendorRegistry()
{
    static VendorRegistry registry;
    return registry;
}

int secondsOfDay()
{
    const QTime now = QTime::currentTime();
    return now.hour() * 3600 + now.minute() * 60 + now.second();
}

} // namespace

ScanPanel::ScanPanel(FormTester *owner, QWidget *parent)
    : QWidget(parent), m_owner(owner), m_channel(new platform::ScanChannel(this)),
      m_vScroll2(new QScrollBar(Qt::Vertical, this)), m_labelTotal(new QLabel(this)),
      m_labelActive(new QLabel(this)), m_labelInactive(new QLabel(this)),
      m_label9(new QLabel(this)), m_text2(new QLineEdit(this)), m_text402(new QLineEdit(this)),
      m_mnuAddG2(new QMenu(u"Add the scanned IP to a new IP Group"_qs, this)),
      m_timerS1(new QTimer(this)), m_timerS3(new QTimer(this)), m_reaper(new QTimer(this))
{
    setObjectName(u"Picture3"_qs);
    m_vScroll2->setObjectName(u"VScroll2"_qs);
    m_labelTotal->setObjectName(u"LabelTotal"_qs);
    m_labelActive->setObjectName(u"LabelActive"_qs);
    m_labelInactive->setObjectName(u"LabelInactive"_qs);
    m_label9->setObjectName(u"Label9"_qs);
    m_text2->setObjectName(u"Text2"_qs);
    m_text2->setReadOnly(true);
    // Text402 only takes the focus after a result button, out of the user's way.
    m_text402->setObjectName(u"Text402"_qs);
    m_text402->setFixedSize(1, 1);
    m_text402->setFrame(false);
    m_text402->setFocusPolicy(Qt::NoFocus); // no stop of the Tab key
    m_timerS1->setObjectName(u"TimerS1"_qs);
    m_timerS1->setInterval(500);
    m_timerS3->setObjectName(u"TimerS3"_qs);
    m_timerS3->setInterval(5000);
    m_reaper->setInterval(200);

    auto *outer = new QVBoxLayout(this);
    auto *body = new QHBoxLayout;
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(1);
    grid->setVerticalSpacing(1);
    const QString headings[6] = {u"No."_qs, u"IP Address"_qs, u"Host Name"_qs,
                                 u"MAC Address"_qs, u"TTL"_qs, u"Ping"_qs};
    for (int c = 0; c < 6; ++c)
        grid->addWidget(new QLabel(headings[c], this), 0, c);
    const std::array<std::pair<std::array<QLabel *, Rows> *, const char16_t *>, 6> columns = {{
        {&m_ssTYPE, u"ssTYPE"}, {&m_ssIP, u"ssIP"}, {&m_sHOST, u"sHOST"},
        {&m_sMAC, u"sMAC"}, {&m_sTTL, u"sTTL"}, {&m_sMS, u"sMS"}}};
    for (int c = 0; c < 6; ++c) {
        for (int r = 0; r < Rows; ++r) {
            auto *cell = new QLabel(this);
            cell->setObjectName(QString::fromUtf16(columns[c].second) + u'_' + QString::number(r));
            cell->setAutoFillBackground(true);
            cell->setMinimumHeight(16);
            (*columns[c].first)[size_t(r)] = cell;
            grid->addWidget(cell, r + 1, c);
            cell->installEventFilter(this); // the wheel over a cell, the MAC's tooltip
        }
    }
    grid->setColumnMinimumWidth(0, 40);
    grid->setColumnMinimumWidth(4, 40);
    grid->setColumnMinimumWidth(5, 80);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(2, 3);
    grid->setColumnStretch(3, 2);
    body->addLayout(grid, 1);
    body->addWidget(m_vScroll2);
    outer->addLayout(body, 1);

    auto *counters = new QHBoxLayout;
    counters->addWidget(new QLabel(u"Total:"_qs, this));
    counters->addWidget(m_labelTotal);
    counters->addWidget(new QLabel(u"Active:"_qs, this));
    counters->addWidget(m_labelActive);
    counters->addWidget(m_label9);
    counters->addWidget(m_labelInactive);
    counters->addWidget(m_text2, 1);
    counters->addWidget(m_text402);
    outer->addLayout(counters);
    auto *buttons = new QHBoxLayout;
    const QString captions[4] = {u"All"_qs, u"Active"_qs, u"Inactive"_qs,
                                 u"Add the scanned IP to a new IP Group"_qs};
    for (int i = 0; i < 4; ++i) {
        m_cmdShowScan[size_t(i)] = new QPushButton(captions[i], this);
        m_cmdShowScan[size_t(i)]->setObjectName(u"CmdShowScan_%1"_qs.arg(i));
        m_cmdShowScan[size_t(i)]->hide();
        buttons->addWidget(m_cmdShowScan[size_t(i)]);
    }
    buttons->addStretch(1);
    outer->addLayout(buttons);

    m_mnuAddG2->setObjectName(u"mnuAddG2"_qs);
    const std::array<std::pair<const char16_t *, const char16_t *>, 3> groupEntries = {{
        {u"mnuAddG2Active", u"Add Active IP to a New IP Group"},
        {u"mnuAddG2Inactive", u"Add Inactive IP to a New IP Group"},
        {u"mnuAddG2All", u"Add All IP to a New IP Group"}}};
    const QString groupKinds[3] = {u"Active"_qs, u"Inactive"_qs, u"All"_qs};
    for (int i = 0; i < 3; ++i) {
        QAction *action = m_mnuAddG2->addAction(QString::fromUtf16(groupEntries[size_t(i)].second));
        action->setObjectName(QString::fromUtf16(groupEntries[size_t(i)].first));
        const QString kind = groupKinds[i];
        connect(action, &QAction::triggered, this, [this, kind] {
            focusText402();
            GroupFromScan(kind);
        });
    }
    for (int i = 0; i < 3; ++i) {
        const QString kind = captions[i];
        connect(m_cmdShowScan[size_t(i)], &QPushButton::clicked, this, [this, kind] {
            focusText402();
            FilterScanResults(kind);
        });
    }
    connect(m_cmdShowScan[3], &QPushButton::clicked, this, [this] {
        focusText402();
        m_mnuAddG2->popup(m_cmdShowScan[3]->mapToGlobal(QPoint(0, m_cmdShowScan[3]->height())));
    });

    connect(m_channel, &platform::ScanChannel::answerReceived, this, &ScanPanel::ScanMessageReceived);
    connect(m_timerS1, &QTimer::timeout, this, &ScanPanel::ScanProgressTick);
    connect(m_timerS3, &QTimer::timeout, this, [this] {
        ++m_s3Ticks;
        if (m_owner)
            m_owner->LeaveBusy();
        if (m_s3Ticks > 2)
            m_timerS3->stop();
    });
    connect(m_reaper, &QTimer::timeout, this, [this] {
        reapProbes();
        if (m_probes.isEmpty() && m_strays.isEmpty())
            m_reaper->stop();
    });
    connect(m_vScroll2, &QScrollBar::actionTriggered, this, [this] { m_userScrolled = true; });
    connect(m_vScroll2, &QScrollBar::valueChanged, this, [this] {
        if (m_browsable)
            ShowScanRows();
    });
    clearGrid();
}

ScanPanel::~ScanPanel() = default;

void ScanPanel::installProbe(const QString &dataFolder)
{
    m_probeError.clear();
    QString dataFolderProblem;
    m_probePath = InstallProbeProgram(dataFolder, &m_probeError, {}, &dataFolderProblem);
    // Said at once, as for every other data file whose path holds something wrong.
    if (!dataFolderProblem.isEmpty())
        MsgBox(dataFolderProblem, BoxIcon::Exclamation);
    QString error;
    if (!m_channel->open(&error) && m_probeError.isEmpty())
        m_probeError = u"the answer channel cannot be opened: "_qs + error;
}

void ScanPanel::focusText402()
{
    m_text402->setFocus();
}

void ScanPanel::clearGrid()
{
    for (int r = 0; r < Rows; ++r) {
        for (auto *column : {&m_ssTYPE, &m_ssIP, &m_sHOST, &m_sMAC, &m_sTTL, &m_sMS}) {
            (*column)[size_t(r)]->clear();
        }
        setRowColour(r, QColor());
    }
}

void ScanPanel::setRowColour(int row, const QColor &colour)
{
    // A palette change restyles the cell: only when the colour changes.
    if (m_rowColour[size_t(row)] == colour && m_rowColourSet[size_t(row)])
        return;
    m_rowColour[size_t(row)] = colour;
    m_rowColourSet[size_t(row)] = true;
    for (auto *column : {&m_ssTYPE, &m_ssIP, &m_sHOST, &m_sMAC, &m_sTTL, &m_sMS}) {
        QLabel *cell = (*column)[size_t(row)];
        QPalette palette = cell->palette();
        palette.setColor(QPalette::Window,
                         colour.isValid() ? colour : this->palette().color(QPalette::Window));
        cell->setPalette(palette);
    }
}

void ScanPanel::StartScan()
{
    if (!m_owner || m_owner->isBusy())
        return;
    IpListPanel *list = m_owner->ipListPanel();
    // Preparation: the scan panel in front, everything reset.
    m_owner->pingPanel()->hide();
    m_owner->consolePanel()->hide();
    show();
    for (QLabel *label : {m_labelTotal, m_labelActive, m_labelInactive, m_label9})
        label->clear();
    // An armed schedule is given up: its caption goes, so it must not fire unseen.
    m_owner->schedulePanel()->selectImmediately();
    m_owner->pingPanel()->title(0)->clear();
    m_startSeconds = secondsOfDay();
    ++m_scanNumber;
    m_owner->EnterBusy();
    m_owner->setMode(u"Scan"_qs);
    m_stopRequested = false;
    m_browsable = false;
    m_userScrolled = false;
    clearGrid();
    for (QPushButton *b : m_cmdShowScan)
        b->hide();
    // Probes of an earlier scan (stopped) are still collected, but their end says
    // nothing about this scan's addresses.
    for (auto it = m_probes.cbegin(); it != m_probes.cend(); ++it)
        m_strays << it.key();
    m_probes.clear();
    if (!m_strays.isEmpty())
        m_reaper->start();
    m_tally.reset({});
    m_okTicks = 0;
    m_s3Ticks = 0;
    m_vScroll2->setRange(0, 0);
    m_vScroll2->setValue(0);
    m_timerS3->stop();
    m_timerS1->start();
    m_text2->clear();

    const auto fail = [&](const QString &why) {
        list->dialogState().manualTarget[0].clear();
        m_tally.expected = 0;
        m_timerS1->stop();
        m_owner->LeaveBusy();
        MsgBox(why + u" ()"_qs, BoxIcon::Exclamation);
    };
    if (m_probePath.isEmpty() || !m_channel->isOpen()) {
        fail(u"The scan cannot start: "_qs + m_probeError);
        return;
    }

    // The targets.
    const TargetTable table = list->gatherScanTargets();
    if (const QString message = table.unresolvedMessage(); !message.isEmpty())
        MsgBox(message, BoxIcon::Information);
    if (table.targetCount() == 0) {
        m_tally.expected = 0;
        m_timerS1->stop();
        m_owner->LeaveBusy();
        return;
    }
    // A probe that cannot send would report every address "Dead": said once, here.
    const ProbeChoice probe = ChooseProbeProgram(m_probePath);
    if (probe.path.isEmpty()) {
        m_tally.expected = 0;
        m_timerS1->stop();
        m_owner->LeaveBusy();
        MsgBox(probe.problem, BoxIcon::Exclamation);
        return;
    }

    QStringList addresses;
    addresses.reserve(table.targetCount());
    for (const TargetRow &row : table.rows())
        addresses << row.address;
    m_tally.reset(addresses);
    m_text2->setText(u"Scanning ..."_qs);
    m_labelTotal->setText(QString::number(addresses.size()));

    // One probe per address, each start at least 10 ms after the one before; the
    // window keeps working (answers arrive, the grid is redrawn) in between, and that
    // work is part of the 10 ms rather than added to them.
    const QString handle = m_channel->handle();
    QElapsedTimer clock;
    clock.start();
    QString launchError;
    for (int i = 0; i < addresses.size(); ++i) {
        const qint64 launchedAtNs = clock.nsecsElapsed();
        const QString line = handle + u',' + addresses.at(i) + u',' + QString::number(i)
                             + u",,,,,"_qs + QString::number(PacingCount);
        const qint64 pid = platform::StartChild(probe.path, {line}, &launchError);
        if (pid == 0) {
            // Nothing was started for this address: the scan ends with the launched ones.
            m_tally.expected = m_tally.launched;
            m_tally.remaining = m_tally.launched - m_tally.replies;
            m_labelTotal->setText(QString::number(i));
            m_tally.results.resize(i);
            break;
        }
        m_probes.insert(pid, i);
        Q_EMIT probeLaunched(i);
        ScanProgressTick();
        const qint64 nextNs = launchedAtNs + 10'000'000;
        // The window's events run until a millisecond before the next start (a timer
        // may wake late), the rest is waited out.
        for (qint64 leftMs = (nextNs - clock.nsecsElapsed()) / 1'000'000 - 1; leftMs > 0;
             leftMs = (nextNs - clock.nsecsElapsed()) / 1'000'000 - 1) {
            QEventLoop pause;
            QTimer::singleShot(int(leftMs), Qt::PreciseTimer, &pause, &QEventLoop::quit);
            pause.exec();
        }
        if (const qint64 leftNs = nextNs - clock.nsecsElapsed(); leftNs > 0)
            QThread::usleep(quint64(leftNs / 1000));
        ++m_tally.launched;
        LetWindowCatchUp();
        if (m_stopRequested) {
            m_tally.expected = m_tally.launched;
            m_tally.remaining = m_tally.launched;
            m_labelTotal->setText(QString::number(i + 1));
            m_tally.results.resize(i + 1);
            break;
        }
    }
    m_tally.expected = m_tally.launched;
    m_elapsedSeconds = secondsOfDay() - m_startSeconds;
    if (!launchError.isEmpty())
        MsgBox(u"The probe program cannot be started: "_qs + launchError + u" ()"_qs,
               BoxIcon::Exclamation);
}

void ScanPanel::ScanMessageReceived(const QByteArray &text)
{
    if (!m_owner || m_owner->mode() != u"Scan")
        return;
    m_tally.storeAnswer(QString::fromUtf8(text));
    m_text2->setText(u"Scanning ...  "_qs + QString::number(m_tally.remaining));
}

void ScanPanel::reapProbes()
{
    m_strays.removeIf([](qint64 pid) { return platform::ChildHasExited(pid); });
    QList<int> ended;
    for (auto it = m_probes.begin(); it != m_probes.end();) {
        if (platform::ChildHasExited(it.key())) {
            ended << it.value();
            it = m_probes.erase(it);
        } else {
            ++it;
        }
    }
    if (ended.isEmpty())
        return;
    // An answer is queued before its probe ends: read what waits before deciding
    // that an ended probe never answered.
    m_channel->drain();
    for (int index : std::as_const(ended)) {
        if (m_tally.markSilent(index))
            m_text2->setText(u"Scanning ...  "_qs + QString::number(m_tally.remaining));
    }
}

void ScanPanel::scrollRange(int count)
{
    const int max = count - 1;
    // The lowest value shows rows 1 to 20 (the window ends at the value).
    m_vScroll2->setRange(std::min(max, Rows - 1), max);
}

void ScanPanel::ScanProgressTick()
{
    if (m_owner && m_owner->mode() == u"Scan")
        reapProbes();
    if (m_text2->text() == u"OK")
        ++m_okTicks;
    if (m_okTicks > 1) {
        m_timerS1->stop();
        if (m_owner)
            m_owner->LeaveBusy();
        for (QPushButton *b : m_cmdShowScan)
            b->show();
        m_browsable = true;
        if (!m_probes.isEmpty())
            m_reaper->start();
        LookUpMacAddresses();
        m_resultsAll = m_tally.results;
        Q_EMIT scanCompleted();
        return;
    }
    if (m_tally.launched > 0) {
        scrollRange(m_tally.launched);
        if (!m_userScrolled)
            m_vScroll2->setValue(m_vScroll2->maximum());
    }
    LetWindowCatchUp();
    ShowScanRows();
}

void ScanPanel::ShowScanRows()
{
    const int shown = m_tally.launched;
    if (shown <= 0)
        return;
    const int value = m_vScroll2->value();
    const int first = std::max(0, std::max(value, Rows - 1) - (Rows - 1));
    for (int r = 0; r < Rows; ++r) {
        const int index = first + r;
        if (index >= shown || index >= m_tally.results.size()) {
            for (auto *column : {&m_ssTYPE, &m_ssIP, &m_sHOST, &m_sMAC, &m_sTTL, &m_sMS})
                (*column)[size_t(r)]->clear();
            setRowColour(r, QColor());
            continue;
        }
        const ScanResultRecord &rec = m_tally.results.at(index);
        m_ssTYPE[size_t(r)]->setText(QString::number(index + 1) + u'.');
        m_ssIP[size_t(r)]->setText(rec.Address);
        m_sHOST[size_t(r)]->setText(rec.HostName);
        m_sMAC[size_t(r)]->setText(rec.MacAddress);
        m_sTTL[size_t(r)]->setText(rec.Ttl);
        if (IsInactive(rec)) {
            m_sMS[size_t(r)]->setText(u"Dead"_qs);
            setRowColour(r, DeadColour);
        } else if (rec.Ping.isEmpty()) {
            m_sMS[size_t(r)]->setText(u"Ping ..."_qs);
            setRowColour(r, WaitingColour);
        } else {
            m_sMS[size_t(r)]->setText(rec.Ping + u" ms"_qs);
            setRowColour(r, AnsweredColour);
        }
    }
    m_labelActive->setText(QString::number(m_tally.active));
    m_labelInactive->setText(QString::number(m_tally.inactive));
    m_label9->setText(u"/"_qs);
    // Once the results are in, the status box keeps the closing text.
    if (m_tally.complete() && !m_browsable)
        m_text2->setText(u"OK"_qs);
}

void ScanPanel::LookUpMacAddresses()
{
    if (!m_dos)
        m_dos = new ClassDos(this);
    const int scan = m_scanNumber;
    const QString output = m_dos->ExecuteCommand(u"arp -a"_qs);
    // Every address is looked up in the table beside the window (a large scan has many);
    // what it finds joins the results unless a new scan has begun meanwhile.
    QList<ScanResultRecord> filled = m_tally.results;
    RunBesideWindow([&] { FillMacsFromArp(filled, output); });
    if (scan != m_scanNumber)
        return;
    for (qsizetype i = 0; i < filled.size() && i < m_tally.results.size(); ++i)
        if (m_tally.results[i].MacAddress.isEmpty())
            m_tally.results[i].MacAddress = filled[i].MacAddress;
    LookUpOwnMac();
    ShowScanRows();
    // The vendors' registry is read beside the window for the MAC cells' tooltips.
    QThreadPool::globalInstance()->start([] { vendorRegistry().load({}); });
}

void ScanPanel::LookUpOwnMac()
{
    const QString own = LocalHostAddress();
    for (ScanResultRecord &r : m_tally.results) {
        if (own.isEmpty() || r.Address != own || !r.MacAddress.isEmpty())
            continue;
        const QString output = m_dos->ExecuteCommand(u"nbtstat -a "_qs + own);
        r.MacAddress = MacFromNbtstatOutput(output);
        break;
    }
    m_text2->setText(u"Scanning finished:   "_qs + QString::number(secondsOfDay() - m_startSeconds)
                     + u"  Second    "_qs);
}

void ScanPanel::requestStop()
{
    m_stopRequested = true;
    m_timerS3->start();
}

void ScanPanel::FilterScanResults(const QString &kind)
{
    if (m_resultsAll.isEmpty())
        return;
    m_browsable = false;
    const QList<ScanResultRecord> view = FilterScan(m_resultsAll, kind);
    // The counters describe the view; the answers are all in.
    m_tally.results = view;
    m_tally.launched = m_tally.expected = int(view.size());
    m_tally.replies = 0;
    m_okTicks = 0;
    clearGrid();
    if (!view.isEmpty()) {
        scrollRange(int(view.size()));
        m_vScroll2->setValue(m_vScroll2->maximum());
        ShowScanRows();
        m_browsable = true;
    } else {
        m_vScroll2->setRange(0, 0);
        m_vScroll2->setValue(0);
    }
}

void ScanPanel::GroupFromScan(const QString &kind)
{
    if (m_resultsAll.isEmpty()) {
        MsgBox(u"No IP for add."_qs);
        return;
    }
    const QString members = GroupMembersText(m_resultsAll, kind);
    if (members.isEmpty()) {
        MsgBox(u"No "_qs + kind + u" IP address to add ..."_qs, BoxIcon::Exclamation);
        return;
    }
    m_owner->ipListPanel()->dialogState().groupPrefill = members;
    m_owner->ipListPanel()->AddGroupItem();
}

void ScanPanel::ExportScanResults(const QString &extension)
{
    if (m_resultsAll.isEmpty()) {
        MsgBox(u"No ip scan data to be export."_qs, BoxIcon::Information);
        return;
    }
    const QDateTime now = QDateTime::currentDateTime();
    const QString path =
        AskSavePath(u"Save IP Scan Results"_qs, ScanExportBaseName(now), extension);
    if (path.isEmpty())
        return;
    const QStringList lines = ScanExportLines(m_resultsAll, m_labelTotal->text(),
                                              m_labelActive->text(), m_labelInactive->text(), now);
    QString error;
    if (!WriteTextLines(path, lines, &error)) {
        // The system's reason goes on a line of its own below the box's text.
        MsgBox(u"Export Fail."_qs + (error.isEmpty() ? QString() : u"\r\n"_qs + error),
               BoxIcon::Exclamation);
        return;
    }
    ShowFileSaved(u"IP Scan results has export to file: \r\n\r\n"_qs + path);
}

QString ScanPanel::MacVendor(const QString &mac, const QString &registry)
{
    if (mac.size() < 8)
        return {};
    VendorRegistry &vendors = vendorRegistry();
    vendors.load(registry);
    return vendors.vendors.value(mac.left(8).toUpper());
}

bool ScanPanel::eventFilter(QObject *watched, QEvent *event)
{
    // The wheel over the grid pages it as over the bar beside it.
    if (event->type() == QEvent::Wheel) {
        QCoreApplication::sendEvent(m_vScroll2, event);
        return true;
    }
    // The vendor is looked up only when the tooltip of a MAC cell is asked for, once
    // the registry has been read (beside the window: it is large).
    if (event->type() == QEvent::ToolTip
        && std::find(m_sMAC.begin(), m_sMAC.end(), watched) != m_sMAC.end()) {
        if (auto *cell = qobject_cast<QLabel *>(watched); cell && !cell->text().isEmpty()) {
            if (!vendorRegistry().ready) {
                QToolTip::hideText();
                QThreadPool::globalInstance()->start([] { vendorRegistry().load({}); });
                return true;
            }
            const QString vendor = MacVendor(cell->text());
            if (vendor.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), vendor, cell);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ScanPanel::wheelEvent(QWheelEvent *event)
{
    // The wheel over the rows pages them as over the bar beside them.
    if (childAt(event->position().toPoint()) == m_vScroll2) { // the bar had it already
        event->ignore();
        return;
    }
    QCoreApplication::sendEvent(m_vScroll2, event);
}

} // namespace netvane
