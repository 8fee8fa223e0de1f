#include "shell/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include "shell/tray.h"

namespace shell {
namespace {

constexpr int kShownMs = 10000;

}  // namespace

void NotifyDesktop(const QString& summary, const QString& body) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    Tray::ShowMessage(summary, body);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  // The body is the price and the level, never markup.
  call << QStringLiteral("Lumetta") << 0U << QStringLiteral("lumetta") << summary
       << body.toHtmlEscaped() << QStringList() << QVariantMap() << kShownMs;
  // Asynchronous: a bus that is slow to answer must not hold the panel.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [summary, body](QDBusPendingCallWatcher* finished) {
                     if (finished->isError()) Tray::ShowMessage(summary, body);
                     finished->deleteLater();
                   });
}

}  // namespace shell
