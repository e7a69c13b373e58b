#include "ping/formlatencygraph.h"

#include "ping/windowplace.h"

#include "ping/pingtest.h"
#include "probe/echoprobe.h"

#include <QLabel>
#include <QScreen>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>

namespace netvane {

namespace {

constexpr int LeftMargin = 56;
constexpr int RightMargin = 10;
constexpr int TopMargin = 10;
constexpr int MarkRow = 4;         // pixels per target in the loss-mark band
constexpr double MinimumSpan = 10; // seconds shown at the closest zoom
constexpr int RedrawMs = 1000;     // a live test is redrawn at most this often

QDateTime timeOfSecond(double second)
{
    // EchoSeconds counts civil time as if it were UTC; reading it back the same way
    // gives the clock time of the echo.
    return QDateTime::fromSecsSinceEpoch(qint64(std::floor(second)), Qt::UTC);
}

// A round number of ms at or above `ms` for the top of the scale: 1, 2, 5 times a power of ten.
double niceCeiling(double ms)
{
    double step = 1;
    while (true) {
        for (const double f : {1.0, 2.0, 5.0})
            if (ms <= f * step)
                return f * step;
        step *= 10;
    }
}

QString figuresText(const LatencyStatistics &f)
{
    const double rate = f.sent() ? 100.0 * double(f.lost()) / double(f.sent()) : 0.0;
    QString text = u"sent %1, lost %2 (%3 %), jitter %4 ms, p50/p95/p99 %5 / %6 / %7"_qs
                       .arg(f.sent())
                       .arg(f.lost())
                       .arg(rate, 0, 'f', 2)
                       .arg(f.jitter(), 0, 'f', 2)
                       .arg(MillisecondsText(f.percentile(50)), MillisecondsText(f.percentile(95)),
                            MillisecondsText(f.percentile(99)));
    if (f.longestLossRun() > 0)
        text += u", longest loss run %1 at %2"_qs.arg(f.longestLossRun())
                    .arg(ReplyDateTimeText(f.longestLossStart()));
    else
        text += u", no loss"_qs;
    return text;
}

} // namespace

LatencyGraph::LatencyGraph(LatencyGraphData &data, QWidget *parent) : QWidget(parent), m_data(data)
{
    setObjectName(u"PictureGraph"_qs);
    setMouseTracking(true);
    setMinimumSize(400, 220);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor LatencyGraph::targetColor(qsizetype target)
{
    static const QColor Colors[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e),
                                    QColor(0x2c, 0xa0, 0x2c), QColor(0xd6, 0x27, 0x28),
                                    QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                                    QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f),
                                    QColor(0xbc, 0xbd, 0x22), QColor(0x17, 0xbe, 0xcf)};
    return Colors[size_t(target) % std::size(Colors)];
}

QRect LatencyGraph::plotRect() const
{
    const int band = int(qMax<qsizetype>(m_data.targets().size(), 1)) * MarkRow + 6;
    const int bottom = fontMetrics().height() + band + 4;
    return QRect(LeftMargin, TopMargin, qMax(1, width() - LeftMargin - RightMargin),
                 qMax(1, height() - TopMargin - bottom));
}

int LatencyGraph::columnOfSecond(double second) const
{
    const QRect plot = plotRect();
    return plot.left() + int(std::floor((second - m_from) / (m_to - m_from) * plot.width()));
}

int LatencyGraph::lossMarkY(qsizetype target) const
{
    return plotRect().bottom() + 4 + int(target) * MarkRow;
}

double LatencyGraph::secondAt(int x) const
{
    const QRect plot = plotRect();
    return m_from + double(x - plot.left()) / plot.width() * (m_to - m_from);
}

void LatencyGraph::showWholeTest()
{
    const LatencySummary &s = m_data.whole();
    m_from = double(s.firstSecond());
    m_to = qMax(double(s.endSecond()), m_from + 1);
    m_whole = true;
    rangeChanged();
}

void LatencyGraph::setView(double from, double to)
{
    const LatencySummary &s = m_data.whole();
    const double first = double(s.firstSecond());
    const double end = qMax(double(s.endSecond()), first + 1);
    const double span = qMax(to - from, MinimumSpan);
    if (span >= end - first) {
        showWholeTest();
        return;
    }
    from = qBound(first, from, end - span);
    m_from = from;
    m_to = from + span;
    m_whole = false;
    rangeChanged();
}

