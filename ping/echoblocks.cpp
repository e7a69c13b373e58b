#include "ping/echoblocks.h"

#include "ping/latencystats.h"
#include "probe/echoprobe.h"

#include <QHash>

#include <algorithm>
#include <climits>
#include <cstring>
#include <system_error>

namespace netvane {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0))
        return 29;
    return days[month - 1];
}

// Reads plain decimal digits (led by '-' when `low` is negative) within [low, high];
// p moves past them, to what must end the field.
// `Unbounded`: the caller knows that the field's 13 bytes (a sign, 11 digits and what
// ends it) lie before `end`.
template <bool Unbounded = false>
Q_ALWAYS_INLINE bool readDigits(const char *&p, const char *end, qint64 low, qint64 high, qint64 &out)
{
    bool negative = false;
    if (low < 0 && (Unbounded || p < end) && *p == '-') {
        negative = true;
        ++p;
    }
    const char *const first = p;
    qint64 value = 0;
    while ((Unbounded || p < end) && unsigned(*p - '0') <= 9 && p - first < 11)
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
template <bool Unbounded = false>
Q_ALWAYS_INLINE bool readNumber(const char *&p, const char *end, qint64 low, qint64 high, qint64 &out)
{
    return readDigits<Unbounded>(p, end, low, high, out) && (Unbounded || p < end) && *p++ == ',';
}

} // namespace

QByteArrayView TrimmedLine(QByteArrayView v)
{
    qsizetype b = 0, e = v.size();
    while (b < e && isBlank(v[b]))
        ++b;
    while (e > b && isBlank(v[e - 1]))
        --e;
    return v.sliced(b, e - b);
}

