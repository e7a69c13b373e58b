#include "platform/desktopnotify.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

namespace netvane::platform {

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");

NotificationFallback &fallback()
{
    static NotificationFallback f;
    return f;
}

bool notifyOverBus(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    // Asked first, so that a desktop without the service costs no failed call (nor
    // starts a service by activation that is not there).
    if (!bus.interface()->isServiceRegistered(Service).value())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, u"/org/freedesktop/Notifications"_qs,
                                                       Service, u"Notify"_qs);
    call << u"Netvane"_qs << uint(0) << u"network-error"_qs << summary << body << QStringList()
         << QVariantMap() << -1;
    // Waited for briefly, so that a service that refuses counts as none and a hung one
    // holds the window up for no more than a moment.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 1000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace

bool NotifyDesktop(const QString &summary, const QString &body)
{
    if (notifyOverBus(summary, body))
        return true;
    return fallback() && fallback()(summary, body);
}

void SetNotificationFallback(NotificationFallback f)
{
    fallback() = std::move(f);
}

} // namespace netvane::platform