void LatencyGraph::zoomAt(int x, double factor)
{
    const double anchor = secondAt(x);
    const double fraction = (anchor - m_from) / (m_to - m_from);
    const double span = (m_to - m_from) * factor;
    setView(anchor - fraction * span, anchor - fraction * span + span);
}

void LatencyGraph::rangeChanged()
{
    m_data.setRange(m_from, m_to, plotRect().width());
    update();
    Q_EMIT viewChanged();
}

void LatencyGraph::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_data.setRange(m_from, m_to, plotRect().width());
}

void LatencyGraph::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QRect plot = plotRect();
    const qsizetype targets = m_data.targets().size();
    const LatencySummary &summary = m_data.summaryFor();
    const int columns = plot.width();
    const double span = m_to - m_from;

    // Each column merges the buckets that fall into it.
    std::vector<std::vector<LatencyBucket>> cols(
        size_t(targets), std::vector<LatencyBucket>(size_t(columns), LatencyBucket{}));
    qint32 top = 0;
    for (qsizetype k = 0; k < targets; ++k)
        for (int c = 0; c < columns; ++c) {
            const double a = m_from + span * c / columns;
            const LatencyBucket b = summary.range(k, a, a + span / columns);
            cols[size_t(k)][size_t(c)] = b;
            if (b.answered)
                top = qMax(top, b.max);
        }
    m_yMax = niceCeiling(qMax(1, top));
    const auto yOf = [&](double ms) { return plot.bottom() - int(std::lround(ms / m_yMax * plot.height())); };

    if (m_outages) {
        const QRect inside(plot.left() + 1, plot.top(), plot.width(), plot.height());
        for (const Outage &o : m_outages->begun()) {
            const double end = o.ongoing() ? double(m_outages->lastTime()) : double(o.end);
            if (end < m_from || double(o.start) > m_to)
                continue;
            const int x1 = columnOfSecond(double(o.start)), x2 = columnOfSecond(end);
            p.fillRect(QRect(x1, plot.top(), std::max(x2 - x1, 1), plot.height()).intersected(inside), OutageShade);
        }
    }

    p.setPen(QColor(0xe0, 0xe0, 0xe0));
    for (int i = 1; i <= 4; ++i)
        p.drawLine(plot.left(), yOf(m_yMax * i / 4), plot.right(), yOf(m_yMax * i / 4));
    p.setPen(Qt::black);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    const int textH = fontMetrics().height();
    for (int i = 0; i <= 4; ++i) {
        const double ms = m_yMax * i / 4;
        const QString label = i == 0 ? u"0"_qs : QString::number(ms, 'g', 4) + u" ms"_qs;
        p.drawText(QRect(0, yOf(ms) - textH / 2, LeftMargin - 4, textH), Qt::AlignRight | Qt::AlignVCenter, label);
    }
    if (summary.isEmpty()) {
        p.drawText(plot, Qt::AlignCenter, u"No echoes to show."_qs);
        return;
    }
    // Clock times under the axis, below the loss marks.
    const int labelY = lossMarkY(targets) + 2;
    const QString format = span > 86400 ? u"MM/dd hh:mm"_qs : u"hh:mm:ss"_qs;
    p.drawText(QRect(plot.left(), labelY, plot.width() / 3, textH), Qt::AlignLeft,
               timeOfSecond(m_from).toString(format));
    p.drawText(QRect(plot.left() + plot.width() / 3, labelY, plot.width() / 3, textH), Qt::AlignHCenter,
               timeOfSecond((m_from + m_to) / 2).toString(format));
    p.drawText(QRect(plot.right() - plot.width() / 3, labelY, plot.width() / 3, textH), Qt::AlignRight,
               timeOfSecond(m_to).toString(format));

    // Lines are batched per target: a live test is redrawn while it runs. Nothing is
    // drawn outside the plot, left of its axis or past its end.
    p.setClipRect(QRect(plot.left() + 1, plot.top() - 1, plot.width(), plot.height() + 2));
    std::vector<QLine> lines;
    lines.reserve(size_t(columns) * 2);
    for (qsizetype k = 0; k < targets; ++k) {
        lines.clear();
        int previous = -1; // the last column with an answer and no loss after it
        const auto &row = cols[size_t(k)];
        for (int c = 0; c < columns; ++c) {
            const LatencyBucket &b = row[size_t(c)];
            const int x = plot.left() + c;
            if (b.answered) {
                lines.emplace_back(x, yOf(b.min), x, yOf(b.max));
                if (previous >= 0 && previous < c - 1) {
                    const LatencyBucket &a = row[size_t(previous)];
                    lines.emplace_back(plot.left() + previous, yOf((a.min + a.max) / 2.0), x,
                                       yOf((b.min + b.max) / 2.0));
                }
                previous = c;
            }
            if (b.lost)
                previous = -1;
        }
        p.setPen(targetColor(k));
        p.drawLines(lines.data(), int(lines.size()));
    }
    // Lost echoes in the loss colour, one row per target under the axis; the row's
    // target colour stands left of the axis.
    p.setClipping(false);
    for (qsizetype k = 0; k < targets; ++k)
        p.fillRect(QRect(plot.left() - 10, lossMarkY(k), 6, MarkRow - 2), targetColor(k));
    p.setClipRect(QRect(plot.left() + 1, 0, plot.width(), height()));
    p.setPen(LossColor);
    for (qsizetype k = 0; k < targets; ++k) {
        lines.clear();
        const int y = lossMarkY(k);
        for (int c = 0; c < columns; ++c)
            if (cols[size_t(k)][size_t(c)].lost)
                lines.emplace_back(plot.left() + c, y, plot.left() + c, y + MarkRow - 2);
        p.drawLines(lines.data(), int(lines.size()));
    }
}

