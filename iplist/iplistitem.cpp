#include "iplist/iplistitem.h"

#include "platform/icmpsocket.h"

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

} // namespace

// Both use the one address rule of the echo, so that what the list takes for an
// address is what the echo sends to, in its plain dotted form.
ClassifiedAddress ClassifyAddressText(const QString &text)
{
    ClassifiedAddress r;
    r.stripped = text;
    r.stripped.remove(u' ');
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
    if (t.count(u'.') != 3 || !digitsAndDotsOnly(t))
        return {};
    const std::optional<quint32> address = platform::ParseDottedQuad(t);
    return address ? platform::DottedQuadText(*address) : QString();
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
