#pragma once
// What the user may type as a target, in one place, so that every box that takes one
// answers the same text the same way: the IP / URL box, the single-entry dialog, the
// members of a group and the two ends of a range. A refusal says what is wrong and
// what is allowed. Items already stored in the list file are not checked again: they
// are tested as they stand.

#include <QString>

namespace netvane {

inline constexpr int MaxHostNameLength = 253;  // characters, without a final "."
inline constexpr int MaxHostLabelLength = 63;  // characters between two dots

// Empty when the text, its spaces removed, may be a target: an IPv4 address other
// than 0.0.0.0, or a host name. Otherwise the reason, followed by what is allowed.
QString TargetEntryProblem(const QString &text);

// What a target entry may be; the tail of every refusal.
QString TargetEntryAllowed();

// Empty when first and last (both valid dotted quads) make a range: the last address
// not before the first. Otherwise the reason and what is allowed.
QString RangeOrderProblem(const QString &first, const QString &last);

} // namespace netvane
