#include "ping/resultreload.h"

#include "platform/textfile.h"
#include "platform/filereader.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <array>
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

// Reads plain decimal digits (led by '-' when `low` is negative) within [low, high];
// p moves past them, to what must end the field.
Q_ALWAYS_INLINE bool readDigits(const char *&p, const char *end, qint64 low, qint64 high, qint64 &out)
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
    if (negative)
        value = -value;
    if (value < low || value > high)
        return false;
    out = value;
    return true;
}

// One field of digits that ends at a comma, p moving past the comma.
Q_ALWAYS_INLINE bool readNumber(const char *&p, const char *end, qint64 low, qint64 high, qint64 &out)
{
    return readDigits(p, end, low, high, out) && p < end && *p++ == ',';
}

} // namespace

// Texts of at most 16 bytes compared with two overlapping 8-byte loads.
inline bool sameShortText(const char *a, const char *b, qsizetype n)
{
    if (n < 8)
        return std::memcmp(a, b, size_t(n)) == 0;
    quint64 a1, a2, b1, b2;
    std::memcpy(&a1, a, 8);
    std::memcpy(&a2, a + n - 8, 8);
    std::memcpy(&b1, b, 8);
    std::memcpy(&b2, b + n - 8, 8);
    return a1 == b1 && a2 == b2;
}

class EchoLineReader
{
public:
    explicit EchoLineReader(PingReplyLog &log) : m_log(log) {}

    // Lets the owner empty the address table the reader fills.
    void forget()
    {
        m_known.clear();
        m_recentCount = 0;
    }

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
        if (!m_hasStamp || !sameStamp(p)) {
            if (!readStamp(p))
                return false;
        }
        r = m_stamp; // the date and time; every other field is set below
        p += 20;

        if (!recentAddress(p, end, r.address)) {
            const char *const addressStart = p;
            const void *comma = std::memchr(p, ',', size_t(std::min<qsizetype>(end - p, MaxRecordedAddress + 1)));
            if (!comma)
                return false;
            p = static_cast<const char *>(comma);
            if (!address(QByteArrayView(addressStart, p), r.address))
                return false;
            ++p;
        }

        // The status ends the line.
        return numbers(p, end, r) && p == end;
    }

    // The common line, read where it lies in a buffer: a recent address, then the
    // numbers and "\r\n" or "\n". Returns where the next line begins; null when the
    // line is not of this shape or not wholly in [p, end), and then read() takes it
    // with every rule.
    Q_ALWAYS_INLINE const char *readCommon(const char *p, const char *end, PingReplyRecord &r)
    {
        if (end - p < 20 + 9)
            return nullptr;
        if (!m_hasStamp || !sameStamp(p)) {
            if (!readStamp(p))
                return nullptr;
        }
        p += 20;
        quint32 index;
        if (!recentAddress(p, end, index))
            return nullptr;
        r = m_stamp;
        r.address = index;
        if (!numbers(p, end, r))
            return nullptr;
        if (p < end && *p == '\n')
            return p + 1;
        if (end - p >= 2 && p[0] == '\r' && p[1] == '\n')
            return p + 2;
        return nullptr;
    }