void LatencyGraph::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0 && !m_data.whole().isEmpty())
        zoomAt(int(event->position().x()), std::pow(0.8, steps));
    event->accept();
}

void LatencyGraph::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_dragX = int(event->position().x());
    m_dragFrom = m_from;
}

void LatencyGraph::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (m_dragging && !m_whole) {
        const double shift = double(m_dragX - at.x()) / plotRect().width() * (m_to - m_from);
        setView(m_dragFrom + shift, m_dragFrom + shift + (m_to - m_from));
        return;
    }
    const QRect plot = plotRect();
    const qsizetype targets = m_data.targets().size();
    if (at.x() < plot.left() || at.x() > plot.right() || m_data.whole().isEmpty()) {
        Q_EMIT hovered(QString());
        return;
    }
    // One column either side, so a thin line is easy to point at.
    const double from = secondAt(at.x() - 1);
    const double to = secondAt(at.x() + 2);
    qsizetype target = -1;
    double rtt = (plot.bottom() - at.y()) / double(plot.height()) * m_yMax;
    if (at.y() > plot.bottom()) { // the loss marks: the lost echo of that row's target
        target = qMin<qsizetype>((at.y() - plot.bottom() - 4) / MarkRow, targets - 1);
        rtt = -1;
    }
    const GraphEcho e = m_data.echoNear(from, to, target, rtt);
    if (e.target < 0) {
        Q_EMIT hovered(QString());
        return;
    }
    const QString time = e.record.answered() ? MillisecondsText(e.record.time) : u"no reply"_qs;
    Q_EMIT hovered(u"%1   %2 (%3)   %4   %5"_qs.arg(ReplyDateTimeText(e.record),
                                                   m_data.targets().value(e.target), e.address.trimmed(),
                                                   time, EchoStatusText(e.record.status)));
}

void LatencyGraph::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}

void LatencyGraph::mouseDoubleClickEvent(QMouseEvent *)
{
    m_dragging = false;
    showWholeTest();
}

