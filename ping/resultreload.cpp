#include "ping/resultreload.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <cstring>

namespace netvane {

namespace {

// A well-formed echo line is about 45 characters; anything this long is not one.
constexpr qsizetype MaxLineLength = 512;
// The most targets a header may announce: far above any real target list, low
// enough that a damaged header cannot make the target table eat the memory.
constexpr qint64 MaxTargets = qint64(1) << 20;
constexpr qsizetype ProgressEvery = 4096;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArrayView trimmed(QByteArrayView v)
{
    qsizetype b = 0, e = v.size();
    while (b < e && isBlank(v[b]))
        ++b;
    while (e > b && isBlank(v[e - 1]))
        --e;
    return v.sliced(b, e - b);
}

// Plain decimal digits, optionally led by '-' when negative values are allowed,
// within [low, high].
bool parseNumber(QByteArrayView f, qint64 low, qint64 high, qint64 &out)
{
    f = trimmed(f);
    qsizetype i = 0;
    bool negative = false;
    if (i < f.size() && f[i] == '-') {
        negative = true;
        ++i;
    }
    if (i == f.size() || f.size() - i > 10)
        return false;
    qint64 value = 0;
    for (; i < f.size(); ++i) {
        const char c = f[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    if (value < low || value > high)
        return false;
    out = value;
    return true;
}

// Exactly `width` digits, as the result file pads its date and time fields.
bool parseFixed(QByteArrayView f, int width, int low, int high, int &out)
{
    if (f.size() != width)
        return false;
    int value = 0;
    for (char c : f) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high)
        return false;
    out = value;
    return true;
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0))
        return 29;
    return days[month - 1];
}

// Splits at commas into at most `max` fields; returns the count, max + 1 when there are more.
int splitFields(QByteArrayView line, QByteArrayView *fields, int max)
{
    int count = 0;
    qsizetype start = 0;
    for (;;) {
        const char *base = line.data() + start;
        const void *comma = std::memchr(base, ',', size_t(line.size() - start));
        const qsizetype end = comma ? qsizetype(static_cast<const char *>(comma) - line.data())
                                    : line.size();
        if (count == max)
            return max + 1;
        fields[count++] = line.sliced(start, end - start);
        if (!comma)
            return count;
        start = end + 1;
    }
}

class EchoLineReader
{
public:
    explicit EchoLineReader(PingReplyLog &log) : m_log(log) {}

    bool read(QByteArrayView line, PingReplyRecord &r)
    {
        QByteArrayView f[11];
        if (splitFields(line, f, 11) != 11)
            return false;
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        if (!parseFixed(f[0], 4, 1, 9999, year) || !parseFixed(f[1], 2, 1, 12, month)
            || !parseFixed(f[2], 2, 1, 31, day) || day > daysInMonth(year, month)
            || !parseFixed(f[3], 2, 0, 23, hour) || !parseFixed(f[4], 2, 0, 59, minute)
            || !parseFixed(f[5], 2, 0, 59, second))
            return false;
        qint64 size = 0, time = 0, ttl = 0, status = 0;
        if (!parseNumber(f[7], 0, 65535, size) || !parseNumber(f[8], -1, INT_MAX, time)
            || !parseNumber(f[9], 0, 255, ttl) || !parseNumber(f[10], INT_MIN, INT_MAX, status))
            return false;
        // The store writes a time and TTL only for an answer, and only status 0 answers.
        const bool answered = IsAnswered(qint32(status));
        if (answered != (time >= 0) || (!answered && ttl != 0))
            return false;
        if (!address(trimmed(f[6]), r.address))
            return false;
        r.year = quint16(year);
        r.month = quint8(month);
        r.day = quint8(day);
        r.hour = quint8(hour);
        r.minute = quint8(minute);
        r.second = quint8(second);
        r.size = qint32(size);
        r.time = qint32(time);
        r.ttl = qint16(ttl);
        r.status = qint32(status);
        return true;
    }

private:
    bool address(QByteArrayView a, quint32 &index)
    {
        if (a.isEmpty() || a.size() > 15)
            return false;
        // A test pings few addresses many times: most lines repeat the last one.
        if (m_hasLast && a == QByteArrayView(m_last)) {
            index = m_lastIndex;
            return true;
        }
        for (char c : a)
            if (c <= ' ' || c > '~')
                return false;
        m_last = a.toByteArray();
        auto found = m_known.constFind(m_last);
        if (found == m_known.cend())
            found = m_known.insert(m_last, m_log.addressIndex(QString::fromLatin1(m_last)));
        m_lastIndex = *found;
        m_hasLast = true;
        index = m_lastIndex;
        return true;
    }

    PingReplyLog &m_log;
    QHash<QByteArray, quint32> m_known;
    QByteArray m_last;
    quint32 m_lastIndex = 0;
    bool m_hasLast = false;
};

// The next line of [pos, end): its text without the line end; pos moves past it.
QByteArrayView nextLine(const char *&pos, const char *end)
{
    const void *nl = std::memchr(pos, '\n', size_t(end - pos));
    const char *lineEnd = nl ? static_cast<const char *>(nl) : end;
    QByteArrayView line(pos, lineEnd - pos);
    pos = nl ? lineEnd + 1 : end;
    return line;
}

} // namespace

