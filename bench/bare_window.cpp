// The baseline of the start and memory measurements: a bare window of the panel's size and
// kind (frameless, above the others) that shows and does nothing else.

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QWidget window(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  window.setFixedSize(350, 80);
  window.show();
  return QApplication::exec();
}
