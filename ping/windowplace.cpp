#include "ping/windowplace.h"

#include <QtGlobal>

namespace netvane {

QRect KeptWithin(QRect place, const QRect &area)
{
    place.setSize(place.size().boundedTo(area.size()));
    place.moveLeft(qBound(area.left(), place.left(), area.right() - place.width() + 1));
    place.moveTop(qBound(area.top(), place.top(), area.bottom() - place.height() + 1));
    return place;
}

QMargins FrameMarginsOr(const QRect &inside, const QRect &frame)
{
    const QMargins margins(inside.left() - frame.left(), inside.top() - frame.top(),
                           frame.right() - inside.right(), frame.bottom() - inside.bottom());
    return margins.isNull() ? QMargins(1, 30, 1, 1) : margins;
}

} // namespace netvane
