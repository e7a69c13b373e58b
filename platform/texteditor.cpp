#include "platform/texteditor.h"

#include <QDesktopServices>
#include <QUrl>

namespace netvane {

bool OpenInTextEditor(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool OpenWithAssociatedProgram(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace netvane
