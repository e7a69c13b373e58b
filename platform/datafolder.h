#pragma once

#include <QString>

namespace netvane {

// The folder that holds every data file of the program: the user's data folder
// ($XDG_DATA_HOME, else ~/.local/share) + "NetvaneDataBas/", created when missing.
// It is the user's alone (0700, as a folder made by an older version is made too).
// When the user's folder is unusable the program's own folder is used instead.
// The returned path ends in a separator.
QString DataFolder();

// Makes `path` an empty folder of this user's alone (0700), whatever stood there:
// a folder's contents are removed without following any link (a link inside is
// removed as a link, a file system mounted inside is left alone), and a link, file
// or FIFO at the path itself is removed as such. Nothing outside `path` is touched.
// False with the system's reason when the folder cannot be made.
bool MakeEmptyFolder(const QString &path, QString *error = nullptr);

// The first folder the file dialogs offer: the user's desktop folder (XDG) when it
// exists, else the documents folder, else the home folder.
QString FirstDialogFolder();

} // namespace netvane
