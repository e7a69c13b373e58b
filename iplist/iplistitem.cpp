#include "iplist/iplistitem.h"

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

// A part read as a 16-bit integer in 0..255; -1 when empty, unreadable or out of range.
int octetValue(const QString &part)
{
    if (part.isEmpty())
        return -1;
    bool ok = false;
    const int v = part.toInt(&ok);
    if (!ok || v < 0 || v > 255)
        return -1;
    return v;
}

} // namespace

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
    const QStringList parts = r.stripped.split(u'.');
    if (parts.size() != 4)
        return r;
    QStringList numbers;
    int sum = 0;
    for (const QString &p : parts) {
        const int v = octetValue(p);
        if (v < 0)
            return r;
        sum += v;
        numbers << QString::number(v);
    }
    if (sum == 0)
        return r;
    r.kind = AddressClass::Address;
    r.text = numbers.join(u'.');
    return r;
}

QString StrictAddressText(const QString &text)
{
    const QString t = text.trimmed();
    if (t.count(u'.') != 3 || !digitsAndDotsOnly(t))
        return {};
    QStringList numbers;
    for (const QString &p : t.split(u'.')) {
        const int v = octetValue(p);
        if (v < 0)
            return {};
        numbers << QString::number(v);
    }
    return numbers.join(u'.');
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
