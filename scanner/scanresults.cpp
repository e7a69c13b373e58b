#include "scanner/scanresults.h"

#include <QLocale>
#include <QRegularExpression>

namespace netvane {

namespace {

// A text of one line in a stored file: control characters become blanks.
QString oneLine(QString text)
{
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u' ';
    return text;
}

// "*-*-*-*-*-*": five dashes with anything between them.
bool looksLikeMac(const QString &text)
{
    static const QRegularExpression pattern(u"^.*-.*-.*-.*-.*-.*$"_qs,
                                            QRegularExpression::DotMatchesEverythingOption);
    return pattern.match(text).hasMatch();
}

} // namespace

void ScanTally::reset(const QStringList &addresses)
{
    *this = {};
    results.reserve(addresses.size());
    for (const QString &a : addresses)
        results.append({a, {}, {}, {}, {}});
    remaining = int(addresses.size());
}

void ScanTally::storeAnswer(const QString &text)
{
    const QStringList fields = text.split(u',');
    ++replies;
    bool ok = false;
    const int index = fields.value(0).trimmed().toInt(&ok);
    ScanResultRecord *r = ok && index >= 0 && index < results.size() ? &results[index] : nullptr;
    if (r && fields.size() >= 2)
        r->Ping = oneLine(fields.at(1).trimmed());
    if (fields.size() >= 4) {
        if (r) {
            r->Ttl = oneLine(fields.at(2).trimmed());
            r->HostName = oneLine(fields.at(3).trimmed());
            r->MacAddress = oneLine(fields.value(4).trimmed());
        }
        ++active;
    } else if (fields.size() == 2) {
        ++inactive;
    }
    --remaining;
}

bool ScanTally::markSilent(int index)
{
    if (index < 0 || index >= results.size() || !results.at(index).Ping.isEmpty())
        return false;
    storeAnswer(QString::number(index) + u",Dead"_qs);
    return true;
}

QString MacFromArpOutput(const QString &output, const QString &address)
{
    if (address.isEmpty())
        return {};
    const QString needle = u"    "_qs + address;
    for (qsizetype at = output.indexOf(needle, 60); at >= 0; at = output.indexOf(needle, at + 1)) {
        const qsizetype after = at + needle.size();
        // "10.0.0.1" must not be found inside "10.0.0.12".
        if (after < output.size() && (output.at(after).isDigit() || output.at(after) == u'.'))
            continue;
        const QString text = output.mid(after, 27).trimmed();
        return looksLikeMac(text) ? text.toUpper() : QString();
    }
    return {};
}

void FillMacsFromArp(QList<ScanResultRecord> &records, const QString &output)
{
    for (ScanResultRecord &r : records) {
        if (r.MacAddress.isEmpty() && r.Address.size() > 4)
            r.MacAddress = MacFromArpOutput(output, r.Address);
    }
}

QString MacFromNbtstatOutput(const QString &output)
{
    const qsizetype at = output.indexOf(u"MAC ADDRESS"_qs, 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    const QString text = output.mid(at, 31).trimmed();
    if (text.size() < 31)
        return {};
    const QString mac = text.right(17);
    return looksLikeMac(mac) ? mac.toUpper() : QString();
}

QList<ScanResultRecord> FilterScan(const QList<ScanResultRecord> &all, const QString &kind)
{
    if (kind == u"All")
        return all;
    QList<ScanResultRecord> kept;
    for (const ScanResultRecord &r : all)
        if ((kind == u"Active" && IsActive(r)) || (kind == u"Inactive" && IsInactive(r)))
            kept.append(r);
    return kept;
}

QString GroupMembersText(const QList<ScanResultRecord> &all, const QString &kind)
{
    QStringList members;
    for (const ScanResultRecord &r : FilterScan(all, kind))
        members << r.Address + u" ("_qs + r.HostName + u')';
    return members.join(u"\r\n"_qs).remove(u" ()"_qs);
}

QStringList ScanExportLines(const QList<ScanResultRecord> &all, const QString &total,
                            const QString &active, const QString &inactive, const QDateTime &now)
{
    static const QString rule = u"------------------------------------"_qs;
    static const QString heading = u"No,IP,Ping,Host Name,MAC Address,TTL"_qs;
    QStringList lines;
    lines << u"IP Scan at :  "_qs + QLocale().toString(now, QLocale::ShortFormat) << u" "_qs
          << u" "_qs << u"Total:   "_qs + total << u"Active:   "_qs + active
          << u"Inactive:   "_qs + inactive << u" "_qs << u" "_qs;
    const auto section = [&](const QString &title, bool dead) {
        lines << title << rule << heading;
        int number = 0;
        for (const ScanResultRecord &r : all) {
            if (IsInactive(r) != dead)
                continue;
            lines << oneLine(QString::number(++number) + u',' + r.Address + u',' + r.Ping + u','
                             + r.HostName + u',' + r.MacAddress + u',' + r.Ttl);
        }
    };
    section(u"Active:"_qs, false);
    lines << u" "_qs << u" "_qs;
    section(u"Inactive:"_qs, true);
    lines << u" "_qs;
    return lines;
}

QString ScanExportBaseName(const QDateTime &now)
{
    return u"IP_Scan_Results_"_qs + now.toString(u"yyMMddhhmm"_qs);
}

} // namespace netvane
