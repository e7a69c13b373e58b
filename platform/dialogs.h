#pragma once
// The seam for message boxes and file dialogs. Every box the program shows goes
// through MsgBox and every file dialog through SaveFileDialog / OpenFileDialog. The
// program installs the real widgets (platform/widgetdialogs.h) at start-up; tests
// install a responder that records each box and answers it, so nothing blocks.

#include <QString>
#include <functional>

class QObject;

namespace netvane {

inline const QString ProgramTitle = QStringLiteral("Netvane");

enum class BoxIcon { None, Critical, Exclamation, Information, Question };
enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class BoxAnswer { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
    QString text;
    QString title;
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
};

struct FileDialogRequest {
    bool save = true;
    QString title;
    QString filterName;   // "Text Files (*.txt)"
    QString filterPattern; // "*.txt"
    QString defaultExtension;
    QString initialFolder;
    QString defaultName;
};

using MessageResponder = std::function<BoxAnswer(const MessageBoxRequest &)>;
using FileDialogResponder = std::function<QString(const FileDialogRequest &)>;

// Shows a box; an empty title stands for the program's title.
BoxAnswer MsgBox(const QString &text, BoxIcon icon = BoxIcon::None,
                 BoxButtons buttons = BoxButtons::Ok, const QString &title = {});

// Returns the chosen path, or an empty text when cancelled.
QString FileDialog(const FileDialogRequest &request);

// Replace the handlers; returns the previous one so a test can restore it.
MessageResponder setMessageResponder(MessageResponder responder);
FileDialogResponder setFileDialogResponder(FileDialogResponder responder);

} // namespace netvane
