#include "report/summaryreport.h"

#include "ping/echoblocks.h"
#include "ping/numericvalue.h"
#include "ping/resultreload.h"
#include "ping/sessionstats.h"
#include "platform/textfile.h"

#include <QHash>

#include <cmath>
#include <limits>
#include <vector>

namespace netvane {

namespace {

// A text that becomes one line of an export holds no control characters.
QString OneLine(const QString &text)
{
    QString line = text;
    for (QChar &c : line)
        if (ContainsControlCharacter(QStringView(&c, 1)))
            c = u' ';
    return line;
}

QString StampOf(const PingReplyRecord &r) { return ReplyDateTimeText(r); }

} // namespace

void ReportGroup::close()
{
    lossText = LossRateText(lost, sent).leftJustified(8, u' ');
    const qint64 answered = sent - lost;
    if (answered < 1) {
        avgTime = -1;
        avgTtl = 0;
    } else {
        avgTime = AverageHalfUp(timeSum, answered);
        avgTtl = AverageHalfUp(ttlSum, answered);
    }
}

qint64 MinutesBetween(const PingReplyRecord &a, const PingReplyRecord &b)
{
    const qint64 days = QDate(b.year, b.month, b.day).toJulianDay()
                        - QDate(a.year, a.month, a.day).toJulianDay();
    return days * 1440 + (qint64(b.hour) - a.hour) * 60 + (qint64(b.minute) - a.minute);
}

int OpeningGroupMinutes(const PingReplyLog &log)
{
    if (log.isEmpty())
        return 1;
    const PingReplyRecord first = log.at(0), last = log.last();
    // A record the file no longer holds has no date.
    if (!QDate(first.year, first.month, first.day).isValid()
        || !QDate(last.year, last.month, last.day).isValid())
        return 1;
    const qint64 minutes = MinutesBetween(first, last) / 10;
    return minutes < 1 ? 1 : int(std::min<qint64>(minutes, std::numeric_limits<int>::max()));
}

int GroupMinutesOf(const QString &text)
{
    const double value = NumericValue(text);
    if (!(value >= 1)) // 0, a negative value or no number at all
        return 1;
    return WholeNumber(value).value_or(std::numeric_limits<int>::max());
}

namespace {

// How a test's echoes fall into groups: the host of each row (`repeat` rows a host in
// turn), and by send size the size slot of each row.
struct GroupPlan {
    ReportGrouping grouping = ReportGrouping::TimePeriod;
    qsizetype hosts = 1;
    qint64 repeat = 1;
    // Without the test's size plan (a test read back at start-up) the groups are the
    // send sizes met, in the order first sent.
    bool sizesMet = false;
    qint64 sizeCount = 1;
    // The echoes sent with one size before the next: every visit of a target sends
    // `repeat` of them.
    qint64 segment = 1;
};

// Echoes of one host, one after another in its rows, that share a key: their minute
// (by time) or their size slot (by size). They all fall in the group the first of
// them falls in, whatever came before, so a stretch is counted into its group at once.
struct EchoStretch {
    PingReplyRecord first, last;
    qint64 key = 0;
    qint64 sent = 0, lost = 0, timeSum = 0, ttlSum = 0;
    qsizetype host = 0;
};

// Cuts consecutive rows into stretches, host by host. A record added stays where it
// is until its host's next one is added, or until finish().
class StretchCutter
{
public:
    explicit StretchCutter(const GroupPlan &plan)
        : m_plan(plan), m_open(size_t(plan.hosts)), m_touchedIn(size_t(plan.hosts), 0)
    {
    }

    // The echoes added next are rows `row` on; what was cut before is let go.
    void startAt(qint64 row)
    {
        m_closed.clear();
        for (const Touch &t : m_touched)
            m_open[size_t(t.host)].stretch.sent = 0;
        m_touched.clear();
        ++m_epoch;
        m_host = qsizetype((row / m_plan.repeat) % m_plan.hosts);
        m_inTurn = row % m_plan.repeat;
        m_slot = (row / m_plan.segment) % m_plan.sizeCount;
        m_inSegment = row % m_plan.segment;
    }
    // The host of the next row.
    qsizetype nextHost() const { return m_host; }