bool ParseResultHeader(QByteArrayView line, ResultFileHeader &header)
{
    line = trimmed(line);
    if (line.size() > MaxLineLength)
        return false;
    QByteArrayView f[3];
    const int count = splitFields(line, f, 3);
    if (count > 3)
        return false;
    qint64 targets = 0, step = 1, repeat = 1;
    if (!parseNumber(f[0], 1, MaxTargets, targets))
        return false;
    if (count > 1 && !parseNumber(f[1], 1, INT_MAX, step))
        return false;
    if (count > 2 && !parseNumber(f[2], 1, INT_MAX, repeat))
        return false;
    header.targetCount = int(targets);
    header.sizeStepLength = int(step);
    header.repeat = int(repeat);
    return true;
}

ReloadedPingTest ParseResultFile(QByteArrayView contents, const ReloadProgress &progress)
{
    ReloadedPingTest test;
    const char *pos = contents.data();
    const char *const end = pos + contents.size();
    if (contents.isEmpty())
        return test;

    const QByteArrayView headerLine = trimmed(nextLine(pos, end));
    if (headerLine.isEmpty())
        return test; // nothing was read
    if (!ParseResultHeader(headerLine, test.header)) {
        test.badLine = 1;
        return test;
    }
    test.headerRead = true;

    // Lines still to convert, for the progress label; also the size of the log for
    // a well-formed file (bounded, so a large binary file cannot claim the memory).
    const qsizetype lineBreaks = std::count(pos, end, '\n');
    const qsizetype total = lineBreaks + (end > pos && end[-1] != '\n' ? 1 : 0);
    test.log.reserve(std::min<qsizetype>(total, qsizetype(1) << 23));

    PingSessionStats &stats = test.stats;
    EchoLineReader reader(test.log);
    qint64 lost = 0, sumTime = 0, sumTtl = 0;
    qint32 minTime = NoAnswerYet, maxTime = 0;
    qsizetype converted = 0;
    while (pos < end) {
        const QByteArrayView raw = nextLine(pos, end);
        if (raw.size() > MaxLineLength) {
            test.badLine = converted + 2;
            break;
        }
        const QByteArrayView line = trimmed(raw);
        if (line.isEmpty())
            break; // an empty line ends the log
        PingReplyRecord r;
        if (!reader.read(line, r)) {
            test.badLine = converted + 2;
            break;
        }
        test.log.appendRecord(r);
        if (r.time < 0) {
            ++lost;
        } else {
            minTime = std::min(minTime, r.time);
            maxTime = std::max(maxTime, r.time);
            sumTime += r.time;
            sumTtl += r.ttl;
        }
        if (++converted % ProgressEvery == 0 && progress)
            progress(total - converted);
    }

    stats.sent = test.log.size();
    stats.lost = lost;
    stats.minTime = minTime;
    stats.maxTime = maxTime;
    stats.sumTime = sumTime;
    stats.sumTtl = sumTtl;
    const qint64 received = stats.sent - lost;
    stats.avgTime = received < 1 ? 0 : AverageHalfUp(sumTime, received);
    stats.avgTtl = received < 1 ? 0 : AverageHalfUp(sumTtl, received);
    if (!test.log.isEmpty()) {
        const PingReplyRecord &last = test.log.last();
        stats.lastLine = LastReplyLine(last, test.log.address(last));
        stats.lastTime = last.time;
        stats.lastTtl = last.ttl;
        stats.currentTarget = test.log.address(test.log.at(0));
    }
    if (progress)
        progress(0);
    return test;
}

ReloadedPingTest ReadResultFile(const QString &path, const ReloadProgress &progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    if (size <= 0)
        return {};
    // Mapped, the file is read once by the parser and never copied.
    if (const uchar *data = file.map(0, size)) {
        ReloadedPingTest test =
            ParseResultFile(QByteArrayView(reinterpret_cast<const char *>(data), size), progress);
        file.unmap(const_cast<uchar *>(data));
        return test;
    }
    return ParseResultFile(file.readAll(), progress);
}

bool ReadTargetFile(const QString &path, int count, QStringList &names, QString *error)
{
    names.clear();
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    while (names.size() < count && !file.atEnd()) {
        QByteArray line = file.readLine(MaxLineLength * 2);
        if (line.size() >= MaxLineLength * 2 - 1 && !line.endsWith('\n')) {
            // An over-long line is no target name: skip its rest, keep the line empty.
            while (!file.atEnd() && !file.readLine(1 << 16).endsWith('\n')) {
            }
            line.clear();
        }
        names << QString::fromUtf8(line).trimmed();
    }
    return true;
}

QList<PingTarget> ReloadedTargets(const ReloadedPingTest &test, const QStringList &names)
{
    QList<PingTarget> targets;
    const int count = test.header.targetCount;
    const qint64 repeat = test.header.repeat;
    for (int k = 0; k < count; ++k) {
        const qint64 first = qint64(k) * repeat; // this target's first echo, in the first pass
        const QString address = first < test.log.size()
                                    ? test.log.address(test.log.at(first)).trimmed()
                                    : QString();
        const QString name = k < names.size() && !names.at(k).isEmpty() ? names.at(k) : address;
        targets.append({address.isEmpty() ? name : address, name});
    }
    return targets;
}

} // namespace netvane
