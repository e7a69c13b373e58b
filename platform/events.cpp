#include "platform/events.h"

#include <QCoreApplication>

namespace netvane {

void LetWindowCatchUp()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void LetWindowRepaint()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents
                                        | QEventLoop::X11ExcludeTimers);
}

} // namespace netvane
