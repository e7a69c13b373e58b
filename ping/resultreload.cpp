#include "ping/resultreload.h"

#include "ping/echoblocks.h"
#include "ping/latencystats.h"
#include "platform/textfile.h"
#include "platform/filereader.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <array>
#include <cstring>

namespace netvane {

namespace {

// The most targets a header may announce: far above any real target list, low
// enough that a damaged header cannot make the target table eat the memory.
constexpr qint64 MaxTargets = qint64(1) << 20;
constexpr qsizetype ProgressEvery = 4096;

// Plain decimal digits, optionally led by '-' when negative values are allowed,
// within [low, high].
bool parseNumber(QByteArrayView f, qint64 low, qint64 high, qint64 &out)
{
    f = TrimmedLine(f);
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

} // namespace

QString ResultFileChangedText()
{
    return QStringLiteral("The result file has changed since it was read.");
}

namespace {

const QString ChangedText = ResultFileChangedText();

// Blocks of a pass over a test, and of a page read.
constexpr qsizetype PassBlockBytes = 256 << 10;
constexpr qsizetype PageBlockBytes = 8 << 10;

// A text of a block's address table that the log keeps: a copy of its own, sharing
// nothing with a table the helper thread will clear.
QString ownCopy(const QString &text)
{
    return QString(text.constData(), text.size());
}

// Converts a result file as it is read: the header first, then the echo lines block
// by block, until the end or an empty line.
class ResultFileConverter
{
public:
    // With a path the log is backed by that file (as `stamp` describes it): only the
    // positions of its echo lines are kept.
    ResultFileConverter(qint64 totalBytes, const ReloadProgress &progress, int outageAfter,
                        const QString &path = {}, const FileStamp &stamp = {})
        : m_totalBytes(totalBytes), m_progress(progress), m_fileBacked(!path.isEmpty()),
          m_seekOutages(outageAfter > 0)
    {
        m_test.outages.reset(outageAfter);
        if (m_fileBacked)
            m_test.log.useResultFile(path, stamp);
        // Room for the echoes of a well-formed file of this size (bounded, so that a
        // large file of something else cannot claim the memory up front).
        m_test.log.reserve(qsizetype(std::min<qint64>(totalBytes / 40 + 1, qint64(1) << 23)));
    }

    // Line 1 without its line end; false when no echo can follow.
    bool header(QByteArrayView raw)
    {
        m_lineNumber = 1;
        if (raw.size() > MaxLineLength) {
            bad(1);
            return false;
        }
        const QByteArrayView text = TrimmedLine(raw);
        if (text.isEmpty())
            return false; // an empty first line: nothing read
        if (!ParseResultHeader(text, m_test.header)) {
            bad(1);
            return false;
        }
        m_test.headerRead = true;
        return true;
    }

    // A first line longer than any header, met before its end was read.
    void overlongHeader()
    {
        m_lineNumber = 1;
        bad(1);
    }

    // The next block of echo lines; false once reading has ended.
    bool block(const EchoBlock &b)
    {
        if (b.failed())
            return false; // a read error ends the file; the lines it cut are not taken
        if (b.count() > 0) {
            if (m_fileBacked) {
                if (m_test.log.isEmpty()) {
                    PingReplyRecord first = b.first();
                    first.address = m_test.log.addressIndex(ownCopy(b.address(first)));
                    m_test.log.addStored(b.offset(0), first);
                    m_test.log.indexStored(b.count() - 1, [&](qsizetype i) { return b.offset(i + 1); });
                } else {
                    m_test.log.indexStored(b.count(), [&](qsizetype i) { return b.offset(i); });
                }
            } else {
                m_addressMap.assign(size_t(b.addressCount()), quint32(-1));
                for (qsizetype i = 0; i < b.count(); ++i) {
                    PingReplyRecord r = b.record(i);
                    quint32 &index = m_addressMap[r.address];
                    if (index == quint32(-1))
                        index = m_test.log.addressIndex(ownCopy(b.address(r)));
                    r.address = index;
                    m_test.log.appendRecord(r);
                }
            }
            if (m_echoes == 0)
                m_firstTime = EchoSeconds(b.first());
            if (m_seekOutages)
                outageRuns(b);
            m_last = b.last();
            m_lastAddress = ownCopy(b.address(m_last));
            m_lost += b.lost();
            m_sumTime += b.sumTime();
            m_sumTtl += b.sumTtl();
            m_minTime = std::min(m_minTime, b.minTime());
            m_maxTime = std::max(m_maxTime, b.maxTime());
            progress(b);
        }
        for (int i = 0; i < std::min<qsizetype>(b.badLines(), EchoBlock::KeptBadLines); ++i)
            bad(m_lineNumber + b.badLine(i) + 1);
        m_test.badLineCount += b.badLines() - std::min<qsizetype>(b.badLines(), EchoBlock::KeptBadLines);
        m_lineNumber += b.lines();
        return !b.endsAtEmptyLine();
    }

