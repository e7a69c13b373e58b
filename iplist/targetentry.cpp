#include "iplist/targetentry.h"

#include "iplist/iplistitem.h"
#include "platform/icmpsocket.h"

#include <QStringList>

namespace netvane {

QString TargetEntryAllowed()
{
    return u"Enter an IPv4 address (four numbers from 0 to 255 joined by \".\", not 0.0.0.0), "
           u"an IPv6 address (a link-local one with its zone, as fe80::1%eth0) "
           u"or a host name of at most 253 characters, each part between dots at most 63."_qs;
}

QString TargetEntryProblem(const QString &text)
{
    QString entry = text;
    entry.remove(u' ');
    const auto problem = [](const QString &reason) { return reason + u' ' + TargetEntryAllowed(); };
    if (entry.isEmpty())
        return problem(u"Nothing was entered."_qs);
    const ClassifiedAddress address = ClassifyAddressText(entry);
    if (address.kind == AddressClass::Invalid)
        return problem(address.ipv6 ? address.ipv6Problem
                                    : u"'"_qs + entry + u"' is not an IPv4 address."_qs);
    if (address.kind == AddressClass::Address)
        return {};
    QString name = entry;
    if (name.endsWith(u'.')) // the root's dot of a fully qualified name
        name.chop(1);
    if (name.size() > MaxHostNameLength)
        return problem(u"The host name has "_qs + QString::number(name.size())
                       + u" characters."_qs);
    for (const QString &label : name.split(u'.')) {
        if (label.isEmpty())
            return problem(u"The host name has an empty part between dots."_qs);
        if (label.size() > MaxHostLabelLength)
            return problem(u"A part of the host name has "_qs + QString::number(label.size())
                           + u" characters."_qs);
    }
    return {};
}

QString RangeOrderProblem(const QString &first, const QString &last)
{
    const bool v6First = first.contains(u':'), v6Last = last.contains(u':');
    if (v6First || v6Last) {
        if (v6First != v6Last)
            return u"A range runs between two IPv4 or two IPv6 addresses, not one of each."_qs;
        const std::optional<Ipv6Range> range = ParseIpv6Range(first, last);
        if (!range)
            return {};
        if (range->zone != range->lastZone)
            return u"Both ends of a link-local range carry the same zone."_qs;
        if (range->reversed)
            return u"The last address "_qs + last.trimmed() + u" comes before the first address "_qs
                   + first.trimmed() + u". A range runs from its first address up to its last: enter "_qs
                   u"the lower address in IP Field 1."_qs;
        if (range->count > MaxIpv6RangeCount)
            return u"The range from "_qs + first.trimmed() + u" to "_qs + last.trimmed() + u" holds "_qs
                   + range->countText + u" addresses; an IPv6 range may hold at most 65,536."_qs;
        return {};
    }
    const std::optional<quint32> from = platform::ParseDottedQuad(first.trimmed());
    const std::optional<quint32> to = platform::ParseDottedQuad(last.trimmed());
    if (!from || !to || *to >= *from)
        return {};
    return u"The last address "_qs + last.trimmed() + u" comes before the first address "_qs
           + first.trimmed() + u". A range runs from its first address up to its last: enter "_qs
           u"the lower address in IP Field 1."_qs;
}

} // namespace netvane