    Q_ALWAYS_INLINE void add(const PingReplyRecord &r)
    {
        if (m_plan.grouping == ReportGrouping::TimePeriod)
            addWithKey(r, minuteOf(r));
        else
            addWithKey(r, sizeKeyOf(r));
    }
    // add() for every record of `records`, the grouping looked at once.
    void addAll(const PingReplyRecord *records, qsizetype count)
    {
        if (m_plan.grouping == ReportGrouping::TimePeriod)
            for (qsizetype i = 0; i < count; ++i)
                addWithKey(records[i], minuteOf(records[i]));
        else
            for (qsizetype i = 0; i < count; ++i)
                addWithKey(records[i], sizeKeyOf(records[i]));
    }

    // Closes the stretches still open.
    void finish()
    {
        for (const Touch &t : m_touched) {
            Open &o = m_open[size_t(t.host)];
            if (o.stretch.sent > 0)
                close(o);
        }
    }
    // The stretches closed, each host's in its order.
    const std::vector<EchoStretch> &closed() const { return m_closed; }
    void clearClosed() { m_closed.clear(); }

    // The hosts met since startAt, with the address (as the record holds it) of each
    // one's first echo.
    struct Touch {
        qsizetype host;
        quint32 address;
    };
    const std::vector<Touch> &touched() const { return m_touched; }

private:
    struct Open {
        EchoStretch stretch; // its last echo is at `last` until it is closed
        const PingReplyRecord *last = nullptr;
    };

    void close(Open &o)
    {
        o.stretch.last = *o.last;
        m_closed.push_back(o.stretch);
        o.stretch.sent = 0;
    }

    Q_ALWAYS_INLINE void addWithKey(const PingReplyRecord &r, qint64 key)
    {
        const qsizetype h = m_host;
        if (++m_inTurn == m_plan.repeat) {
            m_inTurn = 0;
            m_host = m_host + 1 == m_plan.hosts ? 0 : m_host + 1;
        }
        Open &o = m_open[size_t(h)];
        EchoStretch &s = o.stretch;
        if (s.sent > 0 && s.key != key)
            close(o);
        if (s.sent == 0) {
            if (m_touchedIn[size_t(h)] != m_epoch) {
                m_touchedIn[size_t(h)] = m_epoch;
                m_touched.push_back({h, r.address});
            }
            s.first = r;
            s.key = key;
            s.host = h;
            s.lost = s.timeSum = s.ttlSum = 0;
        }
        o.last = &r;
        ++s.sent;
        s.ttlSum += r.ttl;
        if (r.time == -1)
            ++s.lost;
        else
            s.timeSum += r.time;
    }

    // Minutes counted as MinutesBetween counts them, worked out once a minute: the
    // date and time to the minute are compared as one word with the last echo's.
    Q_ALWAYS_INLINE qint64 minuteOf(const PingReplyRecord &r)
    {
        const quint64 toMinute = quint64(r.year) << 32 | quint64(r.month) << 24 | quint64(r.day) << 16
                                 | quint64(r.hour) << 8 | r.minute;
        if (toMinute != m_toMinute) {
            m_toMinute = toMinute;
            m_minute = QDate(r.year, r.month, r.day).toJulianDay() * 1440 + qint64(r.hour) * 60 + r.minute;
        }
        return m_minute;
    }

    Q_ALWAYS_INLINE qint64 sizeKeyOf(const PingReplyRecord &r)
    {
        const qint64 key = m_plan.sizesMet ? r.size : m_slot;
        if (++m_inSegment == m_plan.segment) {
            m_inSegment = 0;
            m_slot = m_slot + 1 == m_plan.sizeCount ? 0 : m_slot + 1;
        }
        return key;
    }

