#include "iplist/iplistitem.h"

#include "platform/icmpsocket.h"

#include <algorithm>

namespace netvane {

namespace {

bool digitsAndDotsOnly(const QString &s)
{
    for (QChar c : s) {
        if (!(c.isDigit() && c.unicode() < 128) && c != u'.')
            return false;
    }
    return true;
}

ClassifiedAddress classifyIpv6(ClassifiedAddress r)
{
    r.ipv6 = true;
    r.kind = AddressClass::Invalid;
    std::array<uint8_t, 16> bytes{};
    std::string zone;
    if (!platform::ParseIpv6Text(r.stripped.toStdString(), bytes, zone)) {
        r.ipv6Problem = u"'"_qs + r.stripped + u"' is not an IPv6 address."_qs;
        return r;
    }
    platform::IpAddress v4;
    if (platform::ParseIpAddress(platform::Ipv6CanonicalText(bytes), v4) && v4.family == AF_INET) {
        if (!zone.empty()) {
            r.ipv6Problem = u"An IPv4 address carries no zone."_qs;
            return r;
        }
        if (v4.v4HostOrder() == 0) {
            r.ipv6Problem = u"'"_qs + r.stripped + u"' is not an IPv4 address."_qs;
            return r;
        }
        r.kind = AddressClass::Address;
        r.ipv6 = false;
        r.text = platform::DottedQuadText(v4.v4HostOrder());
        return r;
    }
    const QString zoneText = QString::fromStdString(zone);
    if (bytes == std::array<uint8_t, 16>{}) {
        r.ipv6Problem = u"'::' is no address to test."_qs;
    } else if (platform::IsIpv6LinkLocal(bytes) && zone.empty()) {
        r.ipv6Problem = u"The link-local address '"_qs + r.stripped
                        + u"' needs its zone, the interface it is reached through, as in fe80::1%eth0."_qs;
    } else if (!platform::IsIpv6LinkLocal(bytes) && !zone.empty()) {
        r.ipv6Problem = u"Only a link-local address (fe80::/10) carries a zone."_qs;
    } else if (zoneText.size() > 15
               || std::any_of(zoneText.begin(), zoneText.end(), [](QChar c) {
                      // An interface name: printable, and nothing the list file or a
                      // group member's note would take apart.
                      return c.unicode() <= u' ' || c.unicode() > u'~' || c == u'/' || c == u','
                             || c == u'(' || c == u'%';
                  })) {
        r.ipv6Problem = u"'"_qs + zoneText + u"' is not an interface name."_qs;
    } else {
        r.kind = AddressClass::Address;
        r.text = QString::fromStdString(platform::Ipv6CanonicalText(bytes));
        if (!zone.empty())
            r.text += u'%' + zoneText;
    }
    return r;
}

} // namespace

// Both use the one address rule of the echo, so that what the list takes for an
// address is what the echo sends to, in its plain dotted form.
ClassifiedAddress ClassifyAddressText(const QString &text)
{
    ClassifiedAddress r;
    r.stripped = text;
    r.stripped.remove(u' ');
    if (r.stripped.contains(u':'))
        return classifyIpv6(r);
    if (r.stripped.count(u'.') < 2 || !digitsAndDotsOnly(r.stripped)) {
        r.kind = AddressClass::NotNumeric;
        return r;
    }
    r.kind = AddressClass::Invalid;
    const std::optional<quint32> address = platform::ParseDottedQuad(r.stripped);
    if (!address || *address == 0)
        return r;
    r.kind = AddressClass::Address;
    r.text = platform::DottedQuadText(*address);
    return r;
}

QString StrictAddressText(const QString &text)
{
    const QString t = text.trimmed();
    if (t.contains(u':')) {
        const ClassifiedAddress c = ClassifyAddressText(t);
        return c.kind == AddressClass::Address ? c.text : QString();
    }
    if (t.count(u'.') != 3 || !digitsAndDotsOnly(t))
        return {};
    const std::optional<quint32> address = platform::ParseDottedQuad(t);
    return address ? platform::DottedQuadText(*address) : QString();
}

namespace {

bool splitIpv6(const QString &text, std::array<uint8_t, 16> &bytes, QString &zone)
{
    const ClassifiedAddress c = ClassifyAddressText(text);
    if (!c.ipv6 || c.kind != AddressClass::Address)
        return false;
    std::string z;
    platform::ParseIpv6Text(c.text.toStdString(), bytes, z);
    zone = QString::fromStdString(z);
    return true;
}

unsigned __int128 number(const std::array<uint8_t, 16> &bytes)
{
    unsigned __int128 n = 0;
    for (uint8_t b : bytes)
        n = n << 8 | b;
    return n;
}

} // namespace

std::optional<Ipv6Range> ParseIpv6Range(const QString &first, const QString &last)
{
    Ipv6Range r;
    std::array<uint8_t, 16> end{};
    if (!splitIpv6(first, r.first, r.zone) || !splitIpv6(last, end, r.lastZone))
        return std::nullopt;
    const unsigned __int128 a = number(r.first), b = number(end);
    r.reversed = b < a;
    if (r.reversed)
        return r;
    const unsigned __int128 span = b - a; // the count less one: 2^128 itself has no room
    r.count = span >= ~quint64(0) ? ~quint64(0) : quint64(span + 1);
    std::string digits;
    unsigned __int128 n = span;
    int carry = 1; // add the one back while writing the digits
    do {
        int d = int(n % 10) + carry;
        carry = d / 10;
        digits.insert(digits.begin(), char('0' + d % 10));
        n /= 10;
    } while (n != 0);
    if (carry)
        digits.insert(digits.begin(), '1');
    r.countText = QString::fromStdString(digits);
    return r;
}

QString StoredEntryText(const QString &text)
{
    const qsizetype open = text.indexOf(u'(');
    const QString head = open < 0 ? text : text.left(open);
    const ClassifiedAddress c = ClassifyAddressText(head);
    if (!head.contains(u':') || c.kind != AddressClass::Address)
        return text;
    const QString trimmed = head.trimmed();
    const qsizetype lead = head.indexOf(trimmed);
    return head.left(lead) + c.text + head.mid(lead + trimmed.size()) + (open < 0 ? QString() : text.mid(open));
}

QString StripHostAnnotation(const QString &text)
{
    const qsizetype open = text.indexOf(u'(');
    if (open < 0)
        return text;
    return text.left(open).trimmed();
}

QString SubnetPrefix(const QString &address)
{
    // The search for the last "." looks at most 99 characters back from the end.
    const qsizetype dot = address.lastIndexOf(u'.');
    if (dot < 0 || address.size() - dot > 99)
        return {};
    return address.left(dot);
}

QChar ItemKind(const QString &item)
{
    return item.isEmpty() ? QChar() : item.at(0);
}

QString ItemPayload(const QString &item)
{
    return item.mid(1);
}

QString ItemTitle(const QString &item)
{
    const QString payload = ItemPayload(item);
    const qsizetype comma = payload.indexOf(u',');
    return comma < 0 ? payload : payload.left(comma);
}

QString ItemDisplayText(const QString &item)
{
    if (ItemKind(item) == u'A')
        return item.mid(1, 99).trimmed();
    return ItemTitle(item);
}

QStringList ItemParts(const QString &item)
{
    QStringList parts = ItemPayload(item).trimmed().split(u',');
    parts.removeFirst();
    return parts;
}

bool IsValidItemTitle(const QString &title)
{
    return !title.contains(u',');
}

QString TraceTargetOfItem(const QString &item)
{
    switch (ItemKind(item).unicode()) {
    case 'A':
        return ItemPayload(item);
    case 'B': {
        QStringList members;
        for (const QString &m : ItemParts(item).mid(0, 9))
            members << StripHostAnnotation(m);
        return members.join(u' ').trimmed();
    }
    default:
        return {};
    }
}

} // namespace netvane