FormLatencyGraph::FormLatencyGraph(PingTest &test, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_test(test),
      m_graph(new LatencyGraph(m_data, this)),
      m_legend(new QLabel(this)),
      m_echo(new QLabel(this)),
      m_redraw(new QTimer(this))
{
    setObjectName(u"FormGraph"_qs);
    m_graph->setOutages(&test.outages());
    setWindowTitle(u"Latency Graph"_qs);
    m_legend->setObjectName(u"LabelLegend"_qs);
    m_legend->setTextFormat(Qt::RichText);
    m_legend->setWordWrap(true);
    m_legend->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_echo->setObjectName(u"LabelEcho"_qs);
    m_echo->setTextFormat(Qt::PlainText);
    auto *scroll = new QScrollArea(this);
    scroll->setWidget(m_legend);
    scroll->setWidgetResizable(true);
    scroll->setMinimumHeight(110);
    scroll->setMaximumHeight(170);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_graph, 1);
    layout->addWidget(m_echo);
    layout->addWidget(scroll);
    resize(900, 600);

    m_redraw->setSingleShot(true);
    m_redraw->setInterval(RedrawMs);
    connect(m_redraw, &QTimer::timeout, this, &FormLatencyGraph::redraw);
    connect(&m_test, &PingTest::replyRecorded, this, &FormLatencyGraph::echoRecorded);
    connect(m_graph, &LatencyGraph::viewChanged, this, &FormLatencyGraph::showLegend);
    connect(m_graph, &LatencyGraph::hovered, m_echo, &QLabel::setText);
}

void FormLatencyGraph::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    const QScreen *screen = parentWidget() ? parentWidget()->screen() : this->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry() - FrameMarginsOr(geometry(), frameGeometry());
    QRect place(QPoint(), size());
    place.moveCenter(parentWidget() ? parentWidget()->geometry().center() : area.center());
    setGeometry(KeptWithin(place, area));
}

void FormLatencyGraph::keyPressEvent(QKeyEvent *event)
{
    // Escape closes the graph, as it does a dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FormLatencyGraph::refresh()
{
    QStringList names;
    for (const PingTarget &t : m_test.targets())
        names << t.name;
    m_data.attach(&m_test.log(), names, m_test.testRepeat());
    QString error;
    m_echo->setText(m_data.catchUp(&error) ? QString() : error);
    m_graph->showWholeTest();
}

void FormLatencyGraph::echoRecorded(int row)
{
    // A hidden graph costs the test nothing; it reads the log again when shown.
    if (!isVisible())
        return;
    // The first echo of a new test: its targets replace the shown ones.
    if (row == 0 || m_data.targets().size() != m_test.targets().size() || m_data.log() != &m_test.log()) {
        refresh();
        return;
    }
    QString error;
    if (!m_data.catchUp(&error))
        m_echo->setText(error);
    if (!m_redraw->isActive())
        m_redraw->start();
}

void FormLatencyGraph::redraw()
{
    if (m_graph->showsWholeTest()) {
        m_graph->showWholeTest();
    } else {
        m_graph->update();
        showLegend(); // the shown range's figures take its new echoes too
    }
}

void FormLatencyGraph::showLegend()
{
    QString html = u"<p style=\"margin:0\">Each target's line runs through its echoes; where "_qs
                   u"one column of the graph holds several echoes it is a bar from the fastest to "_qs
                   u"the slowest of them. <span style=\"color:%1\">&#9646;</span> lost echoes: "_qs
                   u"marks under the time axis, one row per target (its colour left of the row).</p>"_qs
                       .arg(LatencyGraph::LossColor.name());
    const QList<LatencyStatistics> &whole = m_data.wholeFigures();
    const bool range = !m_graph->showsWholeTest();
    for (qsizetype k = 0; k < m_data.targets().size() && k < whole.size(); ++k) {
        html += u"<p style=\"margin:0\"><span style=\"color:%1\">&#9632;</span> <b>%2</b><br>"_qs
                    .arg(LatencyGraph::targetColor(k).name(), m_data.targets().at(k).toHtmlEscaped());
        html += u"&nbsp;&nbsp;whole test: "_qs + figuresText(whole.at(k)).toHtmlEscaped();
        if (range) {
            html += u"<br>&nbsp;&nbsp;shown range: "_qs;
            html += m_data.hasRangeFigures() && k < m_data.rangeFigures().size()
                        ? figuresText(m_data.rangeFigures().at(k)).toHtmlEscaped()
                        : u"too many echoes to count; zoom in closer"_qs;
        }
        html += u"</p>"_qs;
    }
    m_legend->setText(html);
}

} // namespace netvane
