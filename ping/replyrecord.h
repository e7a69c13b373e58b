#pragma once
// The reply log of a ping test: one compact record per echo, read back from the
// result file (a long test holds millions) or kept in memory when there is none, and
// the texts built from a record on demand: the 20-row display, the result file line
// and the export rows.

#include "platform/filereader.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace netvane {

// Numbers only; the address is an index into the log's address table, since a test
// pings few distinct addresses many times.
struct PingReplyRecord {
    qint32 time = -1;   // round-trip ms; 0 when under a millisecond; -1 when not answered
    qint32 status = 0;  // echo status number
    qint32 size = 0;    // send size in bytes
    quint32 address = 0;
    quint16 year = 0;
    qint16 ttl = 0;     // 0 when not answered
    quint8 month = 0, day = 0, hour = 0, minute = 0, second = 0;

    QDateTime dateTime() const;
    bool answered() const { return time >= 0; }
};
static_assert(sizeof(PingReplyRecord) <= 32, "a long test keeps millions of these");

// The echoes of a log that are lines of the result file: where every Stride-th line
// begins, which is all a test of any length keeps of them in memory.
struct StoredEchoIndex {
    static constexpr qsizetype Stride = 64; // a power of two
    QString path;
    FileStamp stamp;             // the file as it was read or written; a mismatch: it changed
    std::vector<qint64> offsets; // offsets[i]: where the line of echo i * Stride begins
    qsizetype rows = 0;
    PingReplyRecord first, last;

    void add(qint64 offset)
    {
        if ((rows & (Stride - 1)) == 0)
            offsets.push_back(offset);
        ++rows;
    }
};

// The reply log of a test. Kept in memory when the test has no result file; with one,
// the file is the log: the echoes written to it are read back from it on demand
// (EchoCursor) and only their index, the first and the last stay here, with any echo
// the file could not take.
class PingReplyLog final
{
public:
    void clear();
    void reserve(qsizetype count);
    // Appends a record and returns its row index.
    qsizetype append(const QDateTime &when, const QString &address, int size, int time, int ttl,
                     int status);
    // The index of an address in the table, added when new; with appendRecord it
    // lets a reader of stored records fill the log without building dates.
    quint32 addressIndex(const QString &address) const;
    void appendRecord(const PingReplyRecord &r) { m_records.push_back(r); }
    qsizetype size() const { return m_file.rows + qsizetype(m_records.size()); }
    bool isEmpty() const { return size() == 0; }
    // One record; a stored echo is read back from the result file for each call (walk
    // many rows with readRows or an EchoCursor). A default record, with no address,
    // when the file no longer holds it (readRows tells).
    PingReplyRecord at(qsizetype row) const;
    PingReplyRecord last() const { return at(size() - 1); }
    const QString &address(const PingReplyRecord &r) const;
    qsizetype addressCount() const { return m_addresses.size(); }
    // The length of the longest address in the table, in characters.
    int widestAddress() const;
    // Memory held by the records, the index and the address table, in bytes.
    qsizetype memoryBytes() const;

    // From now on the echoes live in the result file at `path`, as it is now (`stamp`).
    void useResultFile(const QString &path, const FileStamp &stamp);
    bool isFileBacked() const { return !m_file.path.isEmpty(); }
    const StoredEchoIndex &storedEchoes() const { return m_file; }
    // The newest echo's line was appended at `offset`; `after` is the file's stamp then.
    void markStored(qint64 offset, const FileStamp &after);
    // An echo line of the file read at start-up, at `offset`; r's address is the table's.
    void addStored(qint64 offset, const PingReplyRecord &r)
    {
        if (m_file.rows == 0)
            m_file.first = r;
        m_file.last = r;
        m_file.add(offset);
    }
    // `count` more lines for a reader that keeps the last record itself and sets it at
    // the end; offset(i) is where the i-th begins.
    template <typename Offset>
    void indexStored(qsizetype count, Offset offset)
    {
        constexpr qsizetype Stride = StoredEchoIndex::Stride;
        for (qsizetype i = (Stride - (m_file.rows & (Stride - 1))) & (Stride - 1); i < count; i += Stride)
            m_file.offsets.push_back(offset(i));
        m_file.rows += count;
    }
    void setLastStored(const PingReplyRecord &r) { m_file.last = r; }
    // False when the result file is no longer the one the log was read from or wrote.
    bool isCurrent() const;
    // Opens the result file now and holds it open for this log and its copies, so that
    // they read the file as it is now whatever later becomes of its path (a new test
    // replaces it, a running one appends to it): a copy read on another thread while
    // the window goes on. False, with the reason, when the file is no longer the one
    // the log describes.
    bool pinFile(QString *error = nullptr);
    const FileReader *pinnedFile() const { return m_pinned.get(); }
    // Rows first .. first + count - 1 in order, while f returns true; the record's
    // address is given beside it. False when they cannot be read as indexed (the file
    // changed or cannot be read).
    bool readRows(qsizetype first, qsizetype count,
                  const std::function<bool(qsizetype row, const PingReplyRecord &r,
                                           const QString &address)> &f) const;
    // Records not in the result file, after the stored ones.
    const std::vector<PingReplyRecord> &memoryRecords() const { return m_records; }

private:
    std::vector<PingReplyRecord> m_records;
    StoredEchoIndex m_file;
    // Addresses are few and their table grows only by them, so it may grow on reads.
    mutable QStringList m_addresses;
    mutable QHash<QString, quint32> m_addressIndex;
    std::shared_ptr<const FileReader> m_pinned;
};

struct ReplyRowTexts {
    QString left;  // "12/07 21:05:09   Reply from 127.0.0.1"
    QString right; // "bytes=32  time<1ms  TTL=64  ok"
};

// "mm/dd hh:mm:ss" of the record.
QString ReplyStamp(const PingReplyRecord &r);
// The right-hand text: the reply's size, time and TTL, or the status text.
QString ReplyTail(const PingReplyRecord &r);
// The same appended to `out`, for rows built in one reused text (an export has millions).
void AppendReplyTail(QString &out, const PingReplyRecord &r);
// A number in decimal digits appended to `out`.
void AppendNumber(QString &out, qint64 value);
// The two texts of a row of the 20-row log.
ReplyRowTexts FormatReplyRow(const PingReplyRecord &r, const QString &address);
// As FormatReplyRow, with the date and time in the user's locale.
ReplyRowTexts FormatReplyRowForExport(const PingReplyRecord &r, const QString &address);
QString ReplyDateTimeText(const PingReplyRecord &r);
// The two halves of ReplyDateTimeText (date, then time), for callers that cache them.
QString ReplyDateText(const QDate &date);
QString ReplyTimeText(const QTime &time);
// The most characters of an address a record and the result file keep: 15, all of
// any dotted address; an IPv6 text (one with a ":") keeps up to 55, its 39 and a
// zone of up to 15 after the "%".
inline constexpr int MaxRecordedAddress = 15;
inline constexpr int MaxRecordedIpv6Address = 55;
// The address text as a record and the result file keep it: trimmed and cut to the
// limit of its kind.
QString RecordedAddress(const QString &address);

// The record's line in the result file: 2026,12,07,21,05,09,192.168.0.1,32,12,64,0
QString ReplyLine(const PingReplyRecord &r, const QString &address);

} // namespace netvane
