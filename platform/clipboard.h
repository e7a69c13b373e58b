#pragma once

class QWidget;

namespace netvane {

// Puts a picture of the widget, as it is drawn now and at its own size, on the
// clipboard (replacing what was there).
void CopyPictureToClipboard(QWidget *widget);

} // namespace netvane
