#include "iplist/targettable.h"

#include "iplist/iplistitem.h"
#include "platform/events.h"
#include "probe/netlookup.h"

#include <array>
#include <cstdlib>

namespace netvane {

namespace {

// The four octets of a range end; false when it is not four numbers 0..255.
bool octets(const QString &address, std::array<int, 4> &out)
{
    const QString strict = StrictAddressText(address);
    if (strict.isEmpty())
        return false;
    const QStringList parts = strict.split(u'.');
    for (int i = 0; i < 4; ++i)
        out[i] = parts[i].toInt();
    return true;
}

} // namespace

TargetTable::TargetTable(Resolver resolver, LargeRangeQuestion ask)
    : m_resolver(resolver ? std::move(resolver) : Resolver(&ResolveHostAddress)),
      m_ask(std::move(ask))
{
}

void TargetTable::clear()
{
    m_rows.clear();
    m_unresolvedCount = 0;
    m_unresolvedText.clear();
}

void TargetTable::addUnresolved(const QString &name)
{
    ++m_unresolvedCount;
    m_unresolvedText += u"\r\n       "_qs + name;
}

void TargetTable::ExpandListItem(const QString &item)
{
    const QChar kind = ItemKind(item);
    const QString payload = ItemPayload(item).trimmed();
    if (kind == u'A') {
        if (AddTarget(payload).isEmpty())
            addUnresolved(payload);
    } else if (kind == u'B') {
        const QStringList parts = payload.split(u',');
        for (qsizetype i = 1; i < parts.size(); ++i) {
            if (StripHostAnnotation(parts[i]).trimmed().isEmpty())
                continue; // an empty member in a hand-edited file is no target
            if (AddTarget(parts[i]).isEmpty())
                addUnresolved(parts[i]);
            if (m_catchUp)
                LetWindowCatchUp();
        }
    } else if (kind == u'C') {
        const QStringList parts = payload.split(u',');
        if (parts.size() >= 3)
            ExpandAddressRange(parts[1], parts[2]);
    }
}

QString TargetTable::AddTarget(const QString &text)
{
    const QString entry = StripHostAnnotation(text).trimmed();
    if (entry.isEmpty())
        return {};
    const ClassifiedAddress classified = ClassifyAddressText(entry);
    if (classified.kind != AddressClass::NotNumeric) {
        // An address in its plain dotted form (what the echo sends to and the result
        // file keeps); a numeric text that is none stays as typed, without blanks, and
        // the echo reports it as a bad address.
        const QString address = classified.kind == AddressClass::Address ? classified.text
                                                                         : classified.stripped;
        m_rows.append({address, address, address});
        return address;
    }
    const QString address = m_resolver(entry);
    if (address.isEmpty())
        return {};
    m_rows.append({address, entry + u" / "_qs + address, entry});
    return address;
}

void TargetTable::ExpandAddressRange(const QString &first, const QString &last)
{
    std::array<int, 4> a {}, b {};
    if (!octets(first, a) || !octets(last, b))
        return;
    const qint64 count = RangeAddressCount(first, last);
    if (count > LargeRange && m_ask && !m_ask(first.trimmed(), last.trimmed(), count))
        return;
    std::array<int, 4> step {};
    for (int i = 0; i < 4; ++i)
        step[i] = b[i] >= a[i] ? 1 : -1;
    for (int o0 = a[0];; o0 += step[0]) {
        for (int o1 = a[1];; o1 += step[1]) {
            for (int o2 = a[2];; o2 += step[2]) {
                for (int o3 = a[3];; o3 += step[3]) {
                    const QString address = QString::number(o0) + u'.' + QString::number(o1)
                                            + u'.' + QString::number(o2) + u'.'
                                            + QString::number(o3);
                    m_rows.append({address, address, address});
                    if (m_catchUp)
                        LetWindowCatchUp();
                    if (o3 == b[3])
                        break;
                }
                if (o2 == b[2])
                    break;
            }
            if (o1 == b[1])
                break;
        }
        if (o0 == b[0])
            break;
    }
}

qint64 RangeAddressCount(const QString &first, const QString &last)
{
    std::array<int, 4> a {}, b {};
    if (!octets(first, a) || !octets(last, b))
        return 0;
    qint64 count = 1;
    for (int i = 0; i < 4; ++i)
        count *= std::abs(b[i] - a[i]) + 1;
    return count;
}

QString TargetTable::unresolvedMessage() const
{
    if (m_unresolvedCount <= 0)
        return {};
    QString failed = m_unresolvedText;
    if (m_unresolvedCount > 9)
        failed = failed.left(20) + u"  ........"_qs;
    return u"Cannot find the IP address for the following "_qs + QString::number(m_unresolvedCount)
           + u" host:\r\n"_qs + failed;
}

} // namespace netvane
