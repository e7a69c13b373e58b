#include "iplist/targetlist.h"

#include <algorithm>
#include <cstdlib>

namespace netvane {

namespace {

int digits(int value)
{
    return value >= 100 ? 3 : value >= 10 ? 2 : 1;
}

} // namespace

TargetList::TargetList(const QList<PingTarget> &targets)
{
    for (const PingTarget &t : targets)
        append(t);
}

TargetList::TargetList(std::initializer_list<PingTarget> targets)
{
    for (const PingTarget &t : targets)
        append(t);
}

void TargetList::append(const QString &address, const QString &label, const QString &source)
{
    if (m_pieces.empty() || m_pieces.back().range)
        m_pieces.push_back({m_size, 0, qsizetype(m_texts.size()), false});
    Text t{address, label, source.isEmpty() ? address : source, {}};
    platform::ParseIpAddress(address.toStdString(), t.echo);
    m_texts.push_back(std::move(t));
    ++m_pieces.back().count;
    ++m_size;
    m_widest = std::max(m_widest, int(address.size()));
}

void TargetList::appendRange(const std::array<int, 4> &first, const std::array<int, 4> &last)
{
    Range r;
    qsizetype count = 1;
    int widest = 3;
    for (int k = 0; k < 4; ++k) {
        r.first[k] = quint8(first[k]);
        r.step[k] = last[k] >= first[k] ? 1 : -1;
        r.span[k] = quint16(std::abs(last[k] - first[k]) + 1);
        count *= r.span[k];
        widest += digits(std::max(first[k], last[k]));
    }
    m_pieces.push_back({m_size, count, qsizetype(m_ranges.size()), true});
    m_ranges.push_back(r);
    m_size += count;
    m_widest = std::max(m_widest, widest);
}

void TargetList::appendRange6(const std::array<uint8_t, 16> &first, quint32 count, const QString &zone)
{
    if (count == 0)
        return;
    Range6 r{first, zone, {}};
    r.echo.family = AF_INET6;
    r.echo.bytes = first;
    if (!zone.isEmpty()) { // the interface as it is now; none: the echo is refused
        platform::IpAddress parsed;
        if (platform::ParseIpAddress("fe80::1%" + zone.toStdString(), parsed))
            r.echo.scope = parsed.scope;
        else
            r.echo.family = AF_UNSPEC;
    }
    m_pieces.push_back({m_size, count, qsizetype(m_ranges6.size()), true, true});
    m_ranges6.push_back(std::move(r));
    const Piece &p = m_pieces.back();
    m_size += count;
    m_widest = std::max({m_widest, int(range6Text(p, p.start).size()),
                         int(range6Text(p, p.start + count - 1).size())});
}

platform::IpAddress TargetList::range6Address(const Piece &piece, qsizetype i) const
{
    const Range6 &r = m_ranges6[size_t(piece.index)];
    platform::IpAddress a = r.echo;
    a.bytes = r.first;
    quint32 carry = quint32(i - piece.start);
    for (int k = 15; k >= 0 && carry; --k) {
        carry += a.bytes[size_t(k)];
        a.bytes[size_t(k)] = uint8_t(carry & 255);
        carry >>= 8;
    }
    return a;
}

QString TargetList::range6Text(const Piece &piece, qsizetype i) const
{
    const Range6 &r = m_ranges6[size_t(piece.index)];
    QString text = QString::fromStdString(platform::Ipv6CanonicalText(range6Address(piece, i).bytes));
    if (!r.zone.isEmpty())
        text += u'%' + r.zone;
    return text;
}

const TargetList::Piece &TargetList::pieceOf(qsizetype i) const
{
    // The last piece that starts at or before i.
    const auto it = std::upper_bound(m_pieces.begin(), m_pieces.end(), i,
                                     [](qsizetype index, const Piece &p) { return index < p.start; });
    return *(it - 1);
}

quint32 TargetList::rangeAddress(const Piece &piece, qsizetype i) const
{
    const Range &r = m_ranges[size_t(piece.index)];
    qsizetype offset = i - piece.start;
    quint32 address = 0;
    std::array<int, 4> octet{};
    for (int k = 3; k >= 0; --k) { // the last octet walks fastest
        octet[k] = r.first[k] + r.step[k] * int(offset % r.span[k]);
        offset /= r.span[k];
    }
    for (int k = 0; k < 4; ++k)
        address = address << 8 | quint32(octet[k]);
    return address;
}

QString TargetList::address(qsizetype i) const
{
    const Piece &p = pieceOf(i);
    if (!p.range)
        return m_texts[size_t(p.index + i - p.start)].address;
    if (p.v6)
        return range6Text(p, i);
    const quint32 a = rangeAddress(p, i);
    QString text;
    text.reserve(15);
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += QString::number(a >> shift & 255);
        if (shift)
            text += u'.';
    }
    return text;
}

QString TargetList::label(qsizetype i) const
{
    const Piece &p = pieceOf(i);
    return p.range ? address(i) : m_texts[size_t(p.index + i - p.start)].label;
}

void TargetList::appendLabels(qsizetype first, qsizetype end, QByteArrayView lineEnd, QByteArray &out) const
{
    for (qsizetype i = first; i < end; ++i) {
        const Piece &p = pieceOf(i);
        if (!p.range) {
            out += m_texts[size_t(p.index + i - p.start)].label.toUtf8();
            out += lineEnd;
            continue;
        }
        if (p.v6) {
            out += range6Text(p, i).toUtf8();
            out += lineEnd;
            continue;
        }
        const quint32 a = rangeAddress(p, i);
        char text[16];
        char *at = text;
        for (int shift = 24; shift >= 0; shift -= 8) {
            const unsigned octet = a >> shift & 255;
            if (octet >= 100)
                *at++ = char('0' + octet / 100);
            if (octet >= 10)
                *at++ = char('0' + octet / 10 % 10);
            *at++ = char('0' + octet % 10);
            if (shift)
                *at++ = '.';
        }
        out.append(text, at - text);
        out += lineEnd;
    }
}

TargetRow TargetList::row(qsizetype i) const
{
    const Piece &p = pieceOf(i);
    if (p.range) {
        const QString a = address(i);
        return {a, a, a};
    }
    const Text &t = m_texts[size_t(p.index + i - p.start)];
    return {t.address, t.label, t.source};
}

platform::IpAddress TargetList::echoAddress(qsizetype i) const
{
    const Piece &p = pieceOf(i);
    if (p.range)
        return p.v6 ? range6Address(p, i) : platform::IpAddress::v4(rangeAddress(p, i));
    return m_texts[size_t(p.index + i - p.start)].echo;
}

qsizetype TargetList::memoryBytes() const
{
    qsizetype bytes = sizeof *this + qsizetype(m_pieces.capacity() * sizeof(Piece))
                      + qsizetype(m_ranges.capacity() * sizeof(Range))
                      + qsizetype(m_ranges6.capacity() * sizeof(Range6))
                      + qsizetype(m_texts.capacity() * sizeof(Text));
    for (const Text &t : m_texts)
        bytes += (t.address.capacity() + t.label.capacity() + t.source.capacity()) * 2;
    return bytes;
}

QList<PingTarget> TargetList::toList() const
{
    QList<PingTarget> list;
    list.reserve(m_size);
    for (const PingTarget &t : *this)
        list.append(t);
    return list;
}

} // namespace netvane
