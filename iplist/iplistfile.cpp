#include "iplist/iplistfile.h"

#include "iplist/iplistitem.h"
#include "platform/linestream.h"
#include "platform/textfile.h"

#include <QFile>

#include <algorithm>

namespace netvane {

bool IsUsableItemLine(const QString &line)
{
    if (line.size() < 2)
        return false;
    // Control characters or undecodable bytes: not a text line of ours.
    if (ContainsControlCharacter(line) || line.contains(QChar::ReplacementCharacter))
        return false;
    switch (line.at(0).unicode()) {
    case 'A':
        return !line.mid(1).trimmed().isEmpty();
    case 'B':
        return !ItemTitle(line).isEmpty() || line.contains(u',');
    case 'C': {
        const QStringList parts = ItemParts(line);
        return parts.size() >= 2 && !StrictAddressText(parts[0]).isEmpty()
               && !StrictAddressText(parts[1]).isEmpty();
    }
    default:
        return false;
    }
}

QStringList ReadIpListFile(const QString &path, bool *exists, Latin1Lines *latin1, QString *error)
{
    QStringList items;
    QString why;
    const bool opened = ReadTextLinesWhile(path, MaxIpListLineBytes,
                                           [&items, latin1](const TextLine &raw) {
        if (raw.tooLong)
            return true;
        const QString line = raw.text.trimmed();
        if (line.isEmpty())
            return false;
        if (!line.startsWith(u'=') && IsUsableItemLine(line)) {
            items << line;
            if (raw.latin1 && latin1)
                latin1->insert(line);
        }
        return true;
    }, &why);
    if (exists)
        *exists = opened || QFile::exists(path);
    if (!opened && error && QFile::exists(path))
        *error = why;
    return items;
}

void SortListLines(QStringList &items)
{
    std::stable_sort(items.begin(), items.end(), [](const QString &a, const QString &b) {
        return QStringView(a).left(30).compare(QStringView(b).left(30), Qt::CaseSensitive) < 0;
    });
}

bool WriteIpListFile(const QString &path, const QStringList &items, QString *error,
                     const Latin1Lines *latin1)
{
    QStringList lines = items;
    lines << u" "_qs;
    return WriteTextLines(path, lines, error, latin1, FileAccess::OwnerOnly);
}

QStringList DefaultIpListItems(const QString &gateway, const QString &localAddress,
                               const QStringList &dnsServers)
{
    QStringList items;
    const QString first = gateway.isEmpty() ? localAddress : gateway;
    if (!first.isEmpty())
        items << u"A"_qs + first;
    for (const QString &dns : dnsServers) {
        if (!dns.isEmpty() && dns != first)
            items << u"A"_qs + dns;
    }
    items << u"Awww.wikipedia.org"_qs << u"Awww.debian.org"_qs;

    // Without a local address the prefix is empty and these lines would list
    // addresses such as ".1"; they are left out then.
    const QString p = SubnetPrefix(localAddress);
    if (p.isEmpty())
        return items;
    QString group = u"BIP_Group_01"_qs;
    for (int last : {1, 2, 3, 4, 5, 10, 20, 30, 40})
        group += u',' + p + u'.' + QString::number(last);
    items << group;
    QString subnet = u"BIP_Group_Subnet(0-255)"_qs;
    for (int last = 0; last <= 255; ++last)
        subnet += u',' + p + u'.' + QString::number(last);
    items << subnet;
    items << u"CIP_Range_01_Subnet_(0-255),"_qs + p + u".0,"_qs + p + u".255"_qs;
    const int bounds[][2] = {{0, 24},    {25, 49},   {50, 74},   {75, 99},   {100, 124},
                             {125, 149}, {150, 174}, {175, 199}, {200, 224}, {225, 255}};
    int number = 2;
    for (const auto &b : bounds) {
        items << u"CIP_Range_%1_Subnet_(%2-%3),%4.%2,%4.%3"_qs
                     .arg(number++, 2, 10, QChar(u'0'))
                     .arg(b[0])
                     .arg(b[1])
                     .arg(p);
    }
    return items;
}

} // namespace netvane
