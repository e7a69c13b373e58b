#include "ping/resultreload.h"

#include "platform/textfile.h"

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

// Reads one field of plain decimal digits (led by '-' when `low` is negative) that
// ends at a comma, or at the line's end for the last field; p moves past the comma.
bool readNumber(const char *&p, const char *end, bool last, qint64 low, qint64 high, qint64 &out)
{
    bool negative = false;
    if (low < 0 && p < end && *p == '-') {
        negative = true;
        ++p;
    }
    const char *const first = p;
    qint64 value = 0;
    while (p < end && unsigned(*p - '0') <= 9 && p - first < 11)
        value = value * 10 + (*p++ - '0');
    if (p == first)
        return false;
    if (last ? p != end : (p == end || *p++ != ','))
        return false;
    if (negative)
        value = -value;
    if (value < low || value > high)
        return false;
    out = value;
    return true;
}

class EchoLineReader
{
public:
    explicit EchoLineReader(PingReplyLog &log) : m_log(log) {}

    // "yyyy,mm,dd,hh,mm,ss,address,size,time,ttl,status", every field as the store
    // writes it.
    bool read(QByteArrayView line, PingReplyRecord &r)
    {
        const char *p = line.data();
        const char *const end = p + line.size();
        // The date and time are fixed width: 20 characters with their commas.
        if (line.size() < 20 + 9)
            return false;
        // Echoes of one second share them; check and convert them once a second.
        if (!m_hasStamp || std::memcmp(p, m_stampText, 20) != 0) {
            if (!readStamp(p))
                return false;
        }
        r.year = m_stamp.year;
        r.month = m_stamp.month;
        r.day = m_stamp.day;
        r.hour = m_stamp.hour;
        r.minute = m_stamp.minute;
        r.second = m_stamp.second;
        p += 20;

        const char *const addressStart = p;
        while (p < end && *p != ',' && p - addressStart <= 15)
            ++p;
        if (p == end || *p != ',' || !address(QByteArrayView(addressStart, p), r.address))
            return false;
        ++p;

        qint64 size = 0, time = 0, ttl = 0, status = 0;
        if (!readNumber(p, end, false, 0, 65535, size) || !readNumber(p, end, false, -1, INT_MAX, time)
            || !readNumber(p, end, false, 0, 255, ttl)
            || !readNumber(p, end, true, INT_MIN, INT_MAX, status))
            return false;
        // The store writes a time and TTL only for an answer, and only status 0 answers.
        const bool answered = IsAnswered(qint32(status));
        if (answered != (time >= 0) || (!answered && ttl != 0))
            return false;
        r.size = qint32(size);
        r.time = qint32(time);
        r.ttl = qint16(ttl);
        r.status = qint32(status);
        return true;
    }

private:
    // "yyyy,mm,dd,hh,mm,ss," with every digit and comma in its place and a real date.
    bool readStamp(const char *p)
    {
        static constexpr int Commas[] = {4, 7, 10, 13, 16, 19};
        unsigned bad = 0;
        for (int i : Commas)
            bad |= unsigned(p[i] != ',');
        const auto digit = [&](int i) {
            const unsigned d = unsigned(p[i] - '0');
            bad |= unsigned(d > 9);
            return int(d);
        };
        const int year = digit(0) * 1000 + digit(1) * 100 + digit(2) * 10 + digit(3);
        const int month = digit(5) * 10 + digit(6);
        const int day = digit(8) * 10 + digit(9);
        const int hour = digit(11) * 10 + digit(12);
        const int minute = digit(14) * 10 + digit(15);
        const int second = digit(17) * 10 + digit(18);
        if (bad || year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)
            || hour > 23 || minute > 59 || second > 59)
            return false;
        m_stamp.year = quint16(year);
        m_stamp.month = quint8(month);
        m_stamp.day = quint8(day);
        m_stamp.hour = quint8(hour);
        m_stamp.minute = quint8(minute);
        m_stamp.second = quint8(second);
        std::memcpy(m_stampText, p, 20);
        m_hasStamp = true;
        return true;
    }

    bool address(QByteArrayView a, quint32 &index)
    {
        if (a.isEmpty() || a.size() > 15)
            return false;
        // A test pings few addresses many times: most lines repeat a recent one.
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
    PingReplyRecord m_stamp;
    char m_stampText[20] = {};
    bool m_hasStamp = false;
    QHash<QByteArray, quint32> m_known;
    QByteArray m_last;
    quint32 m_lastIndex = 0;
    bool m_hasLast = false;
};

// Converts a result file line by line, as it is read: the header first, then the
// echoes, until the end, an empty line or a malformed line.
class ResultFileConverter
{
public:
    ResultFileConverter(qint64 totalBytes, const ReloadProgress &progress)
        : m_totalBytes(totalBytes), m_progress(progress), m_reader(m_test.log)
    {
        // Room for the echoes of a well-formed file of this size (bounded, so that a
        // large file of something else cannot claim the memory up front).
        m_test.log.reserve(qsizetype(std::min<qint64>(totalBytes / 40 + 1, qint64(1) << 23)));
    }

