// A stand-in desktop notification service for the real-window tests: owns
// org.freedesktop.Notifications on the session bus it is given and appends each Notify call
// to a file, one line "replaces_id|app|icon|summary|body". Like a real service it answers a
// call that replaces a notification with that notification's id, any other with a new one.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <cstdio>

class Recorder : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  explicit Recorder(QString path) : path_(std::move(path)) {}

 public slots:
  uint Notify(const QString& app_name, uint replaces_id, const QString& app_icon,
              const QString& summary, const QString& body, const QStringList& /*actions*/,
              const QVariantMap& /*hints*/, int /*expire_timeout*/) {
    QFile file(path_);
    if (file.open(QIODevice::Append)) {
      const QStringList fields{QString::number(replaces_id), app_name, app_icon, summary, body};
      file.write((fields.join('|') + '\n').toUtf8());
    }
    return replaces_id != 0 ? replaces_id : ++id_;
  }
  QStringList GetCapabilities() { return {QStringLiteral("body")}; }

 private:
  QString path_;
  uint id_ = 0;
};

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: notification_recorder FILE\n");
    return 2;
  }
  Recorder recorder(QString::fromLocal8Bit(argv[1]));
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &recorder,
                          QDBusConnection::ExportAllSlots) ||
      !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
    std::fprintf(stderr, "notification_recorder: cannot own the service\n");
    return 1;
  }
  // Ready: the test waits for this line.
  std::printf("ready\n");
  std::fflush(stdout);
  return QCoreApplication::exec();
}

#include "notification_recorder.moc"
