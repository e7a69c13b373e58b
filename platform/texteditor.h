#pragma once

#include <QString>

namespace netvane {

// Opens a text file in the desktop's text editor (the application the desktop
// associates with it). False when nothing could be started.
bool OpenInTextEditor(const QString &path);

// Opens a file in the program the desktop associates with its kind (a spreadsheet
// for a CSV file). False when nothing could be started.
bool OpenWithAssociatedProgram(const QString &path);

} // namespace netvane
