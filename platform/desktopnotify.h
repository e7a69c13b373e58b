#pragma once
// Desktop notifications: a short message beside the desktop's own, through the
// notification service of the session bus (org.freedesktop.Notifications); where
// there is none, through the fallback the window installs (its tray icon's message);
// else nothing, and no error.

#include <QString>

#include <functional>

namespace netvane::platform {

// Shows a notification; true when something showed it.
bool NotifyDesktop(const QString &summary, const QString &body);

// Shows what the notification service could not (returns whether it did); none by default.
using NotificationFallback = std::function<bool(const QString &summary, const QString &body)>;
void SetNotificationFallback(NotificationFallback fallback);

} // namespace netvane::platform
