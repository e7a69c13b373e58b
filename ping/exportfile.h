#pragma once
// The conventions every export and import of the program shares: a default file
// name, the save or open dialog starting in the last folder any file dialog used
// (the desktop folder at first, or the documents folder), the program's own
// overwrite question, and the "File Saved" box. The caller checks for data first and writes the file itself.

#include <QString>

namespace netvane {

// The last folder chosen in any file dialog; empty until one was chosen or loaded.
QString LastDialogFolder();
void SetLastDialogFolder(const QString &folder);

// Save dialog with the filter "Text Files (*.<extension>)", then, for an existing
// file, "The same filename exist, overwrite it?". Returns the path to write, or an
// empty text when the user cancelled or answered No. An existing file is left in
// place: the export replaces it whole (platform/textfile.h FileReplacer), so a
// failed export, or one onto the file it copies, loses nothing.
QString AskSavePath(const QString &title, const QString &defaultName, const QString &extension);

// Open dialog; the answer trimmed and without line breaks, or empty when cancelled.
QString AskOpenPath(const QString &title, const QString &extension);
// The same with its own filter, for example "Text/CSV Files (*.txt;*.csv)", whose
// patterns are the text in its parentheses.
QString AskOpenPath(const QString &title, const QString &extension, const QString &filterName);

// The import side: the open dialog, "Not Find This File." for a missing file, then
// the overwrite question when the file to replace exists. Returns the chosen path,
// or an empty text when the import ends there.
QString AskImportPath(const QString &title, const QString &replacedFile,
                      const QString &overwriteQuestion);

// The information box titled "File Saved".
void ShowFileSaved(const QString &text);

} // namespace netvane
