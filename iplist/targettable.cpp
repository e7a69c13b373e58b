#include "iplist/targettable.h"

#include "iplist/iplistitem.h"
#include "iplist/targetentry.h"
#include "platform/events.h"
#include "probe/netlookup.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

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
    : m_resolver(resolver ? std::move(resolver) : Resolver([](const QString &name) { return ResolveHostAddress(name); })),
      m_ask(std::move(ask))
{
}

void TargetTable::clear()
{
    m_targets = {};
    m_unresolvedCount = 0;
    m_unresolvedText.clear();
    m_cancelled = false;
}

TargetList TargetTable::takeTargets()
{
    TargetList taken = std::move(m_targets);
    m_targets = {};
    return taken;
}

bool TargetTable::report()
{
    if (m_progress && !m_cancelled && !m_progress(m_targets.size()))
        m_cancelled = true;
    return !m_cancelled;
}

QString TargetTable::resolve(const QString &name)
{
    if (!m_catchUp)
        return m_resolver(name);
    // The look-up may wait seconds for a name server: it runs aside while the window
    // keeps turning, and a stop leaves it behind to finish on its own.
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        QString address;
    };
    const auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, resolver = m_resolver, name] {
        QString address = resolver(name);
        const std::lock_guard lock(lookup->mutex);
        lookup->address = std::move(address);
        lookup->finished = true;
        lookup->done.notify_one();
    }).detach();
    for (;;) {
        {
            std::unique_lock lock(lookup->mutex);
            if (lookup->done.wait_for(lock, std::chrono::milliseconds(10), [&] { return lookup->finished; }))
                return lookup->address;
        }
        LetWindowCatchUp();
        if (!report())
            return {};
    }
}

void TargetTable::addUnresolved(const QString &name)
{
    ++m_unresolvedCount;
    m_unresolvedText += u"\r\n       "_qs + name;
}

void TargetTable::ExpandListItem(const QString &item)
{
    if (m_cancelled)
        return;
    const QChar kind = ItemKind(item);
    const QString payload = ItemPayload(item).trimmed();
    if (kind == u'A') {
        if (AddTarget(payload).isEmpty() && !m_cancelled)
            addUnresolved(payload);
        report();
    } else if (kind == u'B') {
        const QStringList parts = payload.split(u',');
        for (qsizetype i = 1; i < parts.size(); ++i) {
            if (StripHostAnnotation(parts[i]).trimmed().isEmpty())
                continue; // an empty member in a hand-edited file is no target
            if (AddTarget(parts[i]).isEmpty() && !m_cancelled)
                addUnresolved(parts[i]);
            if (m_catchUp)
                LetWindowCatchUp();
            if (!report())
                return;
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
        m_targets.append(address, address, address);
        return address;
    }
    const QString address = resolve(entry);
    if (address.isEmpty() || m_cancelled)
        return {};
    m_targets.append(address, entry + u" / "_qs + address, entry);
    return address;
}

void TargetTable::ExpandAddressRange(const QString &first, const QString &last)
{
    if (first.contains(u':') || last.contains(u':')) {
        // An IPv6 range the dialog would refuse (a hand-edited file) is no target.
        const std::optional<Ipv6Range> range = ParseIpv6Range(first, last);
        if (!range || !RangeOrderProblem(first, last).isEmpty())
            return;
        if (qint64(range->count) > std::numeric_limits<int>::max() - m_targets.size())
            return;
        m_targets.appendRange6(range->first, quint32(range->count), range->zone);
        if (m_catchUp)
            LetWindowCatchUp();
        report();
        return;
    }
    std::array<int, 4> a {}, b {};
    if (!octets(first, a) || !octets(last, b))
        return;
    const qint64 count = RangeAddressCount(first, last);
    if (count > LargeRange && m_ask && !m_ask(first.trimmed(), last.trimmed(), count))
        return;
    // The table counts its targets in 32 bits, as the result file does.
    if (count > std::numeric_limits<int>::max() - m_targets.size())
        return;
    m_targets.appendRange(a, b);
    if (m_catchUp)
        LetWindowCatchUp();
    report();
}

qint64 RangeAddressCount(const QString &first, const QString &last)
{
    if (first.contains(u':') || last.contains(u':')) {
        const std::optional<Ipv6Range> range = ParseIpv6Range(first, last);
        return range && RangeOrderProblem(first, last).isEmpty() ? qint64(range->count) : 0;
    }
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
