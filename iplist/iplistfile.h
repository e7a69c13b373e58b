#pragma once
// The target list file "Quellon_DB.txt" in the data folder: one item a line, in
// list order, closed by a line holding a single space. Reading trims each line,
// skips lines that begin with "=", and stops at the first empty line, so anything
// after the closing line is ignored. The list is kept sorted by the first 30
// characters of each item, which puts single entries first, then groups, then ranges.

#include "platform/textfile.h"

#include <QString>
#include <QStringList>

namespace netvane {

inline const QString IpListFileName = QStringLiteral("Quellon_DB.txt");

// The longest line kept when reading; longer lines (garbage, a binary file) are skipped.
inline constexpr qint64 MaxIpListLineBytes = 256 * 1024;

// The items of the file in file order, by the reading rules. Lines that are no
// item (another first letter, control characters, a range without two addresses,
// over-long) are skipped. Missing file: empty list, *exists false. Items read as
// Latin-1 are added to *latin1, so a rewrite gives them their old bytes. A path that
// is no regular file gives an empty list and the reason in *error.
QStringList ReadIpListFile(const QString &path, bool *exists = nullptr,
                           Latin1Lines *latin1 = nullptr, QString *error = nullptr);

// Sorted by the first 30 characters in code-unit order.
void SortListLines(QStringList &items);

// Writes the items in order and the closing single-space line (CR LF lines),
// replacing the file whole or not at all.
bool WriteIpListFile(const QString &path, const QStringList &items, QString *error = nullptr,
                     const Latin1Lines *latin1 = nullptr);

// What a new list holds: the gateway (else the local address), the DNS servers,
// two public web hosts, and, when the local address is known, the local group, the
// whole subnet as a group and eleven subnet ranges.
QStringList DefaultIpListItems(const QString &gateway, const QString &localAddress,
                               const QStringList &dnsServers);

// True when the line can be an item (kind letter A, B or C and a usable payload).
bool IsUsableItemLine(const QString &line);

} // namespace netvane
