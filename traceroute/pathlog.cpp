#include "traceroute/pathlog.h"

#include <QFile>

namespace netvane {

namespace {
QString hopsField(const QStringList &routers)
{
    return routers.isEmpty() ? u"*"_qs : routers.join(u'|');
}

QString clean(QString text)
{
    for (QChar &c : text)
        if (ContainsControlCharacter(QStringView(&c, 1)))
            c = u' ';
    return text;
}
} // namespace

bool PathLogWriter::create(const QString &path, const PathRunSettings &s, const QList<PathTrace> &targets,
                           QString *error)
{
    m_file.close();
    QStringList lines{u"PATH 1 %1 %2 %3 %4 %5 %6"_qs.arg(s.startMs).arg(s.intervalMs).arg(s.timeoutMs)
                          .arg(s.size).arg(s.maxHops).arg(targets.size())};
    for (qsizetype i = 0; i < targets.size(); ++i)
        lines << u"T %1 %2 %3"_qs.arg(i).arg(clean(targets[i].address).remove(u' '), clean(targets[i].label));
    if (!WriteTextLines(path, lines, error, nullptr, FileAccess::OwnerOnly))
        return false;
    if (!m_file.open(path, FileAccess::OwnerOnly)) {
        if (error)
            *error = m_file.errorString();
        return false;
    }
    return true;
}

bool PathLogWriter::discovered(int target, qint64 whenMs, const QList<QStringList> &hops)
{
    QString line = u"D %1 %2"_qs.arg(target).arg(whenMs);
    for (const QStringList &hop : hops)
        line += u' ' + hopsField(hop);
    return m_file.writeLine(line);
}

bool PathLogWriter::round(int target, qint64 whenMs, const QList<qint32> &latenciesUs)
{
    QString line = u"R %1 %2"_qs.arg(target).arg(whenMs);
    for (qint32 us : latenciesUs)
        line += u' ' + QString::number(us);
    return m_file.writeLine(line);
}

bool PathLogWriter::ended(qint64 whenMs)
{
    return m_file.writeLine(u"E %1"_qs.arg(whenMs));
}

bool ReadPathLog(const QString &path, PathLogContent *content)
{
    *content = {};
    QFile file;
    if (!OpenRegularFile(file, path))
        return false;
    bool headerRead = false;
    while (!file.atEnd()) {
        QByteArray bytes = file.readLine(1 << 20);
        while (bytes.endsWith('\n') || bytes.endsWith('\r'))
            bytes.chop(1);
        const QString line = DecodeTextLine(bytes);
        const QStringList f = line.split(u' ', Qt::SkipEmptyParts);
        bool ok = !f.isEmpty();
        if (!ok) {
            ++content->unreadLines;
            continue;
        }
        if (!headerRead) {
            if (f.size() != 8 || f[0] != u"PATH" || f[1] != u"1")
                return false;
            PathRunSettings &s = content->settings;
            s.startMs = f[2].toLongLong();
            s.intervalMs = f[3].toInt();
            s.timeoutMs = f[4].toInt();
            s.size = f[5].toInt();
            s.maxHops = f[6].toInt();
            const int count = f[7].toInt(&ok);
            if (!ok || count < 0 || count > 4096)
                return false;
            content->traces.resize(count);
            headerRead = true;
            continue;
        }
        const auto target = [&](PathTrace **trace) {
            const int i = f.size() > 1 ? f[1].toInt(&ok) : -1;
            ok = ok && i >= 0 && i < content->traces.size();
            *trace = ok ? &content->traces[i] : nullptr;
        };
        PathTrace *trace = nullptr;
        if (f[0] == u"T" && f.size() >= 3) {
            target(&trace);
            if (trace) {
                trace->address = f[2];
                trace->label = line.section(u' ', 3); // the rest of the line as written
            }
        } else if (f[0] == u"D" && f.size() >= 4) {
            target(&trace);
            const qint64 when = f[2].toLongLong(&ok);
            if (trace && ok) {
                QList<QStringList> hops;
                for (qsizetype i = 3; i < f.size(); ++i)
                    hops << (f[i] == u"*" ? QStringList() : f[i].split(u'|'));
                trace->setPath(hops, when);
            }
        } else if (f[0] == u"R" && f.size() >= 3) {
            target(&trace);
            const qint64 when = f[2].toLongLong(&ok);
            QList<qint32> latencies;
            for (qsizetype i = 3; ok && i < f.size(); ++i) {
                latencies << f[i].toInt(&ok);
                ok = ok && latencies.last() >= -1;
            }
            ok = ok && trace && latencies.size() == trace->hops().size();
            if (ok)
                trace->addRound(latencies, when);
        } else if (f[0] == u"E" && f.size() == 2) {
            content->endMs = f[1].toLongLong(&ok);
        } else {
            ok = false;
        }
        if (!ok)
            ++content->unreadLines;
    }
    return headerRead;
}

} // namespace netvane
