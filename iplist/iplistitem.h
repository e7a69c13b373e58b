#pragma once
// One item of the target list as one line of text: a kind letter and a payload.
//   A<address or host name>                     a single entry
//   B<title>,<member>,<member>...               a group (members may carry "  (name)")
//   C<title>,<first address>,<last address>    a range
// The same string is used in the list file, in memory and between the windows.

#include <QString>
#include <QStringList>

namespace netvane {

enum class AddressClass {
    Address,    // a valid dotted quad (normalised in ClassifiedAddress::text)
    Invalid,    // numeric but not a valid address (1.2.3, 300.1.1.1, 0.0.0.0)
    NotNumeric, // anything else: taken as a host name
};

struct ClassifiedAddress {
    AddressClass kind = AddressClass::NotNumeric;
    QString text;     // the normalised address when kind is Address
    QString stripped; // the input with its spaces removed (quoted in error messages)
};

ClassifiedAddress ClassifyAddressText(const QString &text);

// The strict form used for range ends: exactly four decimal parts 0..255 (0.0.0.0
// allowed), answered normalised; empty otherwise.
QString StrictAddressText(const QString &text);

// "192.168.1.1   (Host A)" -> "192.168.1.1"; text without "(" is returned unchanged.
QString StripHostAnnotation(const QString &text);

// The address with its last "." and what follows removed: 192.168.1.23 -> 192.168.1.
QString SubnetPrefix(const QString &address);

QChar ItemKind(const QString &item);
// The text after the kind letter.
QString ItemPayload(const QString &item);
// The title of a group or range (the text before the first ",").
QString ItemTitle(const QString &item);
// What the list shows: the address of a single entry, the title of a group or range.
QString ItemDisplayText(const QString &item);
// The members of a group (as typed), or first and last address of a range.
QStringList ItemParts(const QString &item);

// A title may not hold "," (the file takes the title as the text before the first one).
bool IsValidItemTitle(const QString &title);

// The traceroute target of an item: a single entry's payload; a group's first nine
// members without annotations, joined by spaces; empty for a range.
QString TraceTargetOfItem(const QString &item);

} // namespace netvane
