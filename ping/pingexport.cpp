#include "ping/pingexport.h"

#include "platform/textfile.h"
#include "ping/latencystats.h"
#include "ping/resultreload.h"
#include "probe/echoprobe.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <charconv>
#include <vector>

namespace netvane {

namespace {

const QString OneBlank = QStringLiteral(" ");
const QString TwoBlanks = QStringLiteral("  ");

// Rows are built by appending into one reused text: a long test has millions.
void appendDigits(QString &s, int value, int width)
{
    char digits[8];
    for (int i = width - 1; i >= 0; --i, value /= 10)
        digits[i] = char('0' + value % 10);
    s.append(QLatin1StringView(digits, width));
}

// The date and time of a record in the user's locale. Formatting a date through the
// locale is slow, and an export of a long test formats millions: each date and each
// second of the day is formatted once.
class StampTexts
{
public:
    QString operator()(const PingReplyRecord &r)
    {
        QString text;
        appendTo(text, r);
        return text;
    }

    void appendTo(QString &out, const PingReplyRecord &r)
    {
        const QDate date(r.year, r.month, r.day);
        if (date != m_date) {
            m_date = date;
            m_dateText = ReplyDateText(date) + u' ';
        }
        out += m_dateText;
        const int second = (r.hour * 60 + r.minute) * 60 + r.second;
        if (second < 0 || second >= 86400) {
            out += ReplyTimeText(QTime(r.hour, r.minute, r.second));
            return;
        }
        QString &time = m_times[size_t(second)];
        if (time.isNull())
            time = ReplyTimeText(QTime(r.hour, r.minute, r.second));
        out += time;
    }

private:
    QDate m_date;
    QString m_dateText;
    std::vector<QString> m_times = std::vector<QString>(86400);
};

QString testPeriod(const PingExportSource &s, StampTexts &stamp)
{
    if (!s.log || s.log->isEmpty())
        return u"  -  "_qs;
    return stamp(s.log->at(0)) + u"  -  "_qs + stamp(s.log->last());
}

} // namespace

void ForEachEchoOfTarget(qsizetype logSize, qsizetype targetCount, int repeat, qsizetype k,
                         const std::function<void(qsizetype)> &f)
{
    if (targetCount < 1 || repeat < 1 || k < 0 || k >= targetCount)
        return;
    const qint64 pass = qint64(repeat) * targetCount;
    for (qint64 start = k * qint64(repeat); start < logSize; start += pass)
        for (qint64 i = start; i < start + repeat && i < logSize; ++i)
            f(qsizetype(i));
}

namespace {

// The head of both layouts: the test's period, the statistics and "Detail:".
void writeSummary(const PingExportSource &source, StampTexts &stamp, const ExportLineSink &sink,
                  bool csv)
{
    static const char16_t *const TextLabels[9] = {u"Sent:       ", u"Received:   ", u"Lost:       ",
                                                  u"Loss Rate:  ", nullptr, u"Min Time:   ",
                                                  u"Max Time:   ", u"Avg Time:   ", u"Avg TTL:    "};
    static const char16_t *const CsvLabels[9] = {u"Sent,", u"Received,", u"Lost,", u"Loss Rate,", nullptr,
                                                 u"Min Time,", u"Max Time,", u"Avg Time,", u"Avg TTL,"};
    PingSessionStats stats = source.stats;
    const std::array<QString, 9> v = StatisticsTexts(stats);
    sink((csv ? u"Ping test at,"_qs : u"Ping test at :  "_qs) + testPeriod(source, stamp));
    for (int i = 0; i < 3; ++i)
        sink(OneBlank);
    sink(u"Result:"_qs);
    sink(OneBlank);
    for (size_t i = 0; i < v.size(); ++i)
        if (const char16_t *label = (csv ? CsvLabels : TextLabels)[i])
            sink(QString::fromUtf16(label) + v[i]);
    sink(OneBlank);
    sink(OneBlank);
    sink(u"Detail:"_qs);
    sink(OneBlank);
}

} // namespace

bool WritePingTextExport(const PingExportSource &source, const ExportLineSink &sink,
                         QString *error)
{
    StampTexts stamp;
    writeSummary(source, stamp, sink, false);

    const PingReplyLog empty;
    EchoCursor cursor(source.log ? *source.log : empty, true);
    const qsizetype logSize = source.log ? source.log->size() : 0;
    PingReplyRecord r;
    for (qsizetype k = 0; k < source.targets.size(); ++k) {
        sink(TwoBlanks);
        sink(TwoBlanks);
        sink(u"Ping  "_qs + source.targets.at(k) + u':');
        sink(TwoBlanks);
        qint64 n = 0;
        QString row;
        ForEachEchoOfTarget(logSize, source.targets.size(), source.repeat, k, [&](qsizetype i) {
            cursor.seek(i);
            if (!cursor.next(r))
                return;
            row.resize(0);
            AppendNumber(row, ++n);
            row += u". "_qs;
            stamp.appendTo(row, r);
            row += u"   Reply from ";
            row += QStringView(cursor.address()).trimmed();
            row += u"  ";
            AppendReplyTail(row, r);
            sink(row);
        });
        sink(TwoBlanks);
    }
    sink(OneBlank);
    if (cursor.failed() && error)
        *error = cursor.errorString();
    return !cursor.failed();
}

bool WritePingCsvExport(const PingExportSource &source, const ExportLineSink &sink, QString *error)
{
    StampTexts stamp;
    writeSummary(source, stamp, sink, true);
    sink(u"No.,Year,Month,Day,Hour,Minute,Second,IP,Send Buffer Size(Byte),Time(ms),TTL,Status"_qs);

    const PingReplyLog empty;
    EchoCursor cursor(source.log ? *source.log : empty, true);
    const qsizetype logSize = source.log ? source.log->size() : 0;
    PingReplyRecord r;
    for (qsizetype k = 0; k < source.targets.size(); ++k) {
        const QString target = u',' + source.targets.at(k) + u',';
        qint64 n = 0;
        QString row;
        ForEachEchoOfTarget(logSize, source.targets.size(), source.repeat, k, [&](qsizetype i) {
            cursor.seek(i);
            if (!cursor.next(r))
                return;
            row.resize(0);
            AppendNumber(row, ++n);
            row += u".,"_qs;
            appendDigits(row, r.year, 4);
            for (const int part : {int(r.month), int(r.day), int(r.hour), int(r.minute), int(r.second)}) {
                row += u',';
                appendDigits(row, part, 2);
            }
            row += target;
            AppendNumber(row, r.size);
            row += u',';
            if (r.time >= 0) // the time stays empty for an echo that got no reply
                AppendNumber(row, r.time);
            row += u',';
            AppendNumber(row, r.ttl);
            row += u',';
            row += EchoStatusText(r.status);
            sink(row);
        });
        sink(TwoBlanks);
    }
    sink(OneBlank);
    if (cursor.failed() && error)
        *error = cursor.errorString();
    return !cursor.failed();
}

namespace {

QString jsonString(const QString &text)
{
    // The document writer escapes quotes, back-slashes and control characters.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

void appendJsonTime(QString &s, const PingReplyRecord &r)
{
    s += u'"';
    appendDigits(s, r.year, 4);
    s += u'-';
    appendDigits(s, r.month, 2);
    s += u'-';
    appendDigits(s, r.day, 2);
    s += u'T';
    appendDigits(s, r.hour, 2);
    s += u':';
    appendDigits(s, r.minute, 2);
    s += u':';
    appendDigits(s, r.second, 2);
    s += u'"';
}

QString jsonTime(const PingReplyRecord &r)
{
    QString s;
    appendJsonTime(s, r);
    return s;
}

// A figure of answered echoes: a time under a millisecond counts as 1 ms, as the
// statistics on screen and the text export count it ("Min Time:   1 ms").
QString jsonMs(qint32 ms)
{
    return ms < 0 ? u"null"_qs : QString::number(qMax(ms, 1));
}

QString jsonDecimal(double value)
{
    return value < 0 ? u"null"_qs : QString::number(qMax(value, 1.0), 'f', 2);
}

} // namespace

bool WritePingJsonExport(const PingExportSource &source, const ExportLineSink &sink, QString *error)
{
    const PingReplyLog empty;
    const PingReplyLog &log = source.log ? *source.log : empty;
    const qsizetype targetCount = source.targets.size();
    // First pass: the figures of every target, which the document gives before its echoes.
    QList<LatencyStatistics> figures;
    QString readError;
    if (!ComputeLatencyStatistics(log, targetCount, source.repeat, 0, log.size(), figures,
                                  &readError)) {
        if (error)
            *error = readError;
        return false;
    }
    sink(u"{"_qs);
    sink(u"  \"test\": {"_qs);
    sink(u"    \"first\": "_qs + (log.isEmpty() ? u"null"_qs : jsonTime(log.at(0))) + u","_qs);
    sink(u"    \"last\": "_qs + (log.isEmpty() ? u"null"_qs : jsonTime(log.last())) + u","_qs);
    sink(u"    \"echoes\": "_qs + QString::number(log.size()) + u","_qs);
    sink(u"    \"targets\": "_qs + QString::number(targetCount) + u","_qs);
    sink(u"    \"repeatPerTarget\": "_qs + QString::number(source.repeat) + u","_qs);
    sink(u"    \"sizeStepLength\": "_qs + QString::number(source.sizeStepLength) + u","_qs);
    // Each echo is an array of these fields, in this order.
    sink(u"    \"echoFields\": [\"time\", \"rttMs\", \"ttl\", \"status\", \"sizeBytes\"]"_qs);
    sink(u"  },"_qs);
    sink(u"  \"targets\": ["_qs);

    EchoCursor cursor(log, true);
    PingReplyRecord r;
    for (qsizetype k = 0; k < targetCount; ++k) {
        const LatencyStatistics &f = figures.at(k);
        const double lossRate = f.sent() ? 100.0 * double(f.lost()) / double(f.sent()) : 0.0;
        const PingReplyRecord &runStart = f.longestLossStart();
        sink(u"    {"_qs);
        sink(u"      \"target\": "_qs + jsonString(source.targets.at(k)) + u","_qs);
        sink(u"      \"sent\": "_qs + QString::number(f.sent()) + u","_qs);
        sink(u"      \"received\": "_qs + QString::number(f.answered()) + u","_qs);
        sink(u"      \"lost\": "_qs + QString::number(f.lost()) + u","_qs);
        sink(u"      \"lossRatePercent\": "_qs + QString::number(lossRate, 'f', 2) + u","_qs);
        sink(u"      \"minMs\": "_qs + jsonMs(f.minimum()) + u","_qs);
        sink(u"      \"avgMs\": "_qs + jsonDecimal(f.average()) + u","_qs);
        sink(u"      \"maxMs\": "_qs + jsonMs(f.maximum()) + u","_qs);
        sink(u"      \"p50Ms\": "_qs + jsonMs(f.percentile(50)) + u","_qs);
        sink(u"      \"p95Ms\": "_qs + jsonMs(f.percentile(95)) + u","_qs);
        sink(u"      \"p99Ms\": "_qs + jsonMs(f.percentile(99)) + u","_qs);
        sink(u"      \"jitterMs\": "_qs + QString::number(f.jitter(), 'f', 2) + u","_qs);
        sink(u"      \"longestLossRun\": "_qs + QString::number(f.longestLossRun()) + u","_qs);
        sink(u"      \"longestLossRunStart\": "_qs
             + (f.longestLossRun() ? jsonTime(runStart) : u"null"_qs) + u","_qs);
        const QString address = source.addresses.value(k).trimmed().left(MaxRecordedAddress);
        const qint64 outageTarget = address.isEmpty() ? -1 : source.outages.findTarget(address);
        const OutageTotals totals = outageTarget < 0 ? OutageTotals{} : source.outages.totals(quint32(outageTarget));
        sink(u"      \"outageCount\": "_qs + QString::number(totals.count) + u","_qs);
        sink(u"      \"downtimeSeconds\": "_qs + QString::number(totals.downtime) + u","_qs);
        sink(u"      \"longestOutageSeconds\": "_qs + QString::number(totals.longest) + u","_qs);
        sink(u"      \"availabilityPercent\": "_qs + QString::number(totals.availability, 'f', 2) + u","_qs);
        QStringList outages;
        if (outageTarget >= 0) {
            for (const Outage &o : source.outages.outages()) {
                if (o.target != quint32(outageTarget))
                    continue;
                outages << u"        {\"start\": \""_qs + OutageStampText(o.start, u'T') + u"\", \"end\": "_qs
                               + (o.ongoing() ? u"null"_qs : u'"' + OutageStampText(o.end, u'T') + u'"')
                               + u", \"seconds\": "_qs + QString::number(source.outages.duration(o))
                               + u", \"lost\": "_qs + QString::number(o.lost) + u'}';
            }
        }
        sink(u"      \"outages\": ["_qs);
        for (qsizetype i = 0; i < outages.size(); ++i)
            sink(outages.at(i) + (i + 1 < outages.size() ? u","_qs : QString()));
        sink(u"      ],"_qs);
        sink(u"      \"echoes\": ["_qs);
        // Each row waits for the next to know whether a comma follows it.
        QString row;
        bool pending = false;
        ForEachEchoOfTarget(log.size(), targetCount, source.repeat, k, [&](qsizetype i) {
            cursor.seek(i);
            if (!cursor.next(r))
                return;
            if (pending)
                sink(row + u',');
            row.resize(0);
            row += u"        ["_qs;
            appendJsonTime(row, r);
            row += u',';
            if (r.answered())
                AppendNumber(row, r.time);
            else
                row += u"null"_qs;
            row += u',';
            AppendNumber(row, r.ttl);
            row += u',';
            AppendNumber(row, r.status);
            row += u',';
            AppendNumber(row, r.size);
            row += u']';
            pending = true;
        });
        if (pending)
            sink(row);
        sink(u"      ]"_qs);
        sink(k + 1 < targetCount ? u"    },"_qs : u"    }"_qs);
    }
    sink(u"  ]"_qs);
    sink(u"}"_qs);
    if (cursor.failed() && error)
        *error = cursor.errorString();
    return !cursor.failed();
}

QStringList PingTextExportLines(const PingExportSource &source)
{
    QStringList lines;
    WritePingTextExport(source, [&](const QString &line) { lines << line; });
    return lines;
}

QStringList PingCsvExportLines(const PingExportSource &source)
{
    QStringList lines;
    WritePingCsvExport(source, [&](const QString &line) { lines << line; });
    return lines;
}

QString PingExportFileName(const PingSessionStats &stats)
{
    // The last reply line begins "mm/dd hh:mm:ss": month, day, hour and minute remain.
    QString stamp = stats.lastLine.left(12);
    stamp.remove(u'/');
    stamp.remove(u':');
    stamp.remove(u' ');
    return u"Ping_Test_Log_"_qs + stamp;
}

bool SavePingExport(const QString &path, const QString &extension, const PingExportSource &source,
                    QString *error, const ExportProgress &progress)
{
    // Replaced whole or not at all: a failed export keeps an older file of that name.
    FileReplacer file(path);
    bool ok = file.open();
    QString chunk;
    qint64 lines = 0;
    const auto flush = [&] {
        if (ok && !chunk.isEmpty())
            ok = file.write(chunk.toUtf8());
        chunk.resize(0); // keeps the buffer for the next chunk
        if (progress)
            progress(lines);
    };
    const ExportLineSink sink = [&](const QString &line) {
        chunk += line;
        chunk += u"\r\n"_qs;
        ++lines;
        if (chunk.size() > (1 << 18))
            flush();
    };
    QString readError;
    bool read = true;
    if (ok) {
        if (extension == u"csv")
            read = WritePingCsvExport(source, sink, &readError);
        else if (extension == u"json")
            read = WritePingJsonExport(source, sink, &readError);
        else
            read = WritePingTextExport(source, sink, &readError);
        flush();
        // An export whose log could not be read whole is not committed: the older
        // file of that name stays.
        ok = read && file.commit();
    }
    if (!ok && error)
        *error = read ? file.errorString() : readError;
    return ok;
}

} // namespace netvane
