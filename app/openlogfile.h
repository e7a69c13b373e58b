#pragma once
// Opening a log or export file the program wrote earlier: the open-file chooser
// ("Open Log File", text and CSV files, starting in the last folder a file dialog
// used, else the desktop or documents folder) and the choice of viewer. A CSV file
// opens in the program the desktop associates with it (a spreadsheet); any other
// file in the text editor.

#include <QString>

namespace netvane {

enum class LogViewer { Associated, TextEditor };

// "CSV" among the last four characters of the path, upper-cased, picks the
// associated program: LOG.Csv does, log.txt and log.cs do not.
LogViewer ViewerFor(const QString &path);

// The folder part of a chosen path: up to and including the last separator; a path
// ending in one is its own folder; a path without one has none.
QString FolderPart(const QString &path);

// A name returned by the chooser, cut at its first carriage return, line feed or NUL.
QString CutChosenName(const QString &name);

// Shows the chooser; returns the chosen path (trimmed), or an empty text when the user
// cancels. A choice becomes the last folder; a cancel leaves it as it was.
QString ChooseLogFile();

} // namespace netvane
