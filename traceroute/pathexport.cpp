#include "traceroute/pathexport.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace netvane {

namespace {
QString stamp(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(u"MM/dd/yyyy HH:mm:ss"_qs);
}

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"'))
        return text;
    return u'"' + QString(text).replace(u"\""_qs, u"\"\""_qs) + u'"';
}

QString changeText(const PathRouteChange &c)
{
    return u"Route changed at hop %1 at %2: %3 -> %4"_qs.arg(c.hop).arg(stamp(c.whenMs), c.before, c.after);
}

QString heading(const PathRunSettings &s)
{
    return u"Path statistics from %1, interval %2 ms, time-out %3 ms, %4 bytes, at most %5 hops"_qs
        .arg(stamp(s.startMs))
        .arg(s.intervalMs)
        .arg(s.timeoutMs)
        .arg(s.size)
        .arg(s.maxHops);
}
} // namespace

QString PathExportFileName(const PathRunSettings &settings)
{
    return u"Path_Log_"_qs + QDateTime::fromMSecsSinceEpoch(settings.startMs).toString(u"yyyyMMddHHmmss"_qs);
}

QStringList PathExportLines(const QList<PathTrace> &traces, const PathRunSettings &settings,
                            const QString &extension)
{
    QStringList lines;
    const QStringList titles = PathColumnTitles();
    if (extension == u"csv") {
        lines << u"Target,Target Address,Verdict,"_qs + titles.join(u',');
        for (const PathTrace &t : traces) {
            const QString lead = csvField(t.label) + u',' + t.address + u',' + csvField(t.verdict()) + u',';
            for (int i = 0; i < t.hops().size(); ++i) {
                QStringList row = PathRowTexts(t, i);
                for (QString &field : row)
                    field = csvField(field);
                lines << lead + row.join(u',');
            }
        }
        return lines;
    }
    lines << heading(settings) << QString();
    // Columns as wide as their widest text.
    for (const PathTrace &t : traces) {
        lines << u"Target: %1 (%2)"_qs.arg(t.label, t.address) << t.verdict();
        QList<QStringList> rows{titles};
        for (int i = 0; i < t.hops().size(); ++i)
            rows << PathRowTexts(t, i);
        QList<qsizetype> widths(titles.size(), 0);
        for (const QStringList &row : rows)
            for (qsizetype c = 0; c < row.size(); ++c)
                widths[c] = std::max(widths[c], row[c].size());
        for (const QStringList &row : rows) {
            QString line;
            for (qsizetype c = 0; c < row.size(); ++c) {
                // Text columns to the left, figures to the right.
                const bool text = c == 1 || c == 2;
                line += (text ? row[c].leftJustified(widths[c]) : row[c].rightJustified(widths[c]));
                if (c + 1 < row.size())
                    line += u"  "_qs;
            }
            lines << line;
        }
        for (const PathRouteChange &c : t.routeChanges())
            lines << changeText(c);
        lines << QString();
    }
    return lines;
}

QByteArray PathExportJson(const QList<PathTrace> &traces, const PathRunSettings &s)
{
    QJsonArray targets;
    for (const PathTrace &t : traces) {
        QJsonArray hops;
        for (int i = 0; i < t.hops().size(); ++i) {
            const PathHop &h = t.hops()[i];
            const PathHopStats &st = h.stats;
            QJsonObject hop{{u"hop"_qs, h.hop},
                            {u"addresses"_qs, QJsonArray::fromStringList(h.addresses)},
                            {u"name"_qs, h.name},
                            {u"silent"_qs, t.isSilent(i)},
                            {u"sent"_qs, st.sent()},
                            {u"lost"_qs, st.lost()},
                            {u"lossPercent"_qs, st.lossPercent()}};
            if (st.received() > 0) {
                hop.insert(u"lastMs"_qs, st.lastMs());
                hop.insert(u"avgMs"_qs, st.averageMs());
                hop.insert(u"bestMs"_qs, st.bestMs());
                hop.insert(u"worstMs"_qs, st.worstMs());
                hop.insert(u"stdDevMs"_qs, st.stdDevMs());
                hop.insert(u"jitterMs"_qs, st.jitterMs());
                hop.insert(u"p95Ms"_qs, st.p95Ms());
            }
            QJsonArray strip;
            for (const PathMinute &m : st.strip())
                strip.append(QJsonObject{{u"start"_qs, stamp(m.firstMinute * 60'000)},
                                         {u"minutes"_qs, m.minutes},
                                         {u"sent"_qs, m.sent},
                                         {u"lost"_qs, m.lost},
                                         {u"avgMs"_qs, m.averageMs()}});
            hop.insert(u"minutes"_qs, strip);
            hops.append(hop);
        }
        QJsonArray changes;
        for (const PathRouteChange &c : t.routeChanges())
            changes.append(QJsonObject{{u"time"_qs, stamp(c.whenMs)},
                                       {u"hop"_qs, c.hop},
                                       {u"before"_qs, c.before},
                                       {u"after"_qs, c.after}});
        const int origin = t.lossOrigin();
        targets.append(QJsonObject{{u"target"_qs, t.label},
                                   {u"address"_qs, t.address},
                                   {u"verdict"_qs, t.verdict()},
                                   {u"lossOriginHop"_qs, origin < 0 ? QJsonValue() : QJsonValue(origin + 1)},
                                   {u"hops"_qs, hops},
                                   {u"routeChanges"_qs, changes}});
    }
    const QJsonObject root{{u"start"_qs, stamp(s.startMs)},
                           {u"intervalMs"_qs, s.intervalMs},
                           {u"timeoutMs"_qs, s.timeoutMs},
                           {u"size"_qs, s.size},
                           {u"maxHops"_qs, s.maxHops},
                           {u"targets"_qs, targets}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace netvane
