#pragma once
// The probe program travels inside netvane as a resource and is written out at
// start-up, so the scan can start one copy of it per address.

#include <QString>

namespace netvane {

inline const QString ProbeFileName = QStringLiteral("Brindlet2008112.exe");

// Writes the carried probe program into the data folder (the fallback folder, the
// program's own when empty, if that fails) with its execute bit. A file already
// there with the same bytes is left alone; one with other bytes (an older probe) is
// replaced. Returns the path to start, or an empty text with the reason in *error.
QString InstallProbeProgram(const QString &dataFolder, QString *error = nullptr,
                            const QString &fallbackFolder = {});

// The carried probe program's bytes (empty when the resource is missing).
QByteArray CarriedProbeProgram();

} // namespace netvane
