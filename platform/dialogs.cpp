#include "platform/dialogs.h"

#include <cstdio>

namespace netvane {

namespace {

// Without an installed handler (a test that forgot one) a box must never block:
// it is printed and answered with its first button.
BoxAnswer unattendedBox(const MessageBoxRequest &box)
{
    std::fprintf(stderr, "[message box] %s: %s\n", qPrintable(box.title), qPrintable(box.text));
    switch (box.buttons) {
    case BoxButtons::YesNo:
    case BoxButtons::YesNoCancel:
        return BoxAnswer::Yes;
    default:
        return BoxAnswer::Ok;
    }
}

MessageResponder &messageResponder()
{
    static MessageResponder responder = unattendedBox;
    return responder;
}

FileDialogResponder &fileDialogResponder()
{
    static FileDialogResponder responder = [](const FileDialogRequest &) { return QString(); };
    return responder;
}

} // namespace

BoxAnswer MsgBox(const QString &text, BoxIcon icon, BoxButtons buttons, const QString &title)
{
    MessageBoxRequest box{text, title.isEmpty() ? ProgramTitle : title, icon, buttons};
    return messageResponder()(box);
}

QString FileDialog(const FileDialogRequest &request)
{
    return fileDialogResponder()(request);
}

MessageResponder setMessageResponder(MessageResponder responder)
{
    return std::exchange(messageResponder(), std::move(responder));
}

FileDialogResponder setFileDialogResponder(FileDialogResponder responder)
{
    return std::exchange(fileDialogResponder(), std::move(responder));
}

} // namespace netvane