    const GroupPlan m_plan;
    std::vector<Open> m_open; // by host; sent 0: none open
    std::vector<EchoStretch> m_closed;
    std::vector<quint64> m_touchedIn; // by host: the epoch it was last met in
    std::vector<Touch> m_touched;
    quint64 m_epoch = 0;
    qsizetype m_host = 0;
    qint64 m_inTurn = 0, m_slot = 0, m_inSegment = 0;
    quint64 m_toMinute = ~quint64(0);
    qint64 m_minute = 0;
};

// The stretches of one block of the result file, cut on the thread that read it.
class StretchDigest final : public EchoBlockDigest
{
public:
    explicit StretchDigest(const GroupPlan &plan) : cutter(plan) {}
    void digest(qint64 firstRow, qsizetype rows, const EchoBlock &block) override
    {
        cutter.startAt(firstRow);
        if (rows > 0)
            cutter.addAll(&block.record(0), rows);
        cutter.finish();
    }
    StretchCutter cutter;
};

// Counts stretches into the groups, in each host's order.
class GroupCounter
{
public:
    GroupCounter(const GroupPlan &plan, int groupMinutes, SummaryReport &report)
        : m_plan(plan), m_groupMinutes(groupMinutes), m_hosts(report.hosts.data()),
          m_groupStart(size_t(plan.hosts)), m_openGroup(size_t(plan.hosts), nullptr)
    {
        if (plan.grouping == ReportGrouping::SendSize) {
            m_bySize.resize(plan.hosts, QList<ReportGroup>(plan.sizesMet ? 0 : plan.sizeCount));
            m_sizeSlots.resize(plan.hosts);
        }
    }

    void count(const std::vector<EchoStretch> &stretches)
    {
        for (const EchoStretch &s : stretches)
            count(s);
    }

    // Every host's groups, each closed.
    void finish()
    {
        for (qsizetype h = 0; h < m_plan.hosts; ++h) {
            ReportHost &host = m_hosts[h];
            if (m_plan.grouping == ReportGrouping::SendSize)
                for (const ReportGroup &g : m_bySize[h])
                    if (g.sent > 0)
                        host.groups.append(g);
            for (ReportGroup &g : host.groups)
                if (g.lossText.startsWith(u'-'))
                    g.close();
        }
    }

private:
    static void add(ReportGroup &g, const EchoStretch &s)
    {
        if (g.sent == 0)
            g.first = s.first;
        g.last = s.last;
        g.sent += s.sent;
        g.lost += s.lost;
        g.timeSum += s.timeSum;
        g.ttlSum += s.ttlSum;
    }

    void count(const EchoStretch &s)
    {
        const size_t h = size_t(s.host);
        if (m_plan.grouping == ReportGrouping::TimePeriod) {
            // A group holds the minutes from the one it began at, `groupMinutes` of them.
            ReportGroup *group = m_openGroup[h];
            if (!group || s.key - m_groupStart[h] >= m_groupMinutes) {
                if (group)
                    group->close();
                QList<ReportGroup> &groups = m_hosts[s.host].groups;
                groups.append(ReportGroup());
                group = m_openGroup[h] = &groups.last();
                m_groupStart[h] = s.key;
            }
            add(*group, s);
            return;
        }
        QList<ReportGroup> &slots = m_bySize[s.host];
        qsizetype slot = qsizetype(s.key);
        if (m_plan.sizesMet) {
            slot = m_sizeSlots[s.host].value(int(s.key), slots.size());
            if (slot == slots.size()) {
                m_sizeSlots[s.host].insert(int(s.key), slot);
                slots.append(ReportGroup());
            }
        }
        ReportGroup &g = slots[slot];
        if (g.sent == 0)
            g.size = s.first.size;
        add(g, s);
    }