namespace {

// Texts of at most 16 bytes compared with two overlapping 8-byte loads.
bool sameShortText(const char *a, const char *b, qsizetype n)
{
    if (n < 8 || n > 16) // the two words below cover 8 to 16 characters
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

    // "yyyy,mm,dd,hh,mm,ss,address,size,time,ttl,status", every field as the store
    // writes it.
    bool read(QByteArrayView line, PingReplyRecord &r)
    {
        const char *p = line.data();
        const char *const end = p + line.size();
        // The date and time are fixed width: 20 characters with their commas.
        if (line.size() < 20 + 9)
            return false;
        if (!stamp(p))
            return false;
        r = m_stamp; // the date and time; every other field is set below
        r.second = m_second;
        p += 20;

        if (!recentAddress(p, end, r.address)) {
            const char *const addressStart = p;
            const void *comma = std::memchr(p, ',', size_t(std::min<qsizetype>(end - p, MaxRecordedIpv6Address + 1)));
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
        if (!stamp(p))
            return nullptr;
        p += 20;
        quint32 index;
        if (!recentAddress(p, end, index))
            return nullptr;
        r = m_stamp;
        r.second = m_second;
        r.address = index;
        // Four fields of at most a sign, 11 digits and a comma each, then the line end:
        // where the buffer holds that much more, the digits need no end check.
        if (!(end - p >= 4 * 13 + 2 ? numbers<true>(p, end, r) : numbers(p, end, r)))
            return nullptr;
        if (p < end && *p == '\n')
            return p + 1;
        if (end - p >= 2 && p[0] == '\r' && p[1] == '\n')
            return p + 2;
        return nullptr;
    }

private:
    // "size,time,ttl,status" as the store writes them; p stops after the status.
    template <bool Unbounded = false>
    Q_ALWAYS_INLINE static bool numbers(const char *&p, const char *end, PingReplyRecord &r)
    {
        qint64 size = 0, time = 0, ttl = 0, status = 0;
        if (!readNumber<Unbounded>(p, end, 0, 65535, size) || !readNumber<Unbounded>(p, end, -1, INT_MAX, time)
            || !readNumber<Unbounded>(p, end, 0, 255, ttl)
            || !readDigits<Unbounded>(p, end, INT_MIN, INT_MAX, status))
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

    // "yyyy,mm,dd,hh,mm,ss," at p. Echoes of one minute share all but the seconds:
    // the rest is compared a word at a time, and checked and converted once a minute.
    Q_ALWAYS_INLINE bool stamp(const char *p)
    {
        quint64 a1, a2;
        std::memcpy(&a1, p, 8);
        std::memcpy(&a2, p + 8, 8);
        if (!m_hasStamp || ((a1 ^ m_minuteText[0]) | (a2 ^ m_minuteText[1])) != 0 || p[16] != ',')
            return readStamp(p);
        const unsigned tens = unsigned(p[17] - '0'), ones = unsigned(p[18] - '0');
        if (tens > 5 || ones > 9 || p[19] != ',')
            return false;
        m_second = quint8(tens * 10 + ones);
        return true;
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
        m_second = quint8(second);
        std::memcpy(&m_minuteText[0], p, 8);
        std::memcpy(&m_minuteText[1], p + 8, 8);
        m_hasStamp = true;
        return true;
    }

    // An address that is not a recent one; it becomes the newest recent one.
    bool address(QByteArrayView a, quint32 &index)
    {
        // As the store writes them: a dotted address in 15 characters, an IPv6 one in 55.
        if (a.isEmpty() || a.size() > (a.contains(':') ? MaxRecordedIpv6Address : MaxRecordedAddress))
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
        char text[MaxRecordedIpv6Address];
        qsizetype size = 0;
        quint32 index = 0;
    };

    PingReplyLog &m_log;
    PingReplyRecord m_stamp;
    // The stamp to the minute as a record holds it, its text's first 16 characters,
    // and its second apart: a record copied whole from a stamp whose second was just
    // written would wait for that write.
    quint64 m_minuteText[2] = {0, 0};
    quint8 m_second = 0;
    bool m_hasStamp = false;
    QHash<QByteArray, quint32> m_known;
    std::array<RecentAddress, 4> m_recent{};
    int m_recentCount = 0;
    int m_recentNext = 0;
};

} // namespace

namespace {

// A buffer at least `bytes` long: the one at hand, or a new one with room to spare, so
// that blocks of a little more than the last do not each map a new one.
void Grow(PageBuffer &buffer, qint64 bytes)
{
    if (buffer.size() >= bytes)
        return;
    constexpr qint64 Step = 64 << 10;
    buffer = PageBuffer((bytes + bytes / 8 + Step - 1) / Step * Step);
}

} // namespace

void EchoBlock::reserve(qint64 bytes, qsizetype records, qsizetype lines)
{
    Grow(m_bytes, bytes);
    Grow(m_recordSpace, records * qint64(sizeof(PingReplyRecord)));
    Grow(m_offsetSpace, lines * qint64(sizeof(quint32)));
}

void EchoBlock::bad(qsizetype line)
{
    if (m_badLines < KeptBadLines)
        m_badLine[size_t(m_badLines)] = line;
    ++m_badLines;
}

void EchoBlock::read(const EchoBytes &bytes, qint64 begin, qint64 end, bool startsLine,
                     bool keepRecords, int outageAfter)
{
    m_begin = begin;
    m_runs.clear();
    m_runOf.clear();
    m_count = m_lines = m_badLines = 0;
    m_lost = m_sumTime = m_sumTtl = 0;
    m_minTime = INT_MAX;
    m_maxTime = 0;
    m_lastSlot = 0;
    m_empty = m_failed = false;
    m_addresses.clear();
    end = std::min(end, bytes.size);
    if (begin >= end)
        return;
    // The byte before the block tells whether a line begins at it; the bytes after it
    // finish the last line that begins in it, or show that it is too long to be one.
    const qint64 from = startsLine ? begin : begin - 1;
    qint64 to = std::min(end + MaxLineLength + 1, bytes.size);
    // Every echo line takes at least 30 bytes with its line end.
    reserve(bytes.memory ? 0 : to - from, keepRecords ? (end - begin) / 30 + 2 : 0,
            (end - begin) / 30 + 2);
    const char *base = bytes.memory ? bytes.memory + from : nullptr;
    if (!base) {
        const qint64 got = bytes.file->readShared(from, m_bytes.data(), to - from, &m_error);
        if (got < 0) {
            m_failed = true;
            return;
        }
        to = from + got; // short only where the file was cut meanwhile
        if (to <= begin)
            return;
        base = m_bytes.data();
    }
    const char *p = base + (begin - from);
    const char *const ownedEnd = base + (std::min(end, to) - from);
    const char *const windowEnd = base + (to - from);
    const bool windowEndsFile = to == bytes.size || to < std::min(end + MaxLineLength + 1, bytes.size);
    if (!startsLine && base[0] != '\n') {
        const void *nl = std::memchr(p, '\n', size_t(ownedEnd - p));
        if (!nl)
            return; // a line that began before the block runs through it
        p = static_cast<const char *>(nl) + 1;
    }

    EchoLineReader reader(m_addresses);
    PingReplyRecord *const out = keepRecords ? records() : nullptr;
    quint32 *const at = offsets();
    int slot = 0;
    // Counted in locals, not in the members, so that they stay in registers.
    qsizetype count = 0, lines = 0;
    qint64 lost = 0, sumTime = 0, sumTtl = 0;
    qint32 minTime = INT_MAX, maxTime = 0;
    // A run is handed out when it ends, with the answer that ends it (the order of one
    // address's changes is kept; that of different addresses does not matter), and a
    // run between two answers too short to be an outage not at all.
    constexpr qint32 Unseen = -2, Answered = -1, FirstRun = 0, InnerRun = 1;
    AddressRun *runOf = m_runOf.data();
    size_t runOfSize = 0;
    // The change, when the echo is not one more of the same; out of the loop's way.
    const auto run = [&](const PingReplyRecord &r) __attribute__((noinline)) {
        if (r.address >= m_runOf.size()) {
            m_runOf.resize(size_t(r.address) + 1);
            runOf = m_runOf.data();
            runOfSize = m_runOf.size();
        }
        AddressRun &a = runOf[r.address];
        if (r.time < 0) {
            if (a.state >= FirstRun) {
                ++a.lost;
                return;
            }
            a.state = a.state == Answered ? InnerRun : FirstRun;
            a.echo = quint32(count);
            a.lost = 1;
            a.first = r;
            return;
        }
        if (a.state == Answered)
            return;
        if (a.state == FirstRun || (a.state == InnerRun && a.lost >= outageAfter))
            m_runs.push_back({EchoSeconds(a.first), r.address, a.echo, a.lost});
        m_runs.push_back({EchoSeconds(r), r.address, quint32(count), 0});
        a.state = Answered;
    };
    // An echo read into r from the line at `start`; in the loop, with its counts in registers.
    const auto take = [&](const PingReplyRecord &r, const char *start) __attribute__((always_inline)) {
        if (outageAfter > 0) {
            // Most echoes are one more answer or one more lost echo of their address, or
            // the start or end of a short run between answers: no change to hand out.
            AddressRun *a = r.address < runOfSize ? runOf + r.address : nullptr;
            const bool answered = r.time >= 0;
            if (!a || a->state == Unseen) {
                run(r);
            } else if (!answered) {
                if (a->state >= FirstRun) {
                    ++a->lost;
                } else {
                    a->state = InnerRun;
                    a->echo = quint32(count);
                    a->lost = 1;
                    a->first = r;
                }
            } else if (a->state == InnerRun && a->lost < outageAfter) {
                a->state = Answered;
            } else if (a->state != Answered) {
                run(r);
            }
        }
        at[count] = quint32(start - base - (begin - from));
        if (count++ == 0)
            m_first = r;
        if (r.time < 0) {
            ++lost;
        } else {
            minTime = std::min(minTime, r.time);
            maxTime = std::max(maxTime, r.time);
            sumTime += r.time;
            sumTtl += r.ttl;
        }
        if (!out) { // the other of the pair takes the next echo, this one stays the last
            m_lastSlot = slot;
            slot ^= 1;
        }
    };
    while (p < ownedEnd) {
        PingReplyRecord &r = out ? out[count] : m_pair[slot];
        if (const char *next = reader.readCommon(p, windowEnd, r)) {
            take(r, p);
            ++lines;
            p = next;
            continue;
        }
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(windowEnd - p)));
        const qsizetype line = lines++;
        if (!nl && !windowEndsFile) {
            bad(line); // longer than any echo line; its end lies past the block
            break;
        }
        const char *const lineEnd = nl ? nl : windowEnd; // the last line may have no line end
        const QByteArrayView raw(p, lineEnd - p);
        const QByteArrayView text = TrimmedLine(raw);
        if (raw.size() > MaxLineLength) {
            bad(line);
        } else if (text.isEmpty()) {
            m_empty = true;
            break;
        } else if (reader.read(text, r)) {
            take(r, p);
        } else {
            bad(line);
        }
        p = nl ? nl + 1 : windowEnd;
    }
    // The runs that go on at the block's end.
    for (quint32 address = 0; address < m_runOf.size(); ++address) {
        const AddressRun &a = m_runOf[address];
        if (a.state >= FirstRun)
            m_runs.push_back({EchoSeconds(a.first), address, a.echo, a.lost});
    }
    m_count = count;
    m_lines = lines;
    m_lost = lost;
    m_sumTime = sumTime;
    m_sumTtl = sumTtl;
    m_minTime = minTime;
    m_maxTime = maxTime;
    if (out && count > 0)
        m_pair[m_lastSlot] = out[count - 1];
}