    ReloadedPingTest finish()
    {
        if (m_echoes > 0)
            m_test.outages.setSpan(m_firstTime, EchoSeconds(m_last));
        if (m_fileBacked && !m_test.log.isEmpty()) {
            PingReplyRecord last = m_last;
            last.address = m_test.log.addressIndex(m_lastAddress);
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
    // The block's changes of answers, to the outages; before progress() counts its echoes.
    void outageRuns(const EchoBlock &b)
    {
        OutageFinder &outages = m_test.outages;
        m_outageTarget.assign(size_t(b.addressCount()), Unknown);
        for (const EchoRun &run : b.runs()) {
            qint64 &target = m_outageTarget[run.address];
            if (run.lost > 0) {
                if (target < 0)
                    target = outages.targetIndex(ownCopy(b.address(run.address)));
                outages.lost(quint32(target), m_echoes + run.echo, run.time, run.lost);
                continue;
            }
            if (target == Unknown)
                target = outages.findTarget(b.address(run.address)); // -1: it never lost one
            if (target >= 0)
                outages.answered(quint32(target), run.time);
        }
    }

    void bad(qsizetype line)
    {
        ++m_test.badLineCount;
        if (m_test.badLines.size() < NamedBadLines)
            m_test.badLines.append(line);
    }

    // Every few thousand echoes: the lines still to convert, from the bytes left and
    // the length of a line so far.
    void progress(const EchoBlock &b)
    {
        const qsizetype before = m_echoes;
        m_echoes += b.count();
        if (!m_progress)
            return;
        for (qsizetype n = (before / ProgressEvery + 1) * ProgressEvery; n <= m_echoes; n += ProgressEvery) {
            const qint64 offset = b.offset(n - before - 1);
            const qint64 left = std::max<qint64>(m_totalBytes - offset, 0);
            m_progress(qsizetype(left * n / std::max<qint64>(offset, 1)));
        }
    }

    ReloadedPingTest m_test;
    qint64 m_totalBytes;
    qsizetype m_lineNumber = 0; // lines before the block being converted
    const ReloadProgress &m_progress;
    bool m_fileBacked;
    bool m_seekOutages;
    std::vector<quint32> m_addressMap; // a block's address index -> the log's, in memory
    static constexpr qint64 Unknown = -2;
    std::vector<qint64> m_outageTarget; // a block's address index -> the outages' target
    qint64 m_firstTime = 0;
    PingReplyRecord m_last;
    QString m_lastAddress;
    qsizetype m_echoes = 0; // read so far
    qint64 m_lost = 0, m_sumTime = 0, m_sumTtl = 0;
    qint32 m_minTime = NoAnswerYet, m_maxTime = 0;
};

// The header line of bytes that begin a result file, then the blocks after it.
ReloadedPingTest convert(ResultFileConverter &converter, const EchoBytes &bytes,
                         const ResultReadOptions &options)
{
    if (bytes.size == 0)
        return converter.finish();
    char first[MaxLineLength + 1];
    const qint64 wanted = std::min<qint64>(bytes.size, sizeof first);
    const char *head = bytes.memory;
    if (!head) {
        if (bytes.file->readShared(0, first, wanted, nullptr) != wanted)
            return converter.finish(); // a read error ends the file before anything was read
        head = first;
    }
    const char *nl = static_cast<const char *>(std::memchr(head, '\n', size_t(wanted)));
    if (!nl && wanted < bytes.size) {
        converter.overlongHeader();
        return converter.finish();
    }
    if (!converter.header(QByteArrayView(head, nl ? nl - head : wanted)) || !nl)
        return converter.finish();
    // A log backed by the file keeps only where its lines begin: the blocks need not
    // keep their records.
    EchoBlocks blocks(bytes, nl - head + 1, options.blockBytes, options.readAhead, !bytes.file,
                      std::clamp(options.outageAfter, 0, MaxOutageAfter));
    while (const EchoBlock *b = blocks.next())
        if (!converter.block(*b))
            break;
    return converter.finish();
}

QString lineNumbers(const QList<qsizetype> &lines, qsizetype count)
{
    QStringList numbers;
    for (qsizetype line : lines)
        numbers << QString::number(line);
    if (count > lines.size())
        return numbers.join(u", "_qs) + u" and "_qs + QString::number(count - lines.size()) + u" more"_qs;
    if (numbers.size() < 2)
        return numbers.join(QString());
    const QString last = numbers.takeLast();
    return numbers.join(u", "_qs) + u" and "_qs + last;
}

} // namespace

bool ParseResultHeader(QByteArrayView line, ResultFileHeader &header)
{
    line = TrimmedLine(line);
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

QString UnreadLinesText(const ReloadedPingTest &test, const QString &path)
{
    if (test.badLineCount == 0)
        return {};
    const QString where = u"\r\n\r\n"_qs + QDir::toNativeSeparators(path);
    if (!test.headerRead)
        return u"The result file of the previous test could not be read: its first line is no "
               u"test header, so nothing is shown."_qs + where;
    const QString lines = test.badLineCount == 1 ? u"1 line"_qs
                                                 : QString::number(test.badLineCount) + u" lines"_qs;
    return lines + u" of the result file of the previous test could not be read and "_qs
           + (test.badLineCount == 1 ? u"is"_qs : u"are"_qs) + u" left out ("_qs
           + (test.badLineCount == 1 ? u"line "_qs : u"lines "_qs)
           + lineNumbers(test.badLines, test.badLineCount)
           + u"); every other echo is shown. The next ping test replaces the file, so copy it "
             u"first to keep it."_qs + where;
}

ReloadedPingTest ParseResultFile(QByteArrayView contents, const ReloadProgress &progress,
                                 const ResultReadOptions &options)
{
    ResultFileConverter converter(contents.size(), progress, options.outageAfter);
    return convert(converter, EchoBytes{nullptr, contents.data(), contents.size()}, options);
}

ReloadedPingTest ReadResultFile(const QString &path, const ReloadProgress &progress,
                                const ResultReadOptions &options)
{
    FileReader file;
    if (!file.open(path, true))
        return {};
    // The file as it is read; any later change shows as a different stamp, and what
    // is appended meanwhile is not read.
    const FileStamp stamp = file.stamp();
    ResultFileConverter converter(stamp.size, progress, options.outageAfter, path, stamp);
    return convert(converter, EchoBytes{&file, nullptr, stamp.size}, options);
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

bool FindOutages(const PingReplyLog &log, int lostEchoes, OutageFinder &outages, QString *error)
{
    outages.reset(lostEchoes);
    EchoCursor cursor(log, true);
    PingReplyRecord r;
    for (qsizetype row = 0; cursor.next(r); ++row)
        outages.echo(row, cursor.address(), r.answered(), EchoSeconds(r));
    if (cursor.failed() && error)
        *error = cursor.errorString();
    return !cursor.failed();
}

EchoCursor::EchoCursor(const PingReplyLog &log, bool wholePass) : m_log(log), m_wholePass(wholePass)
{
}

EchoCursor::~EchoCursor() = default;

bool EchoCursor::fail(const QString &error)
{
    m_blocks.reset();
    m_block = nullptr;
    m_addressBlock = nullptr;
    m_address = &m_noAddress;
    m_failed = true;
    m_error = error;
    return false;
}

bool EchoCursor::next(PingReplyRecord &record, QString &address)
{
    if (!next(record))
        return false;
    address = this->address();
    return true;
}

bool EchoCursor::open()
{
    m_opened = true;
    const StoredEchoIndex &stored = m_log.storedEchoes();
    // A log that holds its file open is read from that, as it was when it was pinned.
    if ((m_reader = m_log.pinnedFile())) {
        m_fileSize = stored.stamp.size;
        return true;
    }
    if (!m_file.open(stored.path, m_wholePass))
        return fail(m_file.errorString());
    const FileStamp now = m_file.stamp();
    if (!stored.stamp.exists || now != stored.stamp)
        return fail(ChangedText);
    m_reader = &m_file;
    m_fileSize = now.size;
    return true;
}

void EchoCursor::startAt(qsizetype row)
{
    const StoredEchoIndex &stored = m_log.storedEchoes();
    const qsizetype slot = row / StoredEchoIndex::Stride;
    m_addressBlock = nullptr;
    m_blocks.reset(); // its helper ends before the next one starts
    m_blocks = std::make_unique<EchoBlocks>(EchoBytes{m_reader, nullptr, m_fileSize},
                                            stored.offsets[size_t(slot)],
                                            m_wholePass ? PassBlockBytes : PageBlockBytes, m_wholePass);
    m_block = nullptr;
    m_index = 0;
    m_row = slot * StoredEchoIndex::Stride;
}

bool EchoCursor::digestStored(const EchoDigestFactory &digests,
                              const std::function<void(const EchoBlock &, EchoBlockDigest &, qsizetype rows)> &merge)
{
    const StoredEchoIndex &stored = m_log.storedEchoes();
    m_wanted = stored.rows;
    if (m_failed || stored.rows == 0)
        return !m_failed;
    if (!m_opened && !open())
        return false;
    // Every DigestRows-th row is an indexed one: the blocks begin there.
    constexpr qsizetype step = DigestRows / StoredEchoIndex::Stride;
    static_assert(DigestRows % StoredEchoIndex::Stride == 0);
    std::vector<qint64> cuts;
    cuts.reserve(stored.offsets.size() / step + 2);
    for (size_t i = 0; i < stored.offsets.size(); i += step)
        cuts.push_back(stored.offsets[i]);
    cuts.push_back(m_fileSize);
    m_blocks.reset();
    m_block = nullptr;
    m_addressBlock = nullptr;
    m_row = -1;
    EchoBlocks blocks(EchoBytes{m_reader, nullptr, m_fileSize}, std::move(cuts), DigestRows, stored.rows, true,
                      digests);
    while (const EchoBlock *block = blocks.next()) {
        if (block->failed())
            return fail(block->errorString());
        const qsizetype rows = blocks.expectedRows();
        if (block->count() < rows) // the file no longer holds the rows it was read with
            return fail(ChangedText);
        if (rows > 0)
            merge(*block, *blocks.digest(), rows);
    }
    return true;
}

const QString &EchoCursor::address() const
{
    return m_addressBlock ? m_addressBlock->address(m_addressIndex) : *m_address;
}

bool EchoCursor::next(PingReplyRecord &record)
{
    // The common step of a pass: the next record of the block on hand.
    if (m_block && m_row == m_wanted && m_index < m_block->count()
        && m_wanted < m_log.storedEchoes().rows) {
        record = m_block->record(m_index++);
        m_addressIndex = record.address;
        m_addressBlock = m_block;
        record.address = quint32(-1); // the log's table does not hold it: use address()
        ++m_row;
        ++m_wanted;
        return true;
    }
    if (m_failed || m_wanted < 0 || m_wanted >= m_log.size())
        return false;
    const StoredEchoIndex &stored = m_log.storedEchoes();
    if (m_wanted >= stored.rows) {
        record = m_log.memoryRecords()[size_t(m_wanted - stored.rows)];
        m_address = &m_log.address(record);
        m_addressBlock = nullptr;
        ++m_wanted;
        return true;
    }
    return nextFromBlocks(record);
}

bool EchoCursor::nextFromBlocks(PingReplyRecord &record)
{
    if (!m_opened && !open())
        return false;
    // Forward by a little: through the blocks from here; else from the indexed line
    // before. A pass reads ahead, so it goes on through rather more.
    const qsizetype far = m_wholePass ? 32768 : StoredEchoIndex::Stride;
    if (m_row < 0 || m_wanted < m_row || m_wanted - m_row > far)
        startAt(m_wanted);
    for (;;) {
        if (m_block && m_index < m_block->count()) {
            if (m_row == m_wanted)
                break;
            const qsizetype step = std::min(m_block->count() - m_index, m_wanted - m_row);
            m_index += step;
            m_row += step;
            continue;
        }
        // The rows of the log come before any empty line, and before the file's end.
        if (m_block && m_block->endsAtEmptyLine())
            return fail(ChangedText);
        m_addressBlock = nullptr; // the block it named is given back
        m_block = m_blocks->next();
        m_index = 0;
        if (!m_block)
            return fail(ChangedText);
        if (m_block->failed())
            return fail(m_block->errorString());
    }
    record = m_block->record(m_index++);
    m_addressIndex = record.address;
    m_addressBlock = m_block;
    record.address = quint32(-1); // the log's table does not hold it: use address()
    ++m_row;
    ++m_wanted;
    return true;
}

} // namespace netvane