    const GroupPlan &m_plan;
    const int m_groupMinutes;
    ReportHost *const m_hosts;
    // By time: each host's open group and the minute it began at.
    std::vector<qint64> m_groupStart;
    std::vector<ReportGroup *> m_openGroup;
    // By send size: one open group per host and size.
    QList<QList<ReportGroup>> m_bySize;
    QList<QHash<int, qsizetype>> m_sizeSlots;
};

} // namespace

ReportResult BuildSummaryReport(const ReportSource &source, ReportGrouping grouping,
                                int groupMinutes, SummaryReport &report,
                                const ReportProgress &progress, QString *error)
{
    const PingReplyLog &log = *source.log;
    const qsizetype hostCount = source.targets.size();
    if (log.isEmpty())
        return ReportResult::NoData;
    if (log.size() < hostCount || hostCount < 1)
        return ReportResult::Incomplete;
    GroupPlan plan;
    plan.grouping = grouping;
    plan.hosts = hostCount;
    plan.repeat = std::max(1, source.repeat);
    plan.sizesMet = source.sizeCount < 1;
    plan.sizeCount = std::max(1, source.sizeCount);
    plan.segment = qint64(std::max(1, source.pingsPerSize)) * plan.repeat;

    SummaryReport built;
    built.grouping = grouping;
    built.outages = source.outages;
    built.hosts.resize(hostCount);
    for (qsizetype i = 0; i < hostCount; ++i)
        built.hosts[i].display = OneLine(source.targets[i]);
    ReportHost *const hosts = built.hosts.data();
    GroupCounter counter(plan, std::max(1, groupMinutes), built);

    // The rows of the file, a block at a time: each block is cut into stretches on
    // the thread that read it, and the stretches are counted here in row order.
    EchoCursor cursor(log, true);
    qint64 row = 0;
    cursor.digestStored([&plan] { return std::make_unique<StretchDigest>(plan); },
                        [&](const EchoBlock &block, EchoBlockDigest &digest, qsizetype rows) {
                            const StretchCutter &cutter = static_cast<StretchDigest &>(digest).cutter;
                            if (row == 0) {
                                built.testStart = block.first();
                                built.testStart.address = quint32(-1);
                            }
                            for (const StretchCutter::Touch &t : cutter.touched())
                                if (hosts[t.host].address.isEmpty())
                                    hosts[t.host].address = RecordedAddress(block.address(t.address));
                            counter.count(cutter.closed());
                            row += rows;
                            if (progress && (row & 4095) == 0)
                                progress();
                        });

    // The rows the log holds in memory, an echo at a time; each host's last two are
    // kept where the cutter can look at them (the one before closes a stretch when
    // the next one comes).
    StretchCutter tail(plan);
    tail.startAt(row);
    std::vector<PingReplyRecord> lastOf(static_cast<size_t>(2 * hostCount));
    std::vector<quint8> lastSlot(static_cast<size_t>(hostCount), 0);
    PingReplyRecord r;
    for (; cursor.next(r); ++row) {
        const qsizetype h = tail.nextHost();
        ReportHost &host = hosts[h];
        if (row == 0)
            built.testStart = r;
        if (host.address.isEmpty())
            host.address = RecordedAddress(cursor.address());
        PingReplyRecord &kept = lastOf[size_t(2 * h + (lastSlot[size_t(h)] ^= 1))];
        kept = r;
        tail.add(kept);
        if ((row & 4095) == 4095) {
            counter.count(tail.closed());
            tail.clearClosed();
            if (progress)
                progress();
        }
    }
    if (cursor.failed()) {
        if (error)
            *error = cursor.errorString();
        return ReportResult::ReadFailed;
    }
    tail.finish();
    counter.count(tail.closed());
    counter.finish();
    report = std::move(built);
    return ReportResult::Built;
}

QString LossChartBar(const QString &lossText)
{
    QString rate = lossText.trimmed();
    if (rate.endsWith(u'%'))
        rate.chop(1);
    bool ok = false;
    const double value = rate.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0 || value > 100)
        return u"-- Error --"_qs;
    const int n = int(std::floor(value + 2.5)) / 5;
    return QString(n, u'=');
}

