#pragma once
// The targets of a ping test or a scan, expanded from list items: single entries
// (host names resolved), group members, and every address of a range (held as its
// two ends, TargetList). Host names that do not resolve give no row; they are
// collected for the caller to report. A long expansion reports its progress and
// stops when asked to.

#include "iplist/targetlist.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace netvane {

class TargetTable final
{
public:
    using Resolver = std::function<QString(const QString &name)>;
    // Asked before a range of more than LargeRange addresses is expanded; false skips it.
    using LargeRangeQuestion = std::function<bool(const QString &first, const QString &last,
                                                  qint64 count)>;
    static constexpr qint64 LargeRange = 65536;
    // Told the number of targets so far after each target, range and group member;
    // false stops the expansion there.
    using Progress = std::function<bool(qsizetype targets)>;

    // Resolver defaults to ResolveHostAddress; a missing question expands every range.
    explicit TargetTable(Resolver resolver = {}, LargeRangeQuestion ask = {});

    void ExpandListItem(const QString &item);
    // Appends one row; returns the address used, or empty when a name did not resolve.
    QString AddTarget(const QString &text);
    void ExpandAddressRange(const QString &first, const QString &last);

    void clear();
    TargetRows rows() const { return TargetRows(m_targets); }
    const TargetList &targets() const { return m_targets; }
    // Hands the targets over; the table is empty afterwards.
    TargetList takeTargets();
    int targetCount() const { return int(m_targets.size()); }
    int unresolvedCount() const { return m_unresolvedCount; }
    // Each unresolved name as CR LF, seven blanks and the name.
    QString unresolvedText() const { return m_unresolvedText; }
    // The box that names the entries without an address, or an empty text when
    // every entry has one (a test and a scan show the same box).
    QString unresolvedMessage() const;
    void addUnresolved(const QString &name);

    // Whether events run between members and addresses (the window stays alive
    // during a long expansion); off for plain computations.
    void setLetWindowCatchUp(bool on) { m_catchUp = on; }
    void setProgress(Progress progress) { m_progress = std::move(progress); }
    // True once the progress asked to stop: later items add nothing.
    bool cancelled() const { return m_cancelled; }

private:
    bool report();
    QString resolve(const QString &name);

    Resolver m_resolver;
    LargeRangeQuestion m_ask;
    Progress m_progress;
    TargetList m_targets;
    bool m_cancelled = false;
    int m_unresolvedCount = 0;
    QString m_unresolvedText;
    bool m_catchUp = true;
};

// The number of addresses ExpandAddressRange makes of two ends (each octet spans
// independently); 0 when an end is not four numbers.
qint64 RangeAddressCount(const QString &first, const QString &last);

} // namespace netvane
