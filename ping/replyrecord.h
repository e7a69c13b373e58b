#pragma once
// The reply log of a ping test: one compact record per echo, kept in memory for the
// whole test (a long test holds millions), and the texts built from a record on
// demand: the 20-row display, the result file line and the export rows.

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

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
    quint32 addressIndex(const QString &address);
    void appendRecord(const PingReplyRecord &r) { m_records.push_back(r); }
    qsizetype size() const { return qsizetype(m_records.size()); }
    bool isEmpty() const { return m_records.empty(); }
    const PingReplyRecord &at(qsizetype row) const { return m_records[size_t(row)]; }
    const PingReplyRecord &last() const { return m_records.back(); }
    const QString &address(const PingReplyRecord &r) const { return m_addresses[r.address]; }
    // Memory held by the records and the address table, in bytes.
    qsizetype memoryBytes() const;

private:
    std::vector<PingReplyRecord> m_records;
    QStringList m_addresses;
    QHash<QString, quint32> m_addressIndex;
};

struct ReplyRowTexts {
    QString left;  // "12/07 21:05:09   Reply from 127.0.0.1"
    QString right; // "bytes=32  time<1ms  TTL=64  ok"
};

// "mm/dd hh:mm:ss" of the record.
QString ReplyStamp(const PingReplyRecord &r);
// The right-hand text: the reply's size, time and TTL, or the status text.
QString ReplyTail(const PingReplyRecord &r);
// The two texts of a row of the 20-row log.
ReplyRowTexts FormatReplyRow(const PingReplyRecord &r, const QString &address);
// As FormatReplyRow, with the date and time in the user's locale.
ReplyRowTexts FormatReplyRowForExport(const PingReplyRecord &r, const QString &address);
QString ReplyDateTimeText(const PingReplyRecord &r);
// The two halves of ReplyDateTimeText (date, then time), for callers that cache them.
QString ReplyDateText(const QDate &date);
QString ReplyTimeText(const QTime &time);
// The most characters of an address a record and the result file keep.
inline constexpr int MaxRecordedAddress = 15;

// The record's line in the result file: 2026,12,07,21,05,09,192.168.0.1,32,12,64,0
QString ReplyLine(const PingReplyRecord &r, const QString &address);

} // namespace netvane
