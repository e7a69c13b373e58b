#include "platform/events.h"

#include <QCoreApplication>

namespace netvane {

void LetWindowCatchUp()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

} // namespace netvane
