#include "ping/exportfile.h"

#include "platform/datafolder.h"
#include "platform/dialogs.h"

#include <QFileInfo>

namespace netvane {

namespace {

QString g_lastFolder;

QString cleanPath(QString path)
{
    path.remove(u'\r');
    path.remove(u'\n');
    path.remove(QChar(0));
    return path.trimmed();
}

FileDialogRequest dialogRequest(bool save, const QString &title, const QString &extension)
{
    FileDialogRequest r;
    r.save = save;
    r.title = title;
    r.filterName = u"Text Files (*."_qs + extension + u')';
    r.filterPattern = u"*."_qs + extension;
    r.defaultExtension = extension;
    // A remembered folder that has gone counts as none.
    r.initialFolder = !g_lastFolder.isEmpty() && QFileInfo(g_lastFolder).isDir() ? g_lastFolder
                                                                                : FirstDialogFolder();
    return r;
}

void rememberFolderOf(const QString &path)
{
    g_lastFolder = QFileInfo(path).absolutePath();
}

} // namespace

QString LastDialogFolder()
{
    return g_lastFolder;
}

void SetLastDialogFolder(const QString &folder)
{
    g_lastFolder = folder.trimmed();
}

QString AskSavePath(const QString &title, const QString &defaultName, const QString &extension)
{
    FileDialogRequest request = dialogRequest(true, title, extension);
    request.defaultName = defaultName;
    const QString path = cleanPath(FileDialog(request));
    if (path.isEmpty())
        return {};
    rememberFolderOf(path);
    if (QFileInfo::exists(path)) {
        if (MsgBox(u"The same filename exist, overwrite it?"_qs, BoxIcon::Exclamation,
                   BoxButtons::YesNo, u"Information"_qs)
            != BoxAnswer::Yes)
            return {};
        // The old file stays until the new one is whole: the writer replaces it.
    }
    return path;
}

QString AskOpenPath(const QString &title, const QString &extension)
{
    const QString path = cleanPath(FileDialog(dialogRequest(false, title, extension)));
    if (!path.isEmpty())
        rememberFolderOf(path);
    return path;
}

QString AskOpenPath(const QString &title, const QString &extension, const QString &filterName)
{
    FileDialogRequest request = dialogRequest(false, title, extension);
    request.filterName = filterName;
    // The patterns are the text in the name's parentheses: "*.txt;*.csv".
    const qsizetype open = filterName.lastIndexOf(u'(');
    const qsizetype close = filterName.lastIndexOf(u')');
    if (open >= 0 && close > open)
        request.filterPattern = filterName.mid(open + 1, close - open - 1);
    const QString path = cleanPath(FileDialog(request));
    if (!path.isEmpty())
        rememberFolderOf(path);
    return path;
}

QString AskImportPath(const QString &title, const QString &replacedFile,
                      const QString &overwriteQuestion)
{
    const QString path = AskOpenPath(title, u"txt"_qs);
    if (path.isEmpty())
        return {};
    if (!QFileInfo(path).isFile()) {
        MsgBox(u"Not Find This File."_qs, BoxIcon::Exclamation, BoxButtons::YesNo,
               u"File Name Error"_qs);
        return {};
    }
    if (QFileInfo::exists(replacedFile)
        && MsgBox(overwriteQuestion, BoxIcon::Exclamation, BoxButtons::YesNo, u"Information"_qs)
               != BoxAnswer::Yes)
        return {};
    return path;
}

void ShowFileSaved(const QString &text)
{
    MsgBox(text, BoxIcon::Information, BoxButtons::Ok, u"File Saved"_qs);
}

} // namespace netvane