EchoBlocks::EchoBlocks(const EchoBytes &bytes, qint64 begin, qsizetype blockBytes, bool readAhead,
                       bool keepRecords, int outageAfter)
    : m_bytes(bytes), m_begin(begin), m_blockBytes(std::max<qsizetype>(blockBytes, 1)),
      m_keepRecords(keepRecords), m_outageAfter(outageAfter),
      m_blockCount(begin < bytes.size ? qsizetype((bytes.size - begin + m_blockBytes - 1) / m_blockBytes) : 0),
      m_slotCount(readAhead && m_blockCount > 1 && std::thread::hardware_concurrency() > 1 ? 4 : 1),
      m_slots(std::make_unique<Slot[]>(size_t(m_slotCount)))
{
    start();
}

EchoBlocks::EchoBlocks(const EchoBytes &bytes, std::vector<qint64> cuts, qint64 rowsPerBlock, qint64 rows,
                       bool readAhead, const EchoDigestFactory &digests)
    : m_bytes(bytes), m_begin(cuts.empty() ? 0 : cuts.front()), m_blockBytes(1), m_cuts(std::move(cuts)),
      m_rowsPerBlock(std::max<qint64>(rowsPerBlock, 1)), m_rows(rows), m_keepRecords(true), m_outageAfter(0),
      m_blockCount(m_cuts.size() > 1 ? qsizetype(m_cuts.size()) - 1 : 0),
      m_slotCount(readAhead && m_blockCount > 1 && std::thread::hardware_concurrency() > 1 ? 4 : 1),
      m_slots(std::make_unique<Slot[]>(size_t(m_slotCount)))
{
    if (digests)
        for (qsizetype i = 0; i < m_slotCount; ++i)
            m_slots[size_t(i)].digest = digests();
    start();
}

