#pragma once
// The options of a traceroute run, read from the three option boxes and the name
// check box: what the tracert command is given before the host, and the hop count
// that sizes each host's line table and appears in its header line.

#include <QString>
#include <QStringList>

namespace netvane {

// The hop count used before any was accepted: the tracert command's own default.
inline constexpr int DefaultMaxHops = 30;

struct TracertOptions {
    bool ok = false;
    QString message;       // why the options were refused
    QStringList arguments; // "-d", "-h", "30", "-j", "10.0.0.1 10.0.0.2", "-w", "600"
    int maxHops = DefaultMaxHops;
};

// Each box is trimmed; an empty box adds nothing (an empty hop box keeps
// previousMaxHops). Refusals: "Inalid Maximum Number of Hops." (below 1), "Inalid
// Loose source route along host-list." (fewer than three dots), "Inalid Time Out
// Value." (below 1), and "Inalid Test Times." for a number too large to hold.
TracertOptions BuildTracertOptions(const QString &hops, const QString &hostList,
                                   const QString &timeOut, bool resolveNames,
                                   int previousMaxHops);

} // namespace netvane
