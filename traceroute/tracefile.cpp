#include "traceroute/tracefile.h"

#include "platform/linestream.h"

#include <QDir>
#include <QLocale>

namespace netvane {

namespace {

// Output lines longer than this are cut; tracert's own lines are far shorter.
constexpr qint64 MaxTraceLineBytes = 4096;

// A shown or exported line carries no control characters.
QString cleanLine(QString line)
{
    line.remove(u'\r');
    line.remove(u'\n');
    for (QChar &c : line)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u' ';
    return line;
}

} // namespace

QString TraceFilePrefix(const QString &dataFolder, const QDateTime &now)
{
    const QDate d = now.date();
    const QTime t = now.time();
    return QDir(dataFolder).filePath(u"Temp"_qs) + u"/TMP"_qs + QString::number(d.year())
           + QString::number(d.month()) + QString::number(d.day()) + QString::number(t.hour())
           + QString::number(t.minute()) + QString::number(t.second());
}

QString TraceFileName(const QString &prefix, int host)
{
    return prefix + QString::number(host) + u".txt"_qs;
}

QString TraceTimeText(const QDateTime &when)
{
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(u't'); // no time zone name
    return locale.toString(when.date(), QLocale::ShortFormat) + u' '
           + locale.toString(when.time(), timeFormat.trimmed());
}

QString TraceLaunchHeader(int host, const QString &name, int maxHops)
{
    return u"("_qs + QString::number(host + 1) + u") Tracing route to "_qs + name.trimmed()
           + u" over a maximum of "_qs + QString::number(maxHops) + u" hops ......"_qs;
}

int TraceTableSize(qint64 maxHops)
{
    // tracert writes at most 255 hops and six lines around them.
    return int(qBound(qint64(1), maxHops + 9, qint64(255 + 9)));
}

bool ParseTraceFile(const QString &path, int host, const QString &startTime,
                    const QString &lastCheckTime, int tableSize, TraceHostLines &lines)
{
    const QString ordinal = u"("_qs + QString::number(host + 1) + u") Tracing"_qs;
    QStringList read;
    const bool opened = ReadTextLinesWhile(path, MaxTraceLineBytes, [&](const QString &raw, bool) {
        QString line = raw.trimmed();
        if (line == u"=-=-=-=")
            return false;
        if (line.toLower().contains(u"complete") && !startTime.isEmpty())
            line += u"      From  "_qs + startTime + u"  to  "_qs + lastCheckTime;
        line = cleanLine(line);
        line.replace(u"Tracing"_qs, ordinal);
        read << line;
        return read.size() < tableSize;
    });
    if (!opened)
        return false;
    lines.lineCount = int(read.size());
    if (!read.isEmpty())
        lines.lines = read;
    return true;
}

QStringList TraceExportLines(const QList<TraceHostLines> &hosts)
{
    QStringList out;
    out << u"Tracing route to "_qs + QString::number(hosts.size()) + u" hosts."_qs << u" "_qs;
    for (const TraceHostLines &h : hosts)
        for (int j = 0; j <= h.lineCount; ++j)
            out << h.entry(j);
    out << u" "_qs;
    return out;
}

QString TraceExportFileName(const QString &firstStartTime)
{
    QString stamp = firstStartTime.left(18);
    for (QChar c : {u'/', u':', u' ', u'-'})
        stamp.remove(c);
    return u"Traceroute_Log_"_qs + stamp;
}

} // namespace netvane
