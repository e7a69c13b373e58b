#pragma once
// The window flags of the program's small dialogs: a title and a close button, and no
// minimize or maximize button (nothing in them grows with the window).

#include <QtGlobal>

namespace netvane {

inline constexpr Qt::WindowFlags SmallDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

} // namespace netvane