QString AverageTimeText(qint32 avgTime)
{
    if (avgTime == 0)
        return u"<1 ms"_qs;
    if (avgTime < 0)
        return u"---"_qs;
    return QString::number(avgTime) + u" ms"_qs;
}

QString ReportFirstHeader(ReportGrouping grouping)
{
    return grouping == ReportGrouping::TimePeriod ? u"From        -        To"_qs
                                                  : u"Date Time                  Buffer"_qs;
}

qsizetype ReportRowCount(const SummaryReport &report)
{
    qsizetype rows = 0;
    for (const ReportHost &host : report.hosts)
        rows += ReportHeadingRows + host.groups.size();
    return rows;
}

QString ReportCellText(const SummaryReport &report, int column, qsizetype row)
{
    if (row < 0 || column < 0 || column > 6)
        return {};
    for (const ReportHost &host : report.hosts) {
        if (row < ReportHeadingRows)
            return row == 2 && column == 0 ? host.kind + u"  "_qs + host.display + u" :"_qs : QString();
        row -= ReportHeadingRows;
        if (row >= host.groups.size()) {
            row -= host.groups.size();
            continue;
        }
        const ReportGroup &g = host.groups[row];
        switch (column) {
        case 0:
            if (report.grouping == ReportGrouping::TimePeriod)
                return ReplyStamp(g.first) + u" - "_qs + ReplyStamp(g.last);
            return ReplyStamp(g.first) + QString(8, u' ') + QString::number(g.size);
        case 1:
            return QString::number(g.avgTtl);
        case 2:
            return QString::number(g.sent);
        case 3:
            return QString::number(g.lost);
        case 4:
            return AverageTimeText(g.avgTime);
        case 5: {
            const QString rate = g.lossText.trimmed();
            const int pad = rate.size() == 6 ? 4 : rate.size() == 7 ? 2 : 0;
            return rate + QString(pad, u' ');
        }
        default:
            return LossChartBar(g.lossText);
        }
    }
    return {};
}

ReportColumns ReportListRows(const SummaryReport &report)
{
    ReportColumns c;
    const qsizetype rows = ReportRowCount(report);
    for (int i = 0; i < 7; ++i)
        for (qsizetype r = 0; r < rows; ++r)
            c.column[i].append(ReportCellText(report, i, r));
    return c;
}

QStringList ReportTextLines(const SummaryReport &report)
{
    const bool byTime = report.grouping == ReportGrouping::TimePeriod;
    QStringList lines{u" "_qs};
    if (byTime)
        lines.append(u"Test Time                                          TTL\tSent\tLost\tAvg Time\tLoss Rate"_qs);
    else
        lines.append(u"Date Time                                        \tBuffer Size\tTTL\tSent\tLost\tAvg Time\tLoss Rate"_qs);
    lines.append(QString(byTime ? 102 : 123, u'-'));
    for (const ReportHost &host : report.hosts) {
        lines.append(QString());
        lines.append(u"IP: "_qs + host.display);
        lines.append(QString());
        for (const ReportGroup &g : host.groups) {
            const QString rate = g.lossText.trimmed();
            const QString rateField = rate.rightJustified(8) + QString(8 - std::min<qsizetype>(8, rate.size()), u' ');
            const QString tail = QString::number(g.sent) + u'\t' + QString::number(g.lost) + u'\t'
                                 + AverageTimeText(g.avgTime) + u"    \t"_qs + rateField;
            const QString span = StampOf(g.first) + u" - "_qs + StampOf(g.last);
            if (byTime)
                lines.append(span + QString(8, u' ') + QString::number(g.avgTtl) + u'\t' + tail);
            else
                lines.append(span + QString(5, u' ') + u'\t' + QString::number(g.size)
                             + QString(6, u' ') + u'\t' + QString::number(g.avgTtl) + u'\t' + tail);
        }
        lines.append(QString());
        lines.append(u" "_qs);
    }
    if (!report.outages)
        return lines;
    const OutageFinder &f = *report.outages;
    lines.append(u"Outages (from %1 lost echoes in a row)"_qs.arg(f.lostEchoes()));
    lines.append(QString(102, u'-'));
    if (f.count() == 0)
        lines.append(u"None"_qs);
    const std::vector<Outage> outages = f.outages();
    for (quint32 t = 0; t < quint32(f.targets().size()); ++t) {
        const OutageTotals totals = f.totals(t);
        if (totals.count == 0)
            continue;
        lines.append(QString());
        lines.append(u"IP: "_qs + OneLine(f.target(t)) + u"   "_qs + OutageTotalsText(totals));
        lines.append(QString());
        for (const Outage &o : outages) {
            if (o.target != t)
                continue;
            const QStringList c = OutageRowTexts(f, o);
            lines.append(c[0] + u" - "_qs + c[1].leftJustified(19) + u'\t' + c[2] + u'\t' + c[3]
                         + u" lost"_qs);
        }
    }
    lines.append(QString());
    lines.append(u" "_qs);
    return lines;
}

