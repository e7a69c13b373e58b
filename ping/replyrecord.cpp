#include "ping/replyrecord.h"

#include "ping/resultreload.h"

#include "platform/memory.h"
#include "probe/echoprobe.h"

#include <QLocale>

#include <charconv>

namespace netvane {

namespace {

QString twoDigits(int value)
{
    return QString::number(value).rightJustified(2, u'0');
}

} // namespace

QDateTime PingReplyRecord::dateTime() const
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

void PingReplyLog::clear()
{
    m_records.clear();
    m_records.shrink_to_fit();
    m_file = StoredEchoIndex();
    m_addresses.clear();
    m_addressIndex.clear();
    m_pinned.reset();
}

void PingReplyLog::reserve(qsizetype count)
{
    if (isFileBacked()) {
        m_file.offsets.reserve(size_t(count / StoredEchoIndex::Stride + 1));
        return;
    }
    m_records.reserve(size_t(count));
    const qsizetype bytes = qsizetype(m_records.capacity() * sizeof(PingReplyRecord));
    if (bytes >= (4 << 20))
        PreferLargePages(m_records.data(), bytes);
}

quint32 PingReplyLog::addressIndex(const QString &address) const
{
    auto found = m_addressIndex.constFind(address);
    if (found == m_addressIndex.cend()) {
        found = m_addressIndex.insert(address, quint32(m_addresses.size()));
        m_addresses << address;
    }
    return *found;
}

const QString &PingReplyLog::address(const PingReplyRecord &r) const
{
    static const QString none;
    return r.address < quint32(m_addresses.size()) ? m_addresses[r.address] : none;
}

qsizetype PingReplyLog::append(const QDateTime &when, const QString &address, int size, int time,
                               int ttl, int status)
{
    const quint32 index = addressIndex(address);
    const QDate d = when.date();
    const QTime t = when.time();
    PingReplyRecord r;
    r.time = time;
    r.status = status;
    r.size = size;
    r.address = index;
    r.year = quint16(d.year());
    r.ttl = qint16(ttl);
    r.month = quint8(d.month());
    r.day = quint8(d.day());
    r.hour = quint8(t.hour());
    r.minute = quint8(t.minute());
    r.second = quint8(t.second());
    m_records.push_back(r);
    return this->size() - 1;
}

void PingReplyLog::useResultFile(const QString &path, const FileStamp &stamp)
{
    clear();
    m_file.path = path;
    m_file.stamp = stamp;
}

void PingReplyLog::markStored(qint64 offset, const FileStamp &after)
{
    // Only the newest echo can join the file's: an earlier one that the file could not
    // take stays in memory, and so must every echo after it to keep the order.
    if (!isFileBacked() || m_records.size() != 1)
        return;
    // The line must begin where the log's file ended; else the file was changed.
    m_file.stamp = m_file.stamp.exists && m_file.stamp.size == offset ? after : FileStamp();
    addStored(offset, m_records.front());
    m_records.clear();
}

bool PingReplyLog::isCurrent() const
{
    return !isFileBacked() || (m_file.stamp.exists && StampOfFile(m_file.path) == m_file.stamp);
}

bool PingReplyLog::pinFile(QString *error)
{
    if (!isFileBacked() || m_file.rows == 0 || m_pinned)
        return true;
    auto file = std::make_shared<FileReader>();
    if (!file->open(m_file.path, true)) {
        if (error)
            *error = file->errorString();
        return false;
    }
    if (!m_file.stamp.exists || file->stamp() != m_file.stamp) {
        if (error)
            *error = ResultFileChangedText();
        return false;
    }
    m_pinned = std::move(file);
    return true;
}

PingReplyRecord PingReplyLog::at(qsizetype row) const
{
    if (row >= m_file.rows)
        return m_records[size_t(row - m_file.rows)];
    if (row == 0)
        return m_file.first;
    if (row == m_file.rows - 1)
        return m_file.last;
    PingReplyRecord found;
    found.address = quint32(-1);
    readRows(row, 1, [&](qsizetype, const PingReplyRecord &r, const QString &address) {
        found = r;
        found.address = addressIndex(address);
        return true;
    });
    return found;
}

bool PingReplyLog::readRows(qsizetype first, qsizetype count,
                            const std::function<bool(qsizetype, const PingReplyRecord &,
                                                     const QString &)> &f) const
{
    EchoCursor cursor(*this);
    cursor.seek(first);
    PingReplyRecord r;
    for (qsizetype row = first; row < first + count && row < size(); ++row) {
        if (!cursor.next(r))
            return false;
        if (!f(row, r, cursor.address()))
            break;
    }
    return true;
}

qsizetype PingReplyLog::memoryBytes() const
{
    qsizetype bytes = qsizetype(m_records.capacity() * sizeof(PingReplyRecord))
                      + qsizetype(m_file.offsets.capacity() * sizeof(qint64));
    for (const QString &a : m_addresses)
        bytes += a.capacity() * 2 + qsizetype(sizeof(QString)) + 16;
    return bytes;
}

QString ReplyStamp(const PingReplyRecord &r)
{
    return twoDigits(r.month) + u'/' + twoDigits(r.day) + u' ' + twoDigits(r.hour) + u':'
           + twoDigits(r.minute) + u':' + twoDigits(r.second);
}

void AppendNumber(QString &out, qint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(QLatin1StringView(digits, end - digits));
}

void AppendReplyTail(QString &out, const PingReplyRecord &r)
{
    out += u"bytes=";
    AppendNumber(out, r.size);
    if (r.time < 0) { // no reply: the status text says why
        out += u"  ";
        out += EchoStatusText(r.status);
        return;
    }
    out += u"  time";
    if (r.time == 0) {
        out += u"<1";
    } else {
        out += u'=';
        AppendNumber(out, r.time);
    }
    out += u"ms  TTL=";
    AppendNumber(out, r.ttl);
    out += u"  ok";
}

QString ReplyTail(const PingReplyRecord &r)
{
    QString tail;
    AppendReplyTail(tail, r);
    return tail;
}

ReplyRowTexts FormatReplyRow(const PingReplyRecord &r, const QString &address)
{
    return {ReplyStamp(r) + u"   Reply from "_qs + address.trimmed(), ReplyTail(r)};
}

QString ReplyDateText(const QDate &date)
{
    return QLocale().toString(date, QLocale::ShortFormat);
}

QString ReplyTimeText(const QTime &time)
{
    const QLocale locale;
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    // The long form may carry a time zone name; the program's stamps never did.
    timeFormat.remove(u't').replace(u"  "_qs, u" "_qs);
    return locale.toString(time, timeFormat.trimmed());
}

QString ReplyDateTimeText(const PingReplyRecord &r)
{
    return ReplyDateText(QDate(r.year, r.month, r.day)) + u' '
           + ReplyTimeText(QTime(r.hour, r.minute, r.second));
}

ReplyRowTexts FormatReplyRowForExport(const PingReplyRecord &r, const QString &address)
{
    return {ReplyDateTimeText(r) + u"   Reply from "_qs + address.trimmed(), ReplyTail(r)};
}

int PingReplyLog::widestAddress() const
{
    qsizetype widest = 0;
    for (const QString &a : m_addresses)
        widest = qMax(widest, a.size());
    return int(widest);
}

QString RecordedAddress(const QString &address)
{
    const QString t = address.trimmed();
    return t.left(t.contains(u':') ? MaxRecordedIpv6Address : MaxRecordedAddress);
}

QString ReplyLine(const PingReplyRecord &r, const QString &address)
{
    return QString::number(r.year) + u',' + twoDigits(r.month) + u',' + twoDigits(r.day) + u','
           + twoDigits(r.hour) + u',' + twoDigits(r.minute) + u',' + twoDigits(r.second) + u','
           + RecordedAddress(address) + u',' + QString::number(r.size) + u','
           + QString::number(r.time) + u',' + QString::number(r.ttl) + u','
           + QString::number(r.status);
}

} // namespace netvane
