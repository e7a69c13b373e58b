#pragma once
// One item of the target list as one line of text: a kind letter and a payload.
//   A<address or host name>                     a single entry
//   B<title>,<member>,<member>...               a group (members may carry "  (name)")
//   C<title>,<first address>,<last address>    a range
// The same string is used in the list file, in memory and between the windows.

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

namespace netvane {

enum class AddressClass {
    Address,    // a valid address (normalised in ClassifiedAddress::text)
    Invalid,    // numeric but not a valid address (1.2.3, 300.1.1.1, 0.0.0.0, 1::2::3)
    NotNumeric, // anything else: taken as a host name
};

struct ClassifiedAddress {
    AddressClass kind = AddressClass::NotNumeric;
    QString text;     // the normalised address when kind is Address
    QString stripped; // the input with its spaces removed (quoted in error messages)
    bool ipv6 = false;  // the text is IPv6 (it holds a ":", which no host name does)
    QString ipv6Problem; // why an IPv6 text is no address
};

// A text with a ":" is IPv6 (a host name never holds one): valid in any form of
// RFC 4291 and answered in the RFC 5952 form; a link-local address only with its
// zone ("fe80::1%eth0"), which no other address may carry; not "::". An IPv4 address
// written as IPv6 (::ffff:10.0.0.1) is answered in its dotted form.
ClassifiedAddress ClassifyAddressText(const QString &text);

// The strict form used for range ends: exactly four decimal parts 0..255 (0.0.0.0
// allowed), or an IPv6 address as ClassifyAddressText takes it, answered normalised;
// empty otherwise.
QString StrictAddressText(const QString &text);

// The two ends of an IPv6 range: it runs from the first address up to the last as
// 128-bit numbers (not part by part, as an IPv4 range does).
inline constexpr quint64 MaxIpv6RangeCount = 65536;
struct Ipv6Range {
    std::array<uint8_t, 16> first{};
    QString zone;     // of the first end ("eth0" of fe80::1%eth0), empty when none
    QString lastZone; // of the last end
    bool reversed = false;  // the last address comes before the first
    quint64 count = 0;      // addresses from first to last, at most 2^64 - 1
    QString countText;      // the same in full decimal
};
// Nothing unless both ends are IPv6 addresses.
std::optional<Ipv6Range> ParseIpv6Range(const QString &first, const QString &last);

// A group member or single entry as it is stored: an IPv6 address in its RFC 5952
// form (annotation and blanks kept), any other text unchanged.
QString StoredEntryText(const QString &text);

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
