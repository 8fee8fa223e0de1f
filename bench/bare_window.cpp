// The baseline of the start and memory measurements: a bare window of the panel's size and
// kind (frameless, above the others) that shows and does nothing else. With `--tick MS` it
// also runs an empty timer every MS milliseconds: the floor of the idle measurement, what the
// event loop alone costs to wake that often.

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QWidget window(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  window.setFixedSize(350, 80);
  window.show();
  QTimer tick;
  const QStringList arguments = QApplication::arguments();
  const qsizetype flag = arguments.indexOf(QStringLiteral("--tick"));
  if (flag > 0 && flag + 1 < arguments.size()) {
    QObject::connect(&tick, &QTimer::timeout, &window, [] {});
    tick.start(arguments.at(flag + 1).toInt());
  }
  return QApplication::exec();
}
