#pragma once
// The export of a path run: per target its verdict, its hops' figures and its route
// changes, as text (aligned columns), CSV (one row per hop) or JSON.

#include "traceroute/pathlog.h"

#include <QByteArray>
#include <QStringList>

namespace netvane {

// "Path_Log_YYYYMMDDHHMMSS" from the run's start.
QString PathExportFileName(const PathRunSettings &settings);
// The lines of the "txt" or "csv" layout.
QStringList PathExportLines(const QList<PathTrace> &traces, const PathRunSettings &settings,
                            const QString &extension);
QByteArray PathExportJson(const QList<PathTrace> &traces, const PathRunSettings &settings);

} // namespace netvane