QStringList ReportOutageCsvLines(const SummaryReport &report)
{
    QStringList lines{u"Target,Start,End,Seconds,Echoes Lost"_qs};
    if (!report.outages)
        return lines;
    const OutageFinder &f = *report.outages;
    const auto field = [](const QString &text) {
        const QString one = OneLine(text);
        if (!one.contains(u',') && !one.contains(u'"'))
            return one;
        return u'"' + QString(one).replace(u"\""_qs, u"\"\""_qs) + u'"';
    };
    for (const Outage &o : f.outages())
        lines.append(field(f.target(o.target)) + u',' + OutageStampText(o.start) + u','
                     + (o.ongoing() ? u"ongoing"_qs : OutageStampText(o.end)) + u','
                     + QString::number(f.duration(o)) + u',' + QString::number(o.lost));
    return lines;
}

QString ReportOutageCsvPath(const QString &reportPath)
{
    const qsizetype dot = reportPath.lastIndexOf(u'.');
    const qsizetype slash = reportPath.lastIndexOf(u'/');
    const qsizetype stem = dot > slash ? dot : reportPath.size();
    return reportPath.left(stem) + u"_Outages.csv"_qs;
}

QStringList ReportCsvLines(const SummaryReport &report)
{
    const bool byTime = report.grouping == ReportGrouping::TimePeriod;
    QStringList lines{u"Ping Test Report"_qs};
    lines.append(byTime ? u"Test Time From,To,TTL,Sent,Lost,Avg Time,Loss Rate"_qs
                        : u"Test Time From,To,Buffer Size,TTL,Sent,Lost,Avg Time,Loss Rate"_qs);
    for (const ReportHost &host : report.hosts) {
        lines.append(u"IP: "_qs + host.display);
        lines.append(QString());
        for (const ReportGroup &g : host.groups) {
            QString line = StampOf(g.first) + u',' + StampOf(g.last) + u',';
            if (!byTime)
                line += u'\t' + QString::number(g.size) + u',';
            line += QString::number(g.avgTtl) + u',' + QString::number(g.sent) + u','
                    + QString::number(g.lost) + u','
                    + (g.avgTime < 0 ? QString() : QString::number(g.avgTime)) + u',' + g.lossText;
            lines.append(line);
        }
        lines.append(QString());
        lines.append(u" "_qs);
    }
    return lines;
}

QString ReportFileName(const SummaryReport &report)
{
    QString start = ReplyStamp(report.testStart).left(12);
    start.remove(u'/').remove(u':').remove(u' ');
    return u"Ping_Test_Report_"_qs + start;
}

} // namespace netvane
