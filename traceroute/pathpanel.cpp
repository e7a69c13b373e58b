#include "traceroute/pathpanel.h"

#include "ping/exportfile.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/textfile.h"
#include "traceroute/pathexport.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace netvane {

namespace {
constexpr int StripColumn = 12;

// A hop's minutes, the newest at the right: the bar's height is the average latency
// against the hop's worst minute, its colour goes from green to red with the loss.
class PathStrip final : public QWidget
{
public:
    explicit PathStrip(QWidget *parent) : QWidget(parent) { setMinimumWidth(120); }
    void setMinutes(const std::vector<PathMinute> &minutes)
    {
        m_minutes = minutes;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const int step = 2;
        const int shown = std::min<int>(int(m_minutes.size()), width() / step);
        if (shown <= 0)
            return;
        double worst = 0;
        for (const PathMinute &m : m_minutes)
            worst = std::max(worst, m.averageMs());
        const int h = height() - 2;
        for (int i = 0; i < shown; ++i) {
            const PathMinute &m = m_minutes[m_minutes.size() - size_t(shown - i)];
            const double loss = m.lossPercent() / 100.0;
            const QColor colour = QColor::fromRgbF(float(std::min(1.0, loss * 2)),
                                                   float(std::min(1.0, 2 - loss * 2) * 0.7), 0.1f);
            const int bar = m.sent == m.lost ? h : std::max(1, int(h * (worst > 0 ? m.averageMs() / worst : 0)));
            p.fillRect(width() - (shown - i) * step, 1 + h - bar, step, bar, colour);
        }
    }

private:
    std::vector<PathMinute> m_minutes;
};
} // namespace

PathPanel::PathPanel(QWidget *parent)
    : QWidget(parent),
      m_run(new PathRun(this)),
      m_commandPath(new QPushButton(u"Path"_qs, parent)),
      m_target(new QComboBox(this)),
      m_verdict(new QLabel(this)),
      m_changes(new QLabel(this)),
      m_table(new QTableWidget(this)),
      m_timerPath(new QTimer(this))
{
    setObjectName(u"PicturePath"_qs);
    m_commandPath->setObjectName(u"CommandPath"_qs);
    m_commandPath->setToolTip(u"Measure every hop to the targets over time: where the loss starts"_qs);
    m_target->setObjectName(u"ComboPathTarget"_qs);
    m_verdict->setObjectName(u"LabelPathVerdict"_qs);
    m_changes->setObjectName(u"LabelPathChanges"_qs);
    m_table->setObjectName(u"TablePath"_qs);
    m_timerPath->setObjectName(u"TimerPath"_qs);
    m_timerPath->setInterval(250);
    m_timerPath->setSingleShot(true);

    QFont bold = m_verdict->font();
    bold.setBold(true);
    m_verdict->setFont(bold);
    m_verdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_changes->setWordWrap(true);
    QStringList titles = PathColumnTitles();
    titles << u"Over time"_qs;
    m_table->setColumnCount(int(titles.size()));
    m_table->setHorizontalHeaderLabels(titles);
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(StripColumn, QHeaderView::Stretch);

    auto *top = new QHBoxLayout;
    auto *label = new QLabel(u"&Destination:"_qs, this);
    label->setBuddy(m_target);
    top->addWidget(label);
    top->addWidget(m_target, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(m_verdict);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_changes);

    connect(m_target, &QComboBox::currentIndexChanged, this, [this] { redraw(); });
    connect(m_run, &PathRun::tracesChanged, this, [this] {
        if (!m_timerPath->isActive())
            m_timerPath->start();
    });
    connect(m_timerPath, &QTimer::timeout, this, &PathPanel::redraw);
    connect(m_run, &PathRun::outputFailed, this, [](const QString &message) {
        MsgBox(message, BoxIcon::Exclamation);
    });
    hide();
}

void PathPanel::setSiblings(const QList<QWidget *> &siblings)
{
    m_siblings = siblings;
    for (QWidget *w : siblings)
        w->installEventFilter(this);
}

bool PathPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && m_siblings.contains(static_cast<QWidget *>(watched)))
        hide();
    return QWidget::eventFilter(watched, event);
}

void PathPanel::showPanel()
{
    for (QWidget *w : std::as_const(m_siblings))
        w->hide();
    show();
    raise();
}

bool PathPanel::start(const QList<PingTarget> &targets, const PathRunSettings &settings, bool resolveNames,
                      const QString &dataFolder)
{
    QString error;
    if (!m_run->start(targets, settings, resolveNames, dataFolder, &error)) {
        MsgBox(error + u"    StartPath"_qs, BoxIcon::Exclamation);
        return false;
    }
    fillChooser();
    showPanel();
    redraw();
    return true;
}

void PathPanel::stop()
{
    m_run->stop();
    redraw();
}

