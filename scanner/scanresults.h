#pragma once
// The IP range scan's results, apart from any window: one ScanResultRecord per
// scanned address, filled from the probe program's answers ("INDEX,TIME,TTL,HOST,MAC"
// or "INDEX,Dead"), then completed with MACs read from the output of the program's
// own "arp -a" and "nbtstat -a ADDRESS". The scan panel (scanpanel.h) owns a
// ScanTally, shows it and hands the finished records to the filter, group and export
// helpers below.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace netvane {

struct ScanResultRecord {
    QString Address;
    QString Ping;       // time in ms, "Dead", or empty while no answer came
    QString HostName;
    QString MacAddress; // upper case, dash-separated
    QString Ttl;
};

inline bool IsInactive(const ScanResultRecord &r) { return r.Ping == u"Dead"; }
inline bool IsActive(const ScanResultRecord &r) { return !r.Ping.isEmpty() && !IsInactive(r); }

// The answer counters of one scan and the records they fill.
struct ScanTally {
    QList<ScanResultRecord> results;
    int launched = 0;
    int expected = 0;  // 0 while launching
    int replies = 0;
    int active = 0;
    int inactive = 0;
    int remaining = 0;

    void reset(const QStringList &addresses);
    // Stores one answer text. Every answer is counted, even one whose index is
    // outside the records or that repeats an index.
    void storeAnswer(const QString &text);
    // A probe that ended without answering for its address: the address counts as
    // "Dead" unless an answer came after all. True when it was marked.
    bool markSilent(int index);
    bool complete() const { return expected >= 1 && replies >= expected; }
};

// The MAC of an address in "arp -a" output: after four blanks and the whole address
// (not one that merely begins with it), the next 27 characters trimmed, when they
// look like a MAC; upper case. Empty otherwise. The search starts at character 60,
// past the heading.
QString MacFromArpOutput(const QString &output, const QString &address);
// Fills every empty MacAddress that the output names.
void FillMacsFromArp(QList<ScanResultRecord> &records, const QString &output);
// The MAC that "nbtstat -a" reports after "MAC ADDRESS"; empty when none.
QString MacFromNbtstatOutput(const QString &output);

// "All", "Active" or "Inactive".
QList<ScanResultRecord> FilterScan(const QList<ScanResultRecord> &all, const QString &kind);
// The members of a new group: "ADDRESS (HOST)" or a bare address, CR LF between.
QString GroupMembersText(const QList<ScanResultRecord> &all, const QString &kind);

// The lines of the scan export file; the same layout for text and CSV.
QStringList ScanExportLines(const QList<ScanResultRecord> &all, const QString &total,
                            const QString &active, const QString &inactive,
                            const QDateTime &now);
// "IP_Scan_Results_YYMMDDhhmm".
QString ScanExportBaseName(const QDateTime &now);

} // namespace netvane
