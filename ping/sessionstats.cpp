#include "ping/sessionstats.h"

namespace netvane {

qint32 AverageHalfUp(qint64 sum, qint64 count)
{
    if (count <= 0)
        return 0;
    // floor(sum / count + 0.5) in integers
    const qint64 twice = 2 * sum + count;
    const qint64 denominator = 2 * count;
    qint64 q = twice / denominator;
    if (twice % denominator != 0 && (twice < 0) != (denominator < 0))
        --q;
    return qint32(q);
}

QString LossRateText(qint64 lost, qint64 sent)
{
    qint64 tenThousandths = 0;
    if (sent > 0) {
        const qint64 scaled = lost * 10000;
        tenThousandths = scaled / sent;
        const qint64 twiceRest = 2 * (scaled % sent);
        if (twiceRest > sent || (twiceRest == sent && (tenThousandths & 1)))
            ++tenThousandths;
    }
    // ten-thousandths of one are hundredths of a percent
    return QString::number(tenThousandths / 100) + u'.'
           + QString::number(tenThousandths % 100).rightJustified(2, u'0') + u" %"_qs;
}

ReplyRowTexts RecordReply(PingSessionStats &stats, PingReplyLog &log, const QDateTime &when,
                          const QString &address, int sendSize, qint32 status,
                          const EchoReply &reply)
{
    ++stats.sent;
    const bool answered = EchoStatusText(status).contains(u"success"_qs);
    const qint32 time = answered ? qint32(reply.roundTripTime) : -1;
    const qint32 ttl = answered ? qint32(reply.ttl) : 0;
    const qsizetype row = log.append(when, address, sendSize, time, ttl, status);
    const ReplyRowTexts texts = FormatReplyRow(log.at(row), address);

    QString lastLine = texts.left + u":  "_qs;
    if (answered) {
        const QString timeText = time > 0 ? u'=' + QString::number(time) : u"<1"_qs;
        lastLine += u"bytes="_qs + QString::number(sendSize) + u"  time"_qs + timeText
                    + u"ms  TTL="_qs + QString::number(ttl);
        stats.sumTime += time;
        stats.maxTime = qMax(stats.maxTime, time);
        stats.minTime = qMin(stats.minTime, time);
        stats.sumTtl += ttl;
        stats.avgTime = AverageHalfUp(stats.sumTime, stats.sent - stats.lost);
        stats.avgTtl = AverageHalfUp(stats.sumTtl, stats.sent - stats.lost);
    } else {
        lastLine += texts.right;
        ++stats.lost;
    }
    stats.lastLine = lastLine.left(100);
    stats.lastTime = time;
    stats.lastTtl = ttl;
    return texts;
}

QString LastReplyLine(const PingReplyRecord &r, const QString &address)
{
    const ReplyRowTexts texts = FormatReplyRow(r, address);
    QString line = texts.left + u":  "_qs;
    if (r.answered()) {
        const QString timeText = r.time > 0 ? u'=' + QString::number(r.time) : u"<1"_qs;
        line += u"bytes="_qs + QString::number(r.size) + u"  time"_qs + timeText + u"ms  TTL="_qs
                + QString::number(r.ttl);
    } else {
        line += texts.right;
    }
    return line.left(100);
}

std::array<QString, 9> StatisticsTexts(PingSessionStats &stats)
{
    std::array<QString, 9> v;
    v[0] = QString::number(stats.sent);
    v[1] = QString::number(stats.sent - stats.lost);
    v[2] = QString::number(stats.lost);
    v[3] = LossRateText(stats.lost, stats.sent);
    if (stats.minTime == NoAnswerYet) {
        v[5] = v[6] = v[7] = u"0 ms"_qs;
    } else {
        for (qint32 *t : {&stats.minTime, &stats.maxTime, &stats.avgTime})
            if (*t == 0)
                *t = 1;
        v[5] = QString::number(stats.minTime) + u" ms"_qs;
        v[6] = QString::number(stats.maxTime) + u" ms"_qs;
        v[7] = QString::number(stats.avgTime) + u" ms"_qs;
    }
    v[8] = QString::number(stats.avgTtl);
    return v;
}

} // namespace netvane
