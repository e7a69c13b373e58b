#include "report/summaryreport.h"

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

void Count(ReportGroup &g, const PingReplyRecord &r)
{
    if (g.sent == 0)
        g.first = r;
    g.last = r;
    ++g.sent;
    g.ttlSum += r.ttl;
    if (r.time == -1)
        ++g.lost;
    else
        g.timeSum += r.time;
}

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
    const qint64 repeat = std::max(1, source.repeat);
    // Without the test's size plan (a test read back at start-up) the groups are the
    // send sizes met, in the order first sent.
    const bool sizesMet = source.sizeCount < 1;
    const qint64 sizeCount = std::max(1, source.sizeCount);
    // The echoes sent with one size before the next: every visit of a target sends
    // `repeat` of them.
    const qint64 segment = qint64(std::max(1, source.pingsPerSize)) * repeat;
    groupMinutes = std::max(1, groupMinutes);

    SummaryReport built;
    built.grouping = grouping;
    built.outages = source.outages;
    built.hosts.resize(hostCount);
    for (qsizetype i = 0; i < hostCount; ++i)
        built.hosts[i].display = OneLine(source.targets[i]);
    // By send size: one open group per host and size; by time: the last group of a host.
    QList<QList<ReportGroup>> bySize;
    QList<QHash<int, qsizetype>> sizeSlots;
    if (grouping == ReportGrouping::SendSize) {
        bySize.resize(hostCount, QList<ReportGroup>(sizesMet ? 0 : sizeCount));
        sizeSlots.resize(hostCount);
    }

    // By time: each host's open group and the minute it began at, counted as
    // MinutesBetween counts; the day number is looked up once a day.
    std::vector<qint64> groupStart(static_cast<size_t>(hostCount));
    std::vector<ReportGroup *> openGroup(static_cast<size_t>(hostCount), nullptr);
    ReportHost *const hosts = built.hosts.data();
    quint32 day = 0;
    qint64 dayNumber = 0;
    const auto minuteOf = [&](const PingReplyRecord &r) {
        const quint32 date = quint32(r.year) << 16 | quint32(r.month) << 8 | r.day;
        if (date != day) {
            day = date;
            dayNumber = QDate(r.year, r.month, r.day).toJulianDay();
        }
        return dayNumber * 1440 + qint64(r.hour) * 60 + r.minute;
    };

    EchoCursor cursor(log, true);
    PingReplyRecord r;
    qint64 row = 0;
    // The host of each row, counted along: `repeat` rows a host in turn.
    qsizetype nextHost = 0;
    qint64 inTurn = 0;
    for (; cursor.next(r); ++row) {
        const qsizetype h = nextHost;
        if (++inTurn == repeat) {
            inTurn = 0;
            nextHost = nextHost + 1 == hostCount ? 0 : nextHost + 1;
        }
        ReportHost &host = hosts[h];
        if (row == 0)
            built.testStart = r;
        if (host.address.isEmpty())
            host.address = RecordedAddress(cursor.address());
        if (grouping == ReportGrouping::TimePeriod) {
            const qint64 minute = minuteOf(r);
            ReportGroup *group = openGroup[size_t(h)];
            if (!group || minute - groupStart[size_t(h)] >= groupMinutes) {
                if (group)
                    group->close();
                host.groups.append(ReportGroup());
                group = openGroup[size_t(h)] = &host.groups.last();
                groupStart[size_t(h)] = minute;
            }
            Count(*group, r);
        } else {
            qsizetype slot = qsizetype((row / segment) % sizeCount);
            if (sizesMet) {
                slot = sizeSlots[h].value(r.size, bySize[h].size());
                if (slot == bySize[h].size()) {
                    sizeSlots[h].insert(r.size, slot);
                    bySize[h].append(ReportGroup());
                }
            }
            ReportGroup &g = bySize[h][slot];
            if (g.sent == 0)
                g.size = r.size;
            Count(g, r);
        }
        if (progress && (row & 4095) == 4095)
            progress();
    }
    if (cursor.failed()) {
        if (error)
            *error = cursor.errorString();
        return ReportResult::ReadFailed;
    }
    for (qsizetype h = 0; h < hostCount; ++h) {
        ReportHost &host = built.hosts[h];
        if (grouping == ReportGrouping::SendSize)
            for (const ReportGroup &g : bySize[h])
                if (g.sent > 0)
                    host.groups.append(g);
        for (ReportGroup &g : host.groups)
            if (g.lossText.startsWith(u'-'))
                g.close();
    }
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