void PathPanel::reload(const QString &dataFolder)
{
    // A run of days has a long log: it is read beside the window, which goes on.
    const QString path = QDir(dataFolder).filePath(PathLogName);
    PathLogContent content;
    bool read = false;
    m_verdict->setText(u"Reading the previous path run ..."_qs);
    RunBesideWindow([&] { read = ReadPathLog(path, &content); });
    if (read && !m_run->isActive()) {
        m_run->restore(std::move(content), path);
        fillChooser();
    }
    redraw();
}

namespace {
// A chooser entry: the target, then its verdict, so that the targets with loss are
// found without opening each one.
QString chooserText(const PathTrace &t)
{
    const QString target = t.label == t.address ? t.address : u"%1  (%2)"_qs.arg(t.label, t.address);
    return target + u"   :   "_qs + t.verdict();
}
} // namespace

void PathPanel::fillChooser()
{
    const QSignalBlocker quiet(m_target);
    m_target->clear();
    for (const PathTrace &t : m_run->traces())
        m_target->addItem(chooserText(t));
    m_target->setCurrentIndex(m_run->traces().isEmpty() ? -1 : 0);
}

void PathPanel::showTarget(int index)
{
    m_target->setCurrentIndex(index);
    redraw();
}

void PathPanel::redraw()
{
    m_timerPath->stop();
    const int index = m_target->currentIndex();
    const QList<PathTrace> &traces = m_run->traces();
    for (int i = 0; i < traces.size() && i < m_target->count(); ++i)
        if (const QString text = chooserText(traces[i]); m_target->itemText(i) != text)
            m_target->setItemText(i, text);
    if (index < 0 || index >= traces.size()) {
        m_verdict->setText(traces.isEmpty() ? u"No path run yet"_qs : QString());
        m_table->setRowCount(0);
        m_changes->clear();
        return;
    }
    const PathTrace &trace = traces[index];
    QString verdict = trace.verdict();
    if (m_run->isReloaded())
        verdict = u"Previous path run:  "_qs + verdict;
    m_verdict->setText(verdict);
    const int origin = trace.lossOrigin();
    const int rows = int(trace.hops().size());
    if (m_table->rowCount() != rows)
        m_table->setRowCount(rows);
    const QBrush highlight(QColor(255, 214, 214));
    for (int r = 0; r < rows; ++r) {
        const QStringList texts = PathRowTexts(trace, r);
        for (int c = 0; c < texts.size(); ++c) {
            QTableWidgetItem *item = m_table->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(c == 1 || c == 2 ? Qt::AlignLeft | Qt::AlignVCenter
                                                        : Qt::AlignRight | Qt::AlignVCenter);
                m_table->setItem(r, c, item);
            }
            if (item->text() != texts[c])
                item->setText(texts[c]);
            // The hop where the loss begins, and those after it to the target.
            item->setBackground(origin >= 0 && r >= origin ? highlight : QBrush());
        }
        auto *strip = static_cast<PathStrip *>(m_table->cellWidget(r, StripColumn));
        if (!strip) {
            strip = new PathStrip(m_table);
            m_table->setCellWidget(r, StripColumn, strip);
        }
        strip->setMinutes(trace.hops()[r].stats.strip());
    }
    QStringList changes;
    const QList<PathRouteChange> &all = trace.routeChanges();
    for (qsizetype i = std::max<qsizetype>(0, all.size() - 3); i < all.size(); ++i) {
        const PathRouteChange &c = all[i];
        changes << u"Route changed at hop %1 at %2: %3 -> %4"_qs.arg(c.hop).arg(
            QDateTime::fromMSecsSinceEpoch(c.whenMs).toString(u"MM/dd HH:mm:ss"_qs), c.before, c.after);
    }
    m_changes->setText(changes.join(u'\n'));
}

void PathPanel::exportRun(const QString &extension)
{
    const auto focus = [this] {
        if (m_focusReturn)
            m_focusReturn();
    };
    if (m_run->traces().isEmpty()) {
        MsgBox(u"No path statistics to be export."_qs, BoxIcon::Information);
        return;
    }
    const QString path = AskSavePath(u"Path statistics will be export to this File"_qs,
                                     PathExportFileName(m_run->settings()), extension);
    if (path.isEmpty())
        return;
    QString error;
    const bool written = extension == u"json"
        ? ReplaceFile(path, PathExportJson(m_run->traces(), m_run->settings()), &error)
        : WriteTextLines(path, PathExportLines(m_run->traces(), m_run->settings(), extension), &error);
    if (!written) {
        MsgBox(error + u"    exp Path"_qs);
        focus();
        return;
    }
    ShowFileSaved(u"Path statistics has export to file: \r\n\r\n"_qs + path);
    focus();
}

} // namespace netvane
