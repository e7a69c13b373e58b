#pragma once
// The real message boxes and file dialogs behind the seam of platform/dialogs.h.

class QWidget;

namespace netvane {

// Installs QMessageBox / QFileDialog as the handlers; boxes are parented to owner.
void installWidgetDialogs(QWidget *owner);

} // namespace netvane
