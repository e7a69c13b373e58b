#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPixmap>
#include <QWidget>

namespace netvane {

void CopyPictureToClipboard(QWidget *widget)
{
    QGuiApplication::clipboard()->setPixmap(widget->grab());
}

} // namespace netvane
