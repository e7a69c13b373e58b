#include "platform/desktopopen.h"

#include "platform/texteditor.h"

#include <QDesktopServices>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>

namespace netvane {

namespace {
DesktopOpenResponder &openResponder()
{
    static DesktopOpenResponder responder;
    return responder;
}
PrintDialogResponder &printResponder()
{
    static PrintDialogResponder responder;
    return responder;
}
} // namespace

bool OpenWithDesktop(const QString &path, OpenWith how)
{
    if (openResponder())
        return openResponder()(path, how);
    if (how == OpenWith::TextEditor)
        return OpenInTextEditor(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

DesktopOpenResponder setDesktopOpenResponder(DesktopOpenResponder responder)
{
    return std::exchange(openResponder(), std::move(responder));
}

bool AskPrint(QPrinter &printer, QWidget *parent)
{
    if (printResponder())
        return printResponder()(printer);
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

PrintDialogResponder setPrintDialogResponder(PrintDialogResponder responder)
{
    return std::exchange(printResponder(), std::move(responder));
}

} // namespace netvane