private:
    // "size,time,ttl,status" as the store writes them; p stops after the status.
    Q_ALWAYS_INLINE static bool numbers(const char *&p, const char *end, PingReplyRecord &r)
    {
        qint64 size = 0, time = 0, ttl = 0, status = 0;
        if (!readNumber(p, end, 0, 65535, size) || !readNumber(p, end, -1, INT_MAX, time)
            || !readNumber(p, end, 0, 255, ttl) || !readDigits(p, end, INT_MIN, INT_MAX, status))
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

    // The 20 characters of the date and time are those of the last stamp read.
    bool sameStamp(const char *p) const
    {
        quint64 a1, a2, b1, b2;
        quint32 a3, b3;
        std::memcpy(&a1, p, 8);
        std::memcpy(&a2, p + 8, 8);
        std::memcpy(&a3, p + 16, 4);
        std::memcpy(&b1, m_stampText, 8);
        std::memcpy(&b2, m_stampText + 8, 8);
        std::memcpy(&b3, m_stampText + 16, 4);
        return ((a1 ^ b1) | (a2 ^ b2) | (a3 ^ b3)) == 0;
    }

    // An address field at p that is one of the recent ones, comma and all: its index,
    // and p moves past the comma. A recent address holds no comma, so a match is the
    // whole field.
    bool recentAddress(const char *&p, const char *end, quint32 &index) const
    {
        for (int i = 0; i < m_recentCount; ++i) {
            const RecentAddress &recent = m_recent[size_t(i)];
            const qsizetype n = recent.size;
            if (end - p > n && p[n] == ',' && sameShortText(recent.text, p, n)) {
                index = recent.index;
                p += n + 1;
                return true;
            }
        }
        return false;
    }

    // "yyyy,mm,dd,hh,mm,ss," with every digit and comma in its place and a real date.
    bool readStamp(const char *p)
    {
        // Within a minute only the seconds change.
        if (m_hasStamp && std::memcmp(p, m_stampText, 17) == 0) {
            const unsigned tens = unsigned(p[17] - '0'), ones = unsigned(p[18] - '0');
            if (tens > 5 || ones > 9 || p[19] != ',')
                return false;
            m_stamp.second = quint8(tens * 10 + ones);
            std::memcpy(m_stampText + 17, p + 17, 3);
            return true;
        }
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

    // An address that is not a recent one; it becomes the newest recent one.
    bool address(QByteArrayView a, quint32 &index)
    {
        if (a.isEmpty() || a.size() > 15)
            return false;
        for (char c : a)
            if (c <= ' ' || c > '~')
                return false;
        auto found = m_known.constFind(QByteArray::fromRawData(a.data(), a.size()));
        if (found == m_known.cend())
            found = m_known.insert(a.toByteArray(), m_log.addressIndex(QString::fromLatin1(a)));
        RecentAddress &recent = m_recent[size_t(m_recentNext)];
        std::memcpy(recent.text, a.data(), size_t(a.size()));
        recent.size = a.size();
        recent.index = *found;
        m_recentNext = (m_recentNext + 1) % int(m_recent.size());
        m_recentCount = std::min(m_recentCount + 1, int(m_recent.size()));
        index = recent.index;
        return true;
    }

    struct RecentAddress {
        char text[16];
        qsizetype size = 0;
        quint32 index = 0;
    };

    PingReplyLog &m_log;
    PingReplyRecord m_stamp;
    char m_stampText[20] = {};
    bool m_hasStamp = false;
    QHash<QByteArray, quint32> m_known;
    std::array<RecentAddress, 4> m_recent{};
    int m_recentCount = 0;
    int m_recentNext = 0;
};

namespace {

// A reader of stored echoes keeps the addresses it meets; a damaged file could hold
// millions of distinct ones, so the table starts afresh beyond this many.
constexpr qsizetype MaxAddresses = 4096;

const QString ChangedText = QStringLiteral("The result file has changed since it was read.");

// Converts a result file line by line, as it is read: the header first, then the
// echoes, until the end, an empty line or a malformed line.
class ResultFileConverter
{
public:
    // With a path the log is backed by that file (as `stamp` describes it): only the
    // positions of its echo lines are kept.
    ResultFileConverter(qint64 totalBytes, const ReloadProgress &progress,
                        const QString &path = {}, const FileStamp &stamp = {})
        : m_totalBytes(totalBytes), m_progress(progress), m_fileBacked(!path.isEmpty()),
          m_reader(m_fileBacked ? m_addresses : m_test.log)
    {
        if (m_fileBacked)
            m_test.log.useResultFile(path, stamp);
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
        // Read into one of two records in turn: the other keeps the last echo read,
        // and no record is copied on the way.
        PingReplyRecord &r = m_fileBacked ? m_pair[m_slot] : m_one;
        if (m_fileBacked && m_addresses.addressCount() > MaxAddresses) {
            if (m_lastIndex != quint32(-1))
                m_lastAddress = lastAddress();
            m_reader.forget();
            m_addresses.clear();
            m_lastIndex = quint32(-1);
        }
        if (!m_reader.read(text, r))
            return stopBad();
        take(m_consumed - raw.size() - 1, r);
        return true;
    }

    // Takes the common lines from `pos` on (see EchoLineReader::readCommon) and returns
    // where the first other one begins: line() takes that one.
    const char *commonLines(const char *pos, const char *end)
    {
        if (m_lineNumber == 0)
            return pos; // the header comes first
        for (;;) {
            PingReplyRecord &r = m_fileBacked ? m_pair[m_slot] : m_one;
            const char *const next = m_reader.readCommon(pos, end, r);
            if (!next)
                return pos;
            ++m_lineNumber;
            const qint64 offset = m_consumed;
            m_consumed += next - pos;
            take(offset, r);
            pos = next;
        }
    }

    // A line longer than any well-formed one, met before its end was read.
    void overlongLine()
    {
        ++m_lineNumber;
        stopBad();
    }

private:
    // An echo read from the line at `offset`.
    Q_ALWAYS_INLINE void take(qint64 offset, const PingReplyRecord &r)
    {
        if (m_fileBacked)
            storeIndexed(offset, r);
        else
            m_test.log.appendRecord(r);
        if (r.time < 0) {
            ++m_lost;
        } else {
            m_minTime = std::min(m_minTime, r.time);
            m_maxTime = std::max(m_maxTime, r.time);
            m_sumTime += r.time;
            m_sumTtl += r.ttl;
        }
        if (++m_echoes % ProgressEvery == 0 && m_progress) {
            // Lines still to convert, from the bytes left and the length of a line so far.
            const qint64 left = std::max<qint64>(m_totalBytes - m_consumed, 0);
            m_progress(qsizetype(left * m_test.log.size() / std::max<qint64>(m_consumed, 1)));
        }
    }

public:
    ReloadedPingTest finish()
    {
        if (m_fileBacked && !m_test.log.isEmpty()) {
            PingReplyRecord last = m_pair[m_lastSlot];
            last.address = m_test.log.addressIndex(m_lastIndex == quint32(-1) ? m_lastAddress
                                                                               : lastAddress());
            m_test.log.setLastStored(last);
        }
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

    // r's address is in the reader's own table; the log keeps the first and last
    // echo's in its table.
    Q_ALWAYS_INLINE void storeIndexed(qint64 offset, const PingReplyRecord &r)
    {
        if (m_echoes == 0) {
            PingReplyRecord first = r;
            first.address = m_test.log.addressIndex(m_addresses.address(r));
            m_test.log.addStored(offset, first);
        } else {
            m_test.log.indexStored(offset);
        }
        m_lastIndex = r.address;
        m_lastSlot = m_slot;
        m_slot ^= 1;
    }

    // The address of the last echo read, from the reader's table.
    QString lastAddress() const
    {
        PingReplyRecord r;
        r.address = m_lastIndex;
        return m_addresses.address(r);
    }

    ReloadedPingTest m_test;
    qint64 m_totalBytes;
    qint64 m_consumed = 0;
    qsizetype m_lineNumber = 0;
    const ReloadProgress &m_progress;
    bool m_fileBacked;
    PingReplyLog m_addresses; // the reader's address table, when the log is backed by the file
    QString m_lastAddress;
    quint32 m_lastIndex = quint32(-1);
    qsizetype m_echoes = 0; // read so far
    PingReplyRecord m_pair[2];
    PingReplyRecord m_one;
    int m_slot = 0;
    int m_lastSlot = 0;
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
    while ((pos = converter.commonLines(pos, end)) < end && converter.line(nextLine(pos, end))) {
    }
    return converter.finish();
}

ReloadedPingTest ReadResultFile(const QString &path, const ReloadProgress &progress)
{
    FileReader file;
    if (!file.open(path, true))
        return {};
    // The file as it is read; any later change shows as a different stamp.
    const FileStamp stamp = file.stamp();
    ResultFileConverter converter(stamp.size, progress, path, stamp);
    // Read in pieces, the next ones while this one is converted: the file may be far
    // larger than what is kept. A line a piece cuts is carried to the front of the next.
    ReadAheadFile pieces(file, 1 << 18, MaxLineLength + 1);
    char carry[MaxLineLength + 1];
    qsizetype carried = 0;
    for (;;) {
        char *piece = nullptr;
        const qint64 got = pieces.next(piece);
        if (got < 0)
            break; // a read error ends the file; a line it cut is not taken
        if (got == 0) {
            if (carried > 0) // the last line, without a line end
                converter.line(QByteArrayView(carry, carried));
            break;
        }
        char *const start = piece - carried;
        std::memcpy(start, carry, size_t(carried));
        const char *pos = start;
        const char *const end = piece + got;
        bool reading = true;
        for (;;) {
            pos = converter.commonLines(pos, end);
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
        std::memcpy(carry, pos, size_t(carried));
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
    EchoCursor cursor(test.log);
    PingReplyRecord r;
    for (int k = 0; k < count; ++k) {
        const qint64 first = qint64(k) * repeat; // this target's first echo, in the first pass
        QString address;
        if (first < test.log.size()) {
            cursor.seek(qsizetype(first));
            cursor.next(r, address);
            address = address.trimmed();
        }
        const QString name = k < names.size() && !names.at(k).isEmpty() ? names.at(k) : address;
        targets.append({address.isEmpty() ? name : address, name});
    }
    return targets;
}

EchoCursor::EchoCursor(const PingReplyLog &log, bool wholePass)
    : m_log(log), m_buffer(wholePass ? (1 << 20) : (16 << 10), Qt::Uninitialized),
      m_lines(std::make_unique<EchoLineReader>(m_addresses))
{
}

EchoCursor::~EchoCursor() = default;

bool EchoCursor::fail(const QString &error)
{
    m_failed = true;
    m_error = error;
    return false;
}

bool EchoCursor::next(PingReplyRecord &record, QString &address)
{
    if (!next(record))
        return false;
    address = *m_address;
    return true;
}

bool EchoCursor::next(PingReplyRecord &record)
{
    if (m_failed || m_wanted < 0 || m_wanted >= m_log.size())
        return false;
    const StoredEchoIndex &stored = m_log.storedEchoes();
    if (m_wanted >= stored.rows) {
        record = m_log.memoryRecords()[size_t(m_wanted - stored.rows)];
        m_address = &m_log.address(record);
        ++m_wanted;
        return true;
    }
    if (!m_opened) {
        m_opened = true;
        if (!m_file.open(stored.path, m_buffer.size() > (64 << 10)))
            return fail(m_file.errorString());
        if (!stored.stamp.exists || m_file.stamp() != stored.stamp)
            return fail(ChangedText);
    }
    // Forward by a little: line by line from here; else from the indexed line before.
    if (m_row < 0 || m_wanted < m_row || m_wanted - m_row > StoredEchoIndex::Stride) {
        const qsizetype slot = m_wanted / StoredEchoIndex::Stride;
        m_bufferOffset = stored.offsets[size_t(slot)];
        m_fill = m_pos = 0;
        m_row = slot * StoredEchoIndex::Stride;
    }
    QByteArrayView line;
    for (; m_row < m_wanted; ++m_row)
        if (!nextLine(line))
            return false;
    const char *const base = m_buffer.constData();
    if (const char *after = m_lines->readCommon(base + m_pos, base + m_fill, record)) {
        m_pos = after - base;
    } else {
        if (!nextLine(line))
            return false;
        if (m_addresses.addressCount() > MaxAddresses) {
            m_lines->forget();
            m_addresses.clear();
        }
        if (line.size() > MaxLineLength || !m_lines->read(trimmed(line), record))
            return fail(ChangedText);
    }
    ++m_row;
    m_address = &m_addresses.address(record);
    record.address = quint32(-1); // the log's table does not hold it: use address()
    ++m_wanted;
    return true;
}

bool EchoCursor::nextLine(QByteArrayView &line)
{
    for (;;) {
        const char *start = m_buffer.constData() + m_pos;
        if (const void *nl = std::memchr(start, '\n', size_t(m_fill - m_pos))) {
            const char *end = static_cast<const char *>(nl);
            line = QByteArrayView(start, end);
            m_pos = end + 1 - m_buffer.constData();
            return true;
        }
        if (m_fill - m_pos > MaxLineLength)
            return fail(ChangedText);
        std::memmove(m_buffer.data(), start, size_t(m_fill - m_pos));
        m_bufferOffset += m_pos;
        m_fill -= m_pos;
        m_pos = 0;
        const qint64 got = m_file.read(m_bufferOffset + m_fill, m_buffer.data() + m_fill,
                                       m_buffer.size() - m_fill);
        if (got < 0)
            return fail(m_file.errorString());
        if (got == 0) {
            if (m_fill == 0)
                return fail(ChangedText);
            line = QByteArrayView(m_buffer.constData(), m_fill); // the last line, without a line end
            m_pos = m_fill;
            return true;
        }
        m_fill += got;
    }
}

} // namespace netvane
