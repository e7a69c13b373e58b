#pragma once
// The echo lines of a result file, read in blocks: a block is a stretch of the file,
// and it reads every line that begins in it (the last of them may end past it) with
// the line reader's every rule. What comes out is the echoes in order with where each
// line begins, and the lines that could not be read.
//
// EchoBlocks hands a file's blocks out in order. On a machine with more than one core
// a helper thread reads the blocks ahead, and while the block the caller wants next
// is not there yet the caller reads the next block nobody has taken, so a long file
// is read on two cores and the caller still sees the lines in file order. The result is the same
// whichever thread read a block and wherever the blocks were cut: each block starts
// with a fresh line reader, and a line belongs to the block it begins in.

#include "platform/filereader.h"
#include "platform/memory.h"
#include "ping/replyrecord.h"

#include <QByteArrayView>

#include <array>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace netvane {

// A well-formed echo line is about 45 characters; anything this long is not one.
inline constexpr qsizetype MaxLineLength = 512;

// The line without the blanks, tabs and carriage returns around it.
QByteArrayView TrimmedLine(QByteArrayView line);

// Where the bytes come from: an open file read by position (from any thread), or the
// file's contents in memory. Only the first `size` bytes are read.
struct EchoBytes {
    const FileReader *file = nullptr;
    const char *memory = nullptr;
    qint64 size = 0;
};

// A change in a target's answers within a block, for the outages: where a run of lost
// echoes to one address begins (lost > 0: how many in a row, within the block), or
// an answer to an address whose echo before it in the block was lost or which has
// no echo before it in the block (lost 0). A block of echoes that all answer gives
// one of these per address. A run too short to be an outage that lies between two
// answers of the block is left out. The changes of one address are in order.
struct EchoRun {
    qint64 time = 0;    // EchoSeconds of the echo
    quint32 address = 0; // in the block's address table
    quint32 echo = 0;   // the echo's index in the block
    qint64 lost = 0;
};

class EchoBlock final
{
    Q_DISABLE_COPY_MOVE(EchoBlock)
public:
    // The bad lines of a block whose numbers are kept; beyond them only their count.
    static constexpr int KeptBadLines = 16;

    EchoBlock() = default;

    // Reads the lines that begin in [begin, end). `startsLine`: a line begins at
    // `begin` (else only after the first line end at or after begin - 1). Without
    // `keepRecords` only the first and the last echo are kept, with where each line
    // begins and the figures. `outageAfter` > 0: the changes of the targets' answers are
    // kept, for outages of that many lost echoes in a row.
    void read(const EchoBytes &bytes, qint64 begin, qint64 end, bool startsLine, bool keepRecords,
              int outageAfter = 0);
    // With outageAfter: the changes of the targets' answers, in order.
    const std::vector<EchoRun> &runs() const { return m_runs; }

    qsizetype count() const { return m_count; }
    // Record i (when kept); its address is address(record(i)).
    const PingReplyRecord &record(qsizetype i) const { return records()[i]; }
    const PingReplyRecord &first() const { return m_first; }
    const PingReplyRecord &last() const { return m_pair[m_lastSlot]; }
    // Of the echoes: the lost ones, and the answered ones' times and TTLs.
    qint64 lost() const { return m_lost; }
    qint64 sumTime() const { return m_sumTime; }
    qint64 sumTtl() const { return m_sumTtl; }
    qint32 minTime() const { return m_minTime; }
    qint32 maxTime() const { return m_maxTime; }
    // Where the line of record i begins in the file.
    qint64 offset(qsizetype i) const { return m_begin + offsets()[i]; }
    const QString &address(const PingReplyRecord &r) const { return m_addresses.address(r); }
    const QString &address(quint32 index) const
    {
        PingReplyRecord r;
        r.address = index;
        return m_addresses.address(r);
    }
    qsizetype addressCount() const { return m_addresses.addressCount(); }

    // Lines that begin in the block, up to and with the empty line when there is one.
    qsizetype lines() const { return m_lines; }
    qsizetype badLines() const { return m_badLines; }
    // The i-th bad line (i < min(badLines(), KeptBadLines)), counted from 0 in the block.
    qsizetype badLine(int i) const { return m_badLine[size_t(i)]; }
    // An empty line ends the log: the block stops there, the lines after it unread.
    bool endsAtEmptyLine() const { return m_empty; }
    // The block could not be read from the file: none of its lines counts.
    bool failed() const { return m_failed; }
    QString errorString() const { return m_error; }

private:
    PingReplyRecord *records() const { return reinterpret_cast<PingReplyRecord *>(m_recordSpace.data()); }
    quint32 *offsets() const { return reinterpret_cast<quint32 *>(m_offsetSpace.data()); }
    void reserve(qint64 bytes, qsizetype records, qsizetype lines);
    void bad(qsizetype line);