    // One line without its line end; false once reading has ended.
    bool line(QByteArrayView raw)
    {
        m_consumed += raw.size() + 1;
        ++m_lineNumber;
        if (raw.size() > MaxLineLength)
            return stopBad();
        const QByteArrayView text = trimmed(raw);
        if (text.isEmpty())
            return false; // an empty line ends the log (and an empty first line: nothing read)
        if (m_lineNumber == 1) {
            if (!ParseResultHeader(text, m_test.header))
                return stopBad();
            m_test.headerRead = true;
            return true;
        }
        PingReplyRecord r;
        if (!m_reader.read(text, r))
            return stopBad();
        m_test.log.appendRecord(r);
        if (r.time < 0) {
            ++m_lost;
        } else {
            m_minTime = std::min(m_minTime, r.time);
            m_maxTime = std::max(m_maxTime, r.time);
            m_sumTime += r.time;
            m_sumTtl += r.ttl;
        }
        if (m_progress && m_test.log.size() % ProgressEvery == 0) {
            // Lines still to convert, from the bytes left and the length of a line so far.
            const qint64 left = std::max<qint64>(m_totalBytes - m_consumed, 0);
            m_progress(qsizetype(left * m_test.log.size() / std::max<qint64>(m_consumed, 1)));
        }
        return true;
    }

    // A line longer than any well-formed one, met before its end was read.
    void overlongLine()
    {
        ++m_lineNumber;
        stopBad();
    }

    ReloadedPingTest finish()
    {
        PingSessionStats &stats = m_test.stats;
        stats.sent = m_test.log.size();
        stats.lost = m_lost;
        stats.minTime = m_minTime;
        stats.maxTime = m_maxTime;
        stats.sumTime = m_sumTime;
        stats.sumTtl = m_sumTtl;
        const qint64 received = stats.sent - m_lost;
        stats.avgTime = received < 1 ? 0 : AverageHalfUp(m_sumTime, received);
        stats.avgTtl = received < 1 ? 0 : AverageHalfUp(m_sumTtl, received);
        if (!m_test.log.isEmpty()) {
            const PingReplyLog &log = m_test.log;
            stats.lastLine = LastReplyLine(log.last(), log.address(log.last()));
            stats.lastTime = log.last().time;
            stats.lastTtl = log.last().ttl;
            stats.currentTarget = log.address(log.at(0));
        }
        if (m_progress)
            m_progress(0);
        return std::move(m_test);
    }

private:
    bool stopBad()
    {
        m_test.badLine = m_lineNumber;
        return false;
    }

    ReloadedPingTest m_test;
    qint64 m_totalBytes;
    qint64 m_consumed = 0;
    qsizetype m_lineNumber = 0;
    const ReloadProgress &m_progress;
    EchoLineReader m_reader;
    qint64 m_lost = 0, m_sumTime = 0, m_sumTtl = 0;
    qint32 m_minTime = NoAnswerYet, m_maxTime = 0;
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
    ResultFileConverter converter(contents.size(), progress);
    const char *pos = contents.data();
    const char *const end = pos + contents.size();
    while (pos < end && converter.line(nextLine(pos, end))) {
    }
    return converter.finish();
}

ReloadedPingTest ReadResultFile(const QString &path, const ReloadProgress &progress)
{
    QFile file;
    if (!OpenRegularFile(file, path)) // a FIFO there must not block the start
        return {};
    ResultFileConverter converter(file.size(), progress);
    // Read in pieces into one buffer: the file may be far larger than what is kept.
    constexpr qsizetype Piece = 1 << 20;
    QByteArray buffer(Piece + MaxLineLength + 1, Qt::Uninitialized);
    qsizetype carried = 0; // the start of a line whose end is not read yet
    bool reading = true;
    while (reading) {
        const qint64 got = file.read(buffer.data() + carried, Piece);
        if (got <= 0) {
            if (carried > 0) // the last line, without a line end
                converter.line(QByteArrayView(buffer.constData(), carried));
            break;
        }
        const char *pos = buffer.constData();
        const char *const end = pos + carried + got;
        for (;;) {
            const void *nl = std::memchr(pos, '\n', size_t(end - pos));
            if (!nl)
                break;
            const char *lineEnd = static_cast<const char *>(nl);
            if (!converter.line(QByteArrayView(pos, lineEnd))) {
                reading = false;
                break;
            }
            pos = lineEnd + 1;
        }
        if (!reading)
            break;
        carried = end - pos;
        if (carried > MaxLineLength) {
            converter.overlongLine();
            break;
        }
        std::memmove(buffer.data(), pos, size_t(carried));
    }
    return converter.finish();
}

bool ReadTargetFile(const QString &path, int count, QStringList &names, QString *error)
{
    names.clear();
    if (!QFile::exists(path))
        return true;
    QFile file;
    if (!OpenRegularFile(file, path, error))
        return false;
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
