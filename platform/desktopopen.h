#pragma once
// Opening a file in the desktop's application for it, and the print dialog. Both go
// through a seam: the program uses the desktop (QDesktopServices) and Qt's print
// dialog; tests install a responder that records the request and answers it, so no
// viewer starts and no dialog blocks.

#include <QString>

#include <functional>

class QPrinter;
class QWidget;

namespace netvane {

enum class OpenWith { Association, TextEditor };

// Opens the file; false when nothing could be started.
bool OpenWithDesktop(const QString &path, OpenWith how);

using DesktopOpenResponder = std::function<bool(const QString &path, OpenWith how)>;
// Replaces the handler; returns the previous one (empty: the desktop).
DesktopOpenResponder setDesktopOpenResponder(DesktopOpenResponder responder);

// Shows the print dialog for the printer; true when the user chose to print.
bool AskPrint(QPrinter &printer, QWidget *parent);

using PrintDialogResponder = std::function<bool(QPrinter &printer)>;
PrintDialogResponder setPrintDialogResponder(PrintDialogResponder responder);

} // namespace netvane