    PageBuffer m_bytes;       // the block as read from the file, and what follows it
    PageBuffer m_recordSpace; // PingReplyRecord[]
    PageBuffer m_offsetSpace; // quint32[]: line starts from m_begin
    PingReplyLog m_addresses; // the records' address table
    std::vector<EchoRun> m_runs;
    struct AddressRun {
        qint32 state = -2;       // Unseen (-2), Answered (-1), or in a run of lost echoes: 0 after
                                 // the block's first echo of the address, 1 after an answer
        quint32 echo = 0;        // the run's first echo
        qint64 lost = 0;
        PingReplyRecord first;   // the run's first echo
    };
    std::vector<AddressRun> m_runOf; // by address
    qint64 m_begin = 0;
    qsizetype m_count = 0;
    PingReplyRecord m_first;
    PingReplyRecord m_pair[2]; // without the records: the last one read and the one before
    int m_lastSlot = 0;
    qint64 m_lost = 0, m_sumTime = 0, m_sumTtl = 0;
    qint32 m_minTime = 0, m_maxTime = 0;
    qsizetype m_lines = 0;
    qsizetype m_badLines = 0;
    std::array<qsizetype, KeptBadLines> m_badLine{};
    bool m_empty = false;
    bool m_failed = false;
    QString m_error;
};

// What a caller works out from each block beside it, on the thread that read the
// block, right after the read: a sum over its echoes, say, so that the caller only
// puts the blocks' sums together.
class EchoBlockDigest
{
public:
    virtual ~EchoBlockDigest() = default;
    // The block's first `rows` echoes, which are the rows from `firstRow` on.
    virtual void digest(qint64 firstRow, qsizetype rows, const EchoBlock &block) = 0;
};
// Makes one digest for each block kept at a time.
using EchoDigestFactory = std::function<std::unique_ptr<EchoBlockDigest>()>;

class EchoBlocks final
{
    Q_DISABLE_COPY_MOVE(EchoBlocks)
public:
    // The blocks of bytes [begin, bytes.size), `begin` being where a line begins, each
    // `blockBytes` long (the last shorter). `readAhead`: a helper thread reads ahead
    // where the machine has a core to spare.
    EchoBlocks(const EchoBytes &bytes, qint64 begin, qsizetype blockBytes, bool readAhead,
               bool keepRecords = true, int outageAfter = 0);
    // The blocks between cuts where echo lines begin: block n is [cuts[n], cuts[n + 1]),
    // and its echoes are rows n * rowsPerBlock on, of `rows` in all. Each block is
    // digested with a digest from `digests`.
    EchoBlocks(const EchoBytes &bytes, std::vector<qint64> cuts, qint64 rowsPerBlock, qint64 rows,
               bool readAhead, const EchoDigestFactory &digests);
    ~EchoBlocks();

    // The next block, valid until the next call; null after the last.
    const EchoBlock *next();
    // With cuts: the rows the block next() gave should hold, and its digest.
    qsizetype expectedRows() const;
    EchoBlockDigest *digest() const;

private:
    struct Slot {
        EchoBlock block;
        std::unique_ptr<EchoBlockDigest> digest;
        qsizetype number = -1;
        bool ready = false;
    };
    void start();
    qsizetype expectedRows(qsizetype number) const;
    void readBlock(qsizetype number, Slot &slot) const;
    // With the lock held: a block that may be taken to be read now, and reading it.
    bool canClaim() const;
    void readClaimed(std::unique_lock<std::mutex> &lock);
    void readAheadLoop();
    Slot &slotOf(qsizetype number) { return m_slots[size_t(number % m_slotCount)]; }

    EchoBytes m_bytes;
    qint64 m_begin;
    qsizetype m_blockBytes;
    std::vector<qint64> m_cuts; // empty: blocks of m_blockBytes
    qint64 m_rowsPerBlock = 0;
    qint64 m_rows = 0;
    bool m_keepRecords;
    int m_outageAfter;
    qsizetype m_blockCount;
    qsizetype m_slotCount;
    std::unique_ptr<Slot[]> m_slots; // block n in slot n % m_slotCount
    std::mutex m_mutex;
    std::condition_variable m_changed;
    qsizetype m_claimed = 0;  // blocks taken to be read so far, by either thread
    qsizetype m_current = -1; // the block the caller holds
    bool m_stop = false;
    std::thread m_helper;     // last: it starts once everything else is set up
};

} // namespace netvane
