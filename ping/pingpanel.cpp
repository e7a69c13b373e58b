#include "ping/pingpanel.h"

#include "ping/elidedlabel.h"

#include "probe/echoprobe.h"

#include <QGridLayout>
#include <QPalette>
#include <QCoreApplication>
#include <QLabel>
#include <QWheelEvent>
#include <QPushButton>
#include <QScrollBar>

namespace netvane {

namespace {

const char *const StatisticsCaptions[LogRows] = {
    "Sent:", "Received:", "Lost:", "Loss Rate:", "", "Min Time:", "Max Time:", "Avg Time:",
    "Avg TTL:", "", "Report:", "", "", "", "", "", "", "", "", ""};

QLabel *makeLabel(QWidget *parent, const QString &name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

PingPanel::PingPanel(QWidget *parent)
    : QFrame(parent), m_scroll(new QScrollBar(Qt::Vertical, this)), m_report(new QPushButton(this)),
      m_graph(new QPushButton(this)), m_outages(new QPushButton(this))
{
    setObjectName(u"Picture2"_qs);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);

    auto *grid = new QGridLayout(this);
    m_grid = grid;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(0);
    // The status lines are cut to the panel's width, never widen it (the fourth holds
    // a short caption of its own).
    for (int i = 0; i < 4; ++i) {
        m_title[size_t(i)] = i < 3 ? new ElidedLabel(this) : makeLabel(this, QString());
        m_title[size_t(i)]->setObjectName(u"LabelTittle_%1"_qs.arg(i));
    }
    grid->addWidget(m_title[1], 0, 0);
    grid->addWidget(m_title[0], 0, 1, 1, 2);
    grid->addWidget(m_title[2], 0, 3, 1, 2);
    grid->addWidget(m_title[3], 0, 5);
    m_title[2]->hide();
    m_title[3]->hide();

    for (int i = 0; i < LogRows; ++i) {
        const auto at = size_t(i);
        m_type[at] = makeLabel(this, u"sTYPE_%1"_qs.arg(i));
        m_type[at]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_left[at] = makeLabel(this, u"sIP_%1"_qs.arg(i));
        m_right[at] = makeLabel(this, u"sIP2_%1"_qs.arg(i));
        // A row's texts never widen the panel (nor the window): the columns have the
        // widths set below, and a longer text is cut at the panel's edge.
        for (QLabel *row : {m_left[at], m_right[at]}) {
            QSizePolicy policy = row->sizePolicy();
            policy.setHorizontalPolicy(QSizePolicy::Ignored);
            row->setSizePolicy(policy);
        }
        m_caption[at] = makeLabel(this, u"sIP3_%1"_qs.arg(i));
        m_caption[at]->setText(QString::fromLatin1(StatisticsCaptions[i]));
        m_value[at] = makeLabel(this, u"sIP4_%1"_qs.arg(i));
        grid->addWidget(m_type[at], i + 1, 0);
        grid->addWidget(m_left[at], i + 1, 1);
        grid->addWidget(m_right[at], i + 1, 2);
        grid->addWidget(m_caption[at], i + 1, 3);
        grid->addWidget(m_value[at], i + 1, 4);
    }
    // Each column is as wide as its widest text from the start, so the window's
    // minimum size holds any test whole and nothing moves when the rows fill.
    QLabel *probe = makeLabel(this, QString());
    const auto widest = [probe](const QStringList &texts) {
        int width = 0;
        for (const QString &t : texts) {
            probe->setText(t);
            width = qMax(width, probe->sizeHint().width());
        }
        return width;
    };
    QStringList tails{u"bytes=65500  time=99999ms  TTL=255  ok"_qs};
    QList<qint32> statuses{-1, 500, 11050, 11255, 99999}; // 99999: any unknown status
    for (qint32 status = 11001; status <= 11023; ++status)
        statuses << status;
    for (qint32 status : std::as_const(statuses))
        tails << u"bytes=65500  "_qs + EchoStatusText(status);
    m_type[0]->setMinimumWidth(widest({u"000000000."_qs}));
    // "mm/dd hh:mm:ss   Reply from 255.255.255.255" (4000 twips designed).
    // (On the columns: the rows' own texts do not count, see above.)
    grid->setColumnMinimumWidth(1, widest({u"00/00 00:00:00   Reply from 255.255.255.255 "_qs}));
    grid->setColumnMinimumWidth(2, widest(tails));
    m_value[0]->setMinimumWidth(widest({u"100.00 %  "_qs, u"2147483647"_qs, u"99999 ms"_qs}));
    delete probe;

    m_report->setObjectName(u"PingReport"_qs);
    m_report->setText(u"Open"_qs);
    m_report->setToolTip(u"Open the summary report of this test"_qs);
    m_report->hide();
    // Over two empty rows of the statistics column, so the log rows beside it keep
    // one height.
    grid->addWidget(m_report, 11, 4, 2, 1);
    m_graph->setObjectName(u"PingGraph"_qs);
    m_graph->setText(u"Graph"_qs);
    m_graph->setToolTip(u"Show the round-trip times of this test over time"_qs);
    m_graph->hide(); // until there is an echo to draw
    grid->addWidget(m_graph, 13, 4, 2, 1);
    m_outages->setObjectName(u"PingOutages"_qs);
    m_outages->setText(u"Outages"_qs);
    m_outages->setToolTip(u"List the outages of this test: when each target stopped answering, and for how long"_qs);
    m_outages->hide();
    grid->addWidget(m_outages, 15, 4, 2, 1);
    m_graph->installEventFilter(this); // the outages' button follows the graph's
    // The buttons lie over empty value labels of the statistics column, made after
    // them: on top, so that a pointer's press reaches them.
    m_report->raise();
    m_graph->raise();
    m_outages->raise();
    // The statistics captions and the buttons keep their room while hidden.
    std::vector<QWidget *> keepRoom(m_caption.begin(), m_caption.end());
    keepRoom.push_back(m_report);
    keepRoom.push_back(m_graph);
    keepRoom.push_back(m_outages);
    for (QWidget *w : keepRoom) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }

