#include "app/openlogfile.h"

#include "ping/exportfile.h"
#include "platform/datafolder.h"
#include "platform/dialogs.h"

#include <QFileInfo>

namespace netvane {

LogViewer ViewerFor(const QString &path)
{
    return path.right(4).toUpper().contains(u"CSV") ? LogViewer::Associated : LogViewer::TextEditor;
}

QString FolderPart(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash + 1);
}

QString CutChosenName(const QString &name)
{
    qsizetype end = name.size();
    for (const QChar stop : {QChar(u'\r'), QChar(u'\n'), QChar(0)}) {
        const qsizetype at = name.indexOf(stop);
        if (at >= 0 && at < end)
            end = at;
    }
    return name.left(end);
}

QString ChooseLogFile()
{
    FileDialogRequest request;
    request.save = false;
    request.title = u"Open Log File"_qs;
    // The JSON export is a log file too.
    request.filterName = u"Text/CSV/JSON Files (*.txt;*.csv;*.json)"_qs;
    request.filterPattern = u"*.txt;*.csv;*.json"_qs;
    // The first folder every file dialog of the program offers.
    const QString last = LastDialogFolder();
    request.initialFolder = !last.isEmpty() && QFileInfo(last).isDir() ? last : FirstDialogFolder();
    const QString chosen = CutChosenName(FileDialog(request)).trimmed();
    if (chosen.isEmpty())
        return {};
    const QString folder = FolderPart(chosen);
    if (!folder.isEmpty())
        SetLastDialogFolder(folder);
    return chosen;
}

} // namespace netvane