void EchoBlocks::start()
{
    if (m_slotCount == 1)
        return;
    try {
        m_helper = std::thread([this] { readAheadLoop(); });
    } catch (const std::system_error &) {
        // No thread to be had: the caller reads every block itself.
    }
}

EchoBlocks::~EchoBlocks()
{
    if (!m_helper.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_helper.join();
}

qsizetype EchoBlocks::expectedRows(qsizetype number) const
{
    return qsizetype(std::clamp<qint64>(m_rows - qint64(number) * m_rowsPerBlock, 0, m_rowsPerBlock));
}

qsizetype EchoBlocks::expectedRows() const
{
    return m_current < m_blockCount ? expectedRows(m_current) : 0;
}

EchoBlockDigest *EchoBlocks::digest() const
{
    return m_current < m_blockCount ? m_slots[size_t(m_current % m_slotCount)].digest.get() : nullptr;
}

void EchoBlocks::readBlock(qsizetype number, Slot &slot) const
{
    EchoBlock &block = slot.block;
    if (m_cuts.empty()) {
        const qint64 begin = m_begin + qint64(number) * m_blockBytes;
        block.read(m_bytes, begin, begin + m_blockBytes, number == 0, m_keepRecords, m_outageAfter);
        return;
    }
    block.read(m_bytes, m_cuts[size_t(number)], m_cuts[size_t(number) + 1], true, true);
    if (slot.digest && !block.failed())
        slot.digest->digest(qint64(number) * m_rowsPerBlock, std::min(block.count(), expectedRows(number)), block);
}

bool EchoBlocks::canClaim() const
{
    // Within the slots from the caller's block on: the slot of a block that far ahead
    // held a block the caller has given back.
    return m_claimed < m_blockCount && m_claimed < m_current + m_slotCount;
}

void EchoBlocks::readClaimed(std::unique_lock<std::mutex> &lock)
{
    const qsizetype number = m_claimed++;
    Slot &slot = slotOf(number);
    slot.number = number;
    slot.ready = false;
    lock.unlock();
    readBlock(number, slot);
    lock.lock();
    slot.ready = true;
    m_changed.notify_all();
}

void EchoBlocks::readAheadLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || canClaim(); });
        if (m_stop)
            return;
        readClaimed(lock);
    }
}

const EchoBlock *EchoBlocks::next()
{
    std::unique_lock lock(m_mutex);
    ++m_current; // the caller gives back the block it held
    if (m_current >= m_blockCount)
        return nullptr;
    m_changed.notify_all();
    Slot &slot = slotOf(m_current);
    // While the block wanted is not there, the caller reads the next block nobody has
    // taken (the wanted one itself, or one after it), or waits for the helper's.
    while (slot.number != m_current || !slot.ready) {
        if (canClaim())
            readClaimed(lock);
        else
            m_changed.wait(lock);
    }
    return &slot.block;
}

} // namespace netvane
