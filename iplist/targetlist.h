#pragma once
// The targets of a test or a scan in their order, held compactly: a range of
// addresses keeps only its two ends and makes each address when it is asked for, so
// a range of sixteen million addresses costs a few bytes, not sixteen million texts;
// every other target (a single entry, a group member, a resolved host name) keeps its
// texts. Copies share nothing that changes: a copy can be read on another thread.

#include "platform/icmpwire.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <initializer_list>
#include <iterator>
#include <vector>

namespace netvane {

struct PingTarget {
    QString address; // what the echo is sent to
    QString name;    // the target as listed (for the target file and exports)
};

// One row of the target table.
struct TargetRow {
    QString address; // what the echo is sent to
    QString label;   // the address, or "name / address"
    QString source;  // the entry as listed, annotation removed
};

// Walks a list by index, giving values (for (const PingTarget &t : list) works).
template <typename List, typename Value, Value (List::*Get)(qsizetype) const>
class IndexIterator
{
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Value;
    using difference_type = qsizetype;
    using reference = Value;
    using pointer = void;

    IndexIterator(const List *list, qsizetype index) : m_list(list), m_index(index) {}
    Value operator*() const { return (m_list->*Get)(m_index); }
    IndexIterator &operator++()
    {
        ++m_index;
        return *this;
    }
    bool operator==(const IndexIterator &other) const { return m_index == other.m_index; }

private:
    const List *m_list;
    qsizetype m_index;
};

class TargetList final
{
public:
    TargetList() = default;
    TargetList(const QList<PingTarget> &targets);
    TargetList(std::initializer_list<PingTarget> targets);

    // One target with its texts (source: as listed; the address when empty).
    void append(const QString &address, const QString &label, const QString &source = {});
    void append(const PingTarget &target) { append(target.address, target.name); }
    // Every address from `first` to `last`, each octet walking from its first value to
    // its last on its own (up, or down when the last is smaller), the first octet
    // outermost: the cartesian product of the four spans.
    void appendRange(const std::array<int, 4> &first, const std::array<int, 4> &last);
    // `count` IPv6 addresses from `first` up, each with the zone (empty for none).
    void appendRange6(const std::array<uint8_t, 16> &first, quint32 count, const QString &zone);

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    PingTarget at(qsizetype i) const { return {address(i), label(i)}; }
    PingTarget first() const { return at(0); }
    TargetRow row(qsizetype i) const;
    QString address(qsizetype i) const;
    QString label(qsizetype i) const;
    // The label of targets first .. end - 1 in UTF-8, each followed by `lineEnd`,
    // appended to `out` (millions of range addresses are written without a text each).
    void appendLabels(qsizetype first, qsizetype end, QByteArrayView lineEnd, QByteArray &out) const;
    // Where the echo for target i goes; not valid for a text that is no address
    // (the echo refuses it: "inet_addr: bad IP format").
    platform::IpAddress echoAddress(qsizetype i) const;
    // The length of the longest address text.
    int widestAddress() const { return m_widest; }
    // The heap and object bytes the list holds.
    qsizetype memoryBytes() const;
    QList<PingTarget> toList() const;

    using const_iterator = IndexIterator<TargetList, PingTarget, &TargetList::at>;
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_size}; }

private:
    struct Text {
        QString address, label, source;
        platform::IpAddress echo;
    };
    struct Range {
        std::array<quint8, 4> first{};
        std::array<qint8, 4> step{};   // +1 or -1
        std::array<quint16, 4> span{}; // values each octet takes, 1..256
    };
    struct Range6 {
        std::array<uint8_t, 16> first{};
        QString zone;
        platform::IpAddress echo; // of the first address, with the zone's interface
    };
    // A run of consecutive targets: texts[index ..], ranges[index] or ranges6[index].
    struct Piece {
        qsizetype start = 0;
        qsizetype count = 0;
        qsizetype index = 0;
        bool range = false;
        bool v6 = false;
    };
    const Piece &pieceOf(qsizetype i) const;
    quint32 rangeAddress(const Piece &piece, qsizetype i) const;
    platform::IpAddress range6Address(const Piece &piece, qsizetype i) const;
    QString range6Text(const Piece &piece, qsizetype i) const;

    std::vector<Piece> m_pieces;
    std::vector<Text> m_texts;
    std::vector<Range> m_ranges;
    std::vector<Range6> m_ranges6;
    qsizetype m_size = 0;
    int m_widest = 0;
};

// The rows of a target list as the table shows them (address, label, source): a
// view that lives no longer than its list (or is copied into a QList).
class TargetRows final
{
public:
    explicit TargetRows(const TargetList &list) : m_list(&list) {}
    qsizetype size() const { return m_list->size(); }
    TargetRow at(qsizetype i) const { return m_list->row(i); }
    operator QList<TargetRow>() const
    {
        QList<TargetRow> rows;
        rows.reserve(size());
        for (qsizetype i = 0; i < size(); ++i)
            rows.append(at(i));
        return rows;
    }
    using const_iterator = IndexIterator<TargetRows, TargetRow, &TargetRows::at>;
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    const TargetList *m_list;
};

} // namespace netvane
