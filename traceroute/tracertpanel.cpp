#include "traceroute/tracertpanel.h"

#include "ping/exportfile.h"
#include "ping/numericvalue.h"
#include "ping/pingpanel.h"
#include "ping/pingsettings.h"
#include "platform/dialogs.h"
#include "platform/textfile.h"
#include "probe/netlookup.h"
#include "iplist/iplistitem.h"
#include "traceroute/tracerun.h"
#include "traceroute/tracertoptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

namespace netvane {

namespace {

QComboBox *optionCombo(const QString &name, const QStringList &items, int selected, QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setCurrentIndex(selected);
    return combo;
}

// The number in the last 10 characters of a jump label or a drop-down entry.
int trailingIndex(const QString &text)
{
    bool ok = false;
    const int n = text.right(10).trimmed().toInt(&ok);
    return ok ? n : -1;
}

} // namespace

TracertPanel::TracertPanel(PingPanel *pingPanel, QWidget *parent)
    : QObject(parent), m_pingPanel(pingPanel), m_parent(parent),
      m_frame(new QGroupBox(u"Traceroute Settings"_qs, parent)),
      m_checkIPtoName(new QCheckBox(m_frame)), m_commandTracert(new QPushButton(u"Tracert"_qs, parent)),
      m_traceIP(new QListWidget(parent)), m_run(new TraceRun(this)), m_maxHops(DefaultMaxHops)
{
    setObjectName(u"TracertPanel"_qs);
    m_frame->setObjectName(u"Frame1_2"_qs);
    QStringList hops;
    for (int i = 1; i <= 99; ++i)
        hops << QString::number(i);
    m_comboTracert[1] = optionCombo(u"ComboTracert_1"_qs, hops, 29, m_frame);
    m_comboTracert[1]->setToolTip(u"Maximum number of hops to search for target."_qs);
    m_comboTracert[2] = optionCombo(u"ComboTracert_2"_qs, {}, -1, m_frame);
    m_comboTracert[2]->setToolTip(u"Loose source route along host-list"_qs);
    m_comboTracert[2]->setMinimumContentsLength(24);
    m_comboTracert[3] = optionCombo(u"ComboTracert_3"_qs, TimeOutItems(), TimeOutStartItem, m_frame);
    m_checkIPtoName->setObjectName(u"CheckIPtoName"_qs);
    m_checkIPtoName->setChecked(true);

    auto *grid = new QGridLayout(m_frame);
    const QString captions[4] = {{}, u"Maximum Number of Hops:"_qs, u"Host List:"_qs, u"Time Out:"_qs};
    for (int i = 1; i <= 3; ++i) {
        auto *label = new QLabel(captions[i], m_frame);
        label->setBuddy(m_comboTracert[size_t(i)]);
        grid->addWidget(label, i - 1, 0);
        grid->addWidget(m_comboTracert[size_t(i)], i - 1, 1);
    }
    grid->addWidget(new QLabel(u"Resolve Addresses to Host Names:"_qs, m_frame), 3, 0);
    grid->addWidget(m_checkIPtoName, 3, 1);

    m_commandTracert->setObjectName(u"CommandTracert"_qs);
    m_commandTracert->setToolTip(u"Run Tracert"_qs);
    const QString jumpCaptions[2] = {u"Running"_qs, u"Completed"_qs};
    const QString jumpTips[2] = {u"Jump to a host still being traced"_qs,
                                 u"Jump to a host whose trace has completed"_qs};
    for (int i = 0; i < 2; ++i) {
        auto *b = new QPushButton(jumpCaptions[i], parent);
        b->setObjectName(u"CmdJumpTo_%1"_qs.arg(i));
        b->setToolTip(jumpTips[i]);
        b->hide();
        connect(b, &QPushButton::clicked, this, [this, i] { CmdJumpTo_Click(i); });
        m_cmdJumpTo[size_t(i)] = b;
    }

    m_traceIP->setObjectName(u"TraceIP"_qs);
    m_traceIP->setMouseTracking(true);
    // A label ends in 80 blanks and the host index: only the label is meant to show.
    m_traceIP->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_traceIP->setTextElideMode(Qt::ElideNone); // the blanks are cut, not the label
    m_traceIP->resize(320, 300);
    m_traceIP->hide();
    connect(m_traceIP, &QListWidget::itemEntered, this, [this](QListWidgetItem *item) {
        m_traceIP->setCurrentItem(item);
        m_traceIP->setFocus();
        m_traceIP->setToolTip(item->text().left(80).trimmed());
    });
    connect(m_traceIP, &QListWidget::itemPressed, this, [this](QListWidgetItem *item) {
        jumpToHost(trailingIndex(item->text()));
    });

    connect(m_comboTracert[2], &QComboBox::activated, this, [this] { ComboTracert_Click(2); });
    connect(m_run, &TraceRun::linesChanged, this, &TracertPanel::redraw);
    connect(m_run, &TraceRun::captionChanged, this, &TracertPanel::showCaption);
    // A long reload counts down the hosts still to read beside its caption.
    connect(m_run, &TraceRun::reloadProgressed, this, [this](int hostsLeft) {
        if (!m_showing)
            return;
        m_pingPanel->title(2)->setText(QString::number(hostsLeft));
        m_pingPanel->title(2)->show();
    });
    connect(m_run, &TraceRun::reloaded, this, [this] { m_pingPanel->title(2)->hide(); });
    // Told after the poll that found it, never in the middle of one.
    connect(m_run, &TraceRun::outputFailed, this,
            [](const QString &message) { MsgBox(message, BoxIcon::Exclamation); },
            Qt::QueuedConnection);
    connect(m_pingPanel->scrollBar(), &QScrollBar::valueChanged, this, &TracertPanel::scrolled);
    m_pingPanel->installEventFilter(this);
}

bool TracertPanel::resolvesNames() const
{
    return m_checkIPtoName->isChecked();
}

bool TracertPanel::BuildTracertOptions()
{
    const TracertOptions o = netvane::BuildTracertOptions(
        m_comboTracert[1]->currentText(), m_comboTracert[2]->currentText(),
        m_comboTracert[3]->currentText(), m_checkIPtoName->isChecked(), m_maxHops);
    if (!o.ok) {
        m_options.clear();
        MsgBox(o.message, BoxIcon::Critical);
        return false;
    }
    m_options = o.arguments;
    // A host name is traced on the family chosen beside the ping settings (an address
    // on its own family): nothing more for IPv4 only, as before.
    if (CurrentAddressFamily() == AddressFamily::IPv6Only)
        m_options.prepend(u"-6"_qs);
    else if (CurrentAddressFamily() == AddressFamily::Automatic)
        m_options.prepend(u"-a"_qs);
    m_maxHops = o.maxHops;
    return true;
}

void TracertPanel::setHostListChoices(const QStringList &entries, std::function<QString(int)> itemAt)
{
    m_itemAt = std::move(itemAt);
    const QString text = m_comboTracert[2]->currentText();
    m_comboTracert[2]->clear();
    m_comboTracert[2]->addItems(entries);
    m_comboTracert[2]->setEditText(text);
}

void TracertPanel::ComboTracert_Click(int index)
{
    if (index != 2 || !m_itemAt)
        return;
    QComboBox *combo = m_comboTracert[2];
    const int item = trailingIndex(combo->itemText(combo->currentIndex()));
    const QString route = item >= 0 ? TraceTargetOfItem(m_itemAt(item)) : QString();
    // A range is no route: the box keeps what it held.
    if (!route.isEmpty())
        combo->setEditText(route);
}

void TracertPanel::start(const QList<PingTarget> &hosts, const QString &dataFolder)
{
    m_showing = true;
    m_pingPanel->setLineRows(true); // a trace's lines take the rows' whole width
    m_firstHost = 0;
    m_lineOffset = 0;
    m_traceIP->hide();
    m_pingPanel->setRunningLook(true);
    m_pingPanel->clearRows();
    m_pingPanel->clearStatistics();
    m_pingPanel->showStatisticsCaptions(false);
    m_pingPanel->title(1)->clear();
    m_ignoreScroll = true;
    m_pingPanel->scrollBar()->setRange(0, 0);
    m_ignoreScroll = false;
    m_run->start(hosts, m_options, m_maxHops, dataFolder);
    m_firstHost = 0;
    m_lineOffset = 0;
    redraw();
    const bool several = hosts.size() > 1;
    QLabel *jump = m_pingPanel->title(3);
    jump->setText(u"Jump to Host:"_qs);
    jump->setVisible(several);
    jump->raise();
    for (QPushButton *b : m_cmdJumpTo)
        b->setVisible(several);
}

void TracertPanel::stop()
{
    m_run->stop();
}

void TracertPanel::reload(const QString &prefix, const QString &hostCount, const QString &hops)
{
    const int count = WholeNumberOf(hostCount).value_or(0);
    if (prefix.trimmed().isEmpty() || count <= 0)
        return;
    m_showing = true;
    m_pingPanel->setLineRows(true); // a trace's lines take the rows' whole width
    m_firstHost = 0;
    m_lineOffset = 0;
    m_pingPanel->title(0)->setText(u"Loading previous test results, please wait ....."_qs);
    m_pingPanel->clearRows();
    m_pingPanel->showStatisticsCaptions(false);
    const int maxHops = WholeNumberOf(hops).value_or(DefaultMaxHops);
    m_run->reload(prefix.trimmed(), count, maxHops);
}

void TracertPanel::leaveDisplay()
{
    m_showing = false;
    m_pingPanel->setLineRows(false);
    hideJumpControls();
}

void TracertPanel::hideJumpControls()
{
    m_traceIP->hide();
    for (QPushButton *b : m_cmdJumpTo)
        b->hide();
    m_pingPanel->title(3)->hide();
}

void TracertPanel::showCaption(const QString &caption)
{
    if (m_showing)
        m_pingPanel->title(0)->setText(caption);
}

void TracertPanel::redraw()
{
    if (!m_showing)
        return;
    const QStringList rows = m_run->rows(m_firstHost, m_lineOffset, LogRows);
    for (int r = 0; r < LogRows; ++r)
        m_pingPanel->setRowTexts(r, {}, rows.value(r), {});
    // The hosts on show are re-read while they run: those the rows reach, and two more.
    int lastHost = 0;
    int line = 0;
    m_run->rowPosition(m_run->firstRowOf(m_firstHost) + m_lineOffset + LogRows - 1, &lastHost, &line);
    m_run->setShownHosts(m_firstHost, lastHost + 2);

    QScrollBar *bar = m_pingPanel->scrollBar();
    m_ignoreScroll = true;
    // The value is the first row shown: at the maximum the last page is full.
    bar->setRange(0, qMax(m_run->totalRows() - LogRows, 0));
    bar->setValue(m_run->firstRowOf(m_firstHost) + m_lineOffset);
    m_ignoreScroll = false;
}

void TracertPanel::scrolled(int value)
{
    if (m_ignoreScroll || !m_showing)
        return;
    m_run->rowPosition(value, &m_firstHost, &m_lineOffset);
    redraw();
}

void TracertPanel::CmdJumpTo_Click(int index)
{
    m_traceIP->clear();
    int widest = 0;
    for (const TraceHost &h : m_run->hosts()) {
        if (!h.launched)
            continue;
        if ((index == 0 && !h.completed) || (index == 1 && h.completed)) {
            m_traceIP->addItem(h.jumpLabel);
            widest = qMax(widest, m_traceIP->fontMetrics().horizontalAdvance(
                                      h.jumpLabel.left(h.jumpLabel.size() - 10).trimmed()));
        }
    }
    if (m_traceIP->count() == 0) {
        m_traceIP->hide();
        MsgBox(index == 0 ? u"No host is being traced now."_qs : u"No trace has completed yet."_qs,
               BoxIcon::Information);
        return;
    }
    // Under its button, as wide as its longest label, within the window.
    QWidget *button = m_cmdJumpTo[size_t(index)];
    QWidget *host = m_traceIP->parentWidget();
    const int frame = 2 * m_traceIP->frameWidth();
    const int width = qMin(widest + frame + m_traceIP->verticalScrollBar()->sizeHint().width() + 12,
                           host->width());
    const int rows = qMin(m_traceIP->count(), 16);
    const int height = rows * m_traceIP->sizeHintForRow(0) + frame + 2;
    QPoint at = button->mapTo(host, QPoint(0, button->height()));
    at.setX(qBound(0, at.x(), qMax(0, host->width() - width)));
    m_traceIP->setGeometry(at.x(), at.y(), width, height);
    m_traceIP->show();
    m_traceIP->raise();
}

void TracertPanel::jumpToHost(int host)
{
    m_traceIP->hide();
    if (host < 0 || host >= m_run->hosts().size())
        return;
    m_firstHost = host;
    m_lineOffset = 0;
    redraw();
}

bool TracertPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pingPanel && event->type() == QEvent::MouseButtonPress)
        m_traceIP->hide();
    return QObject::eventFilter(watched, event);
}

void TracertPanel::exportLog(const QString &extension)
{
    const auto focus = [this] {
        if (m_focusReturn)
            m_focusReturn();
    };
    if (!m_run->isFinished() || m_run->isActive()) {
        MsgBox(u"No data to be export or Traceroute task is running."_qs, BoxIcon::Information);
        return;
    }
    const QList<TraceHost> &hosts = m_run->hosts();
    const QString path = AskSavePath(u"Traceroute result will be export to this File"_qs,
                                     TraceExportFileName(hosts.isEmpty() ? QString()
                                                                         : hosts.first().startTime),
                                     extension);
    if (path.isEmpty())
        return;
    QList<TraceHostLines> lines;
    for (const TraceHost &h : hosts)
        lines << h.lines;
    QString error;
    if (!WriteTextLines(path, TraceExportLines(lines), &error)) {
        MsgBox(error + u"    exp Traceroute to txt"_qs);
        focus();
        return;
    }
    ShowFileSaved(u"Traceroute result has export to file: \r\n\r\n"_qs + path);
    focus();
}

} // namespace netvane
