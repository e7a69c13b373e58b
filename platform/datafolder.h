#pragma once

#include <QString>

namespace netvane {

// The folder that holds every data file of the program: the user's data folder
// ($XDG_DATA_HOME, else ~/.local/share) + "NetvaneDataBas/", created when missing.
// When the user's folder is unusable the program's own folder is used instead.
// The returned path ends in a separator.
QString DataFolder();

// The user's documents folder, the first place offered by the file dialogs; the home
// folder when there is no documents folder.
QString DocumentsFolder();

} // namespace netvane