    m_scroll->setObjectName(u"VScroll1"_qs);
    m_scroll->setRange(0, 0);
    m_scroll->setPageStep(LogRows);
    grid->addWidget(m_scroll, 1, 5, LogRows, 1);
    // The log keeps its two texts together; spare width goes between log and statistics.
    grid->setColumnStretch(2, 1);

    connect(m_scroll, &QScrollBar::valueChanged, this, &PingPanel::scrollChanged);
    connect(m_scroll, &QScrollBar::sliderPressed, this, [this] { m_dragging = true; });
    connect(m_scroll, &QScrollBar::sliderReleased, this, [this] { m_dragging = false; });

    // The wheel over the rows pages the log as over the bar.
    for (QLabel *label : findChildren<QLabel *>())
        label->installEventFilter(this);

    showStatisticsCaptions(false);
    setRunningLook(false);
}

bool PingPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_graph && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        m_outages->setVisible(event->type() == QEvent::ShowToParent);
    if (event->type() == QEvent::Wheel && qobject_cast<QLabel *>(watched)) {
        QCoreApplication::sendEvent(m_scroll, event);
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void PingPanel::setRunningLook(bool running)
{
    // Black with light text during a test, grey (0x808080) at rest. A palette, not a
    // style sheet: the rows repaint after every echo, up to a thousand times a second.
    QPalette look = palette();
    look.setColor(QPalette::Window, running ? QColor(Qt::black) : QColor(0x80, 0x80, 0x80));
    look.setColor(QPalette::WindowText, running ? QColor(0x7c, 0xfc, 0x00) : QColor(Qt::white));
    setPalette(look);
}

void PingPanel::setWideAddresses(int widestAddress)
{
    if (widestAddress > MaxRecordedAddress) { // IPv6: digits are the widest of its characters
        const QString address(qMax(39, qMin(widestAddress, MaxRecordedIpv6Address)), u'0');
        m_grid->setColumnMinimumWidth(
            1, fontMetrics().horizontalAdvance(u"00/00 00:00:00   Reply from "_qs + address + u' '));
        return;
    }
    const int extra = widestAddress > 13 ? fontMetrics().horizontalAdvance(u"0000"_qs) : 0;
    m_grid->setColumnMinimumWidth(
        1, fontMetrics().horizontalAdvance(u"00/00 00:00:00   Reply from 255.255.255.255 "_qs) + extra);
}

void PingPanel::clearRows()
{
    for (int i = 0; i < LogRows; ++i) {
        m_type[size_t(i)]->clear();
        m_left[size_t(i)]->clear();
        m_right[size_t(i)]->clear();
    }
}

void PingPanel::clearStatistics()
{
    for (QLabel *v : m_value)
        v->clear();
}

void PingPanel::showStatisticsCaptions(bool shown)
{
    for (QLabel *c : m_caption)
        c->setVisible(shown);
}

void PingPanel::ShowReplyRow(int row, const ReplyRowTexts &texts)
{
    const int r = row % LogRows;
    if (r == 0)
        clearRows();
    m_type[size_t(r)]->setText(QString::number(row + 1) + u'.');
    m_left[size_t(r)]->setText(texts.left);
    m_right[size_t(r)]->setText(texts.right);
}

void PingPanel::setRowTexts(int r, const QString &type, const QString &left, const QString &right)
{
    if (r < 0 || r >= LogRows)
        return;
    m_type[size_t(r)]->setText(type);
    m_left[size_t(r)]->setText(left);
    m_right[size_t(r)]->setText(right);
}

void PingPanel::setLineRows(bool lines)
{
    for (int i = 0; i < LogRows; ++i) {
        m_grid->addWidget(m_left[size_t(i)], i + 1, 1, 1, lines ? 2 : 1);
        m_right[size_t(i)]->setVisible(!lines);
    }
}

void PingPanel::ShowStatistics(const std::array<QString, 9> &values)
{
    for (size_t i = 0; i < values.size(); ++i)
        m_value[i]->setText(values[i]);
}

void PingPanel::FollowNewestRow(int n)
{
    const LogScroll s = netvane::FollowNewestRow(n, m_scroll->value());
    m_top = s.top;
    m_ignoreScroll = true;
    if (m_scroll->maximum() != s.maximum)
        m_scroll->setMaximum(s.maximum);
    m_scroll->setValue(s.value);
    m_previousValue = m_scroll->value();
    m_ignoreScroll = false;
}

bool PingPanel::showRow(int row)
{
    if (!m_pagingLog || m_pagingLog->isEmpty())
        return false;
    const int n = int(m_pagingLog->size()) - 1;
    const int top = std::clamp(row, 0, std::max(n - LogRows + 1, 0));
    m_top = top;
    m_ignoreScroll = true;
    m_scroll->setValue(ScrollValueForTop(top, n, m_scroll->value()));
    m_previousValue = m_scroll->value();
    m_ignoreScroll = false;
    if (showPage(*m_pagingLog, top))
        return true;
    clearRows();
    Q_EMIT logChanged();
    return false;
}

bool PingPanel::showPage(const PingReplyLog &log, int top)
{
    clearRows();
    return log.readRows(top, LogRows, [&](qsizetype row, const PingReplyRecord &r,
                                          const QString &address) {
        const ReplyRowTexts texts = FormatReplyRow(r, address);
        const auto i = size_t(row - top);
        m_type[i]->setText(QString::number(row + 1) + u'.');
        m_left[i]->setText(texts.left);
        m_right[i]->setText(texts.right);
        return true;
    });
}

void PingPanel::scrollChanged(int value)
{
    if (m_ignoreScroll)
        return;
    if (!m_pagingLog || m_pagingLog->size() <= LogRows) {
        m_previousValue = value;
        return;
    }
    const int n = int(m_pagingLog->size()) - 1;
    const LogScroll s = ScrollMoved(n, m_top, m_previousValue, value, m_scroll->maximum(),
                                    m_dragging || m_scroll->isSliderDown());
    m_top = s.top;
    m_ignoreScroll = true;
    m_scroll->setValue(s.value);
    m_ignoreScroll = false;
    m_previousValue = m_scroll->value();
    if (!showPage(*m_pagingLog, m_top)) {
        clearRows();
        Q_EMIT logChanged();
    }
}

void PingPanel::wheelEvent(QWheelEvent *event)
{
    // The wheel over the rows pages them as over the bar beside them.
    if (childAt(event->position().toPoint()) == m_scroll) { // the bar had it already
        event->ignore();
        return;
    }
    QCoreApplication::sendEvent(m_scroll, event);
}

} // namespace netvane
