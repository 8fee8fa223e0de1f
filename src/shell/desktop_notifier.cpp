#include "shell/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>
#include <utility>

namespace shell {
namespace {

constexpr int kShownMs = 10000;

}  // namespace

void NotifyDesktop(const QString& summary, const QString& body, std::uint32_t replaces_id,
                   NotifyAnswer answer) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    answer(std::nullopt);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  // The body is the price and the level, never markup.
  call << QStringLiteral("Lumetta") << replaces_id << QStringLiteral("lumetta") << summary
       << body.toHtmlEscaped() << QStringList() << QVariantMap() << kShownMs;
  // Asynchronous: a bus that is slow to answer must not hold the panel.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
  QObject::connect(
      watcher, &QDBusPendingCallWatcher::finished, watcher,
      [answer = std::move(answer)](QDBusPendingCallWatcher* finished) {
        const QDBusPendingReply<uint> reply = *finished;
        answer(reply.isError() ? std::nullopt : std::optional<std::uint32_t>(reply.value()));
        finished->deleteLater();
      });
}

}  // namespace shell
