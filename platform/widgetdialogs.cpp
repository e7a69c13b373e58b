#include "platform/widgetdialogs.h"

#include "platform/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace netvane {

void installWidgetDialogs(QWidget *owner)
{
    QPointer<QWidget> parent(owner);
    setMessageResponder([parent](const MessageBoxRequest &box) {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (box.icon) {
        case BoxIcon::Critical: icon = QMessageBox::Critical; break;
        case BoxIcon::Exclamation: icon = QMessageBox::Warning; break;
        case BoxIcon::Information: icon = QMessageBox::Information; break;
        case BoxIcon::Question: icon = QMessageBox::Question; break;
        case BoxIcon::None: break;
        }
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        switch (box.buttons) {
        case BoxButtons::Ok: buttons = QMessageBox::Ok; break;
        case BoxButtons::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
        case BoxButtons::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
        case BoxButtons::YesNoCancel:
            buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            break;
        }
        // Over the window the user works in (a dialog's refusal over that dialog),
        // else over the main window.
        QWidget *over = QApplication::activeModalWidget();
        if (!over)
            over = QApplication::activeWindow();
        QMessageBox mb(icon, box.title, box.text, buttons, over ? over : parent.data());
        // A box has a title and a close button, nothing to minimize or maximize.
        mb.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint);
        switch (mb.exec()) {
        case QMessageBox::Yes: return BoxAnswer::Yes;
        case QMessageBox::No: return BoxAnswer::No;
        case QMessageBox::Cancel: return BoxAnswer::Cancel;
        default: return BoxAnswer::Ok;
        }
    });
    setFileDialogResponder([parent](const FileDialogRequest &request) {
        // The dialog reads the patterns of a filter apart by blanks ("*.txt;*.csv" is two).
        QString filterName = request.filterName;
        if (!request.filterPattern.isEmpty())
            filterName.replace(request.filterPattern,
                               QString(request.filterPattern).replace(u';', u' '));
        const QString filter = filterName.isEmpty() ? QString()
                                                    : filterName + u";;All Files (*)"_qs;
        QString start = request.initialFolder;
        if (!request.defaultName.isEmpty())
            start = QDir(start).filePath(request.defaultName);
        QFileDialog dialog(parent.data(), request.title, start, filter);
        dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        // The overwrite question is the program's own, asked after the dialog.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        if (!request.defaultExtension.isEmpty())
            dialog.setDefaultSuffix(request.defaultExtension);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    });
}

} // namespace netvane
