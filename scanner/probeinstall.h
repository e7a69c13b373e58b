#pragma once
// The probe program travels inside netvane as a resource and is written out at
// start-up, so the scan can start one copy of it per address. Which copy a scan
// starts is asked of the copies themselves: the right to open a raw ICMP socket
// (cap_net_raw, which the install gives the copy beside the program) belongs to a
// file, not to the program that starts it.

#include <QString>

namespace netvane {

inline const QString ProbeFileName = QStringLiteral("Brindlet2008112.exe");

// Writes the carried probe program into the data folder (the fallback folder, the
// program's own when empty, if that fails), the user's alone with its execute bit. A
// file already there with the same bytes is left alone; one with other bytes (an
// older probe) is replaced. Anything but a regular file at the path (a FIFO, a link,
// a folder) is left as it is and refused, without waiting on it. Returns the path to
// start, or an empty text with the reason in *error. *dataFolderProblem tells why the
// data folder's copy could not be written, also when the fallback then served.
QString InstallProbeProgram(const QString &dataFolder, QString *error = nullptr,
                            const QString &fallbackFolder = {},
                            QString *dataFolderProblem = nullptr);

// The carried probe program's bytes (empty when the resource is missing).
QByteArray CarriedProbeProgram();

struct ProbeChoice {
    QString path;    // the copy to start; empty when none can send
    QString problem; // why not, with how to allow it
};

// The copy of the probe program that can send echoes: the installed one, else the one
// beside the program (programFolder, the program's own when empty). Each is started
// once to say whether it can open an echo socket.
ProbeChoice ChooseProbeProgram(const QString &installed, const QString &programFolder = {});

} // namespace netvane
