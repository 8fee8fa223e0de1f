#pragma once

#include <QObject>
#include <QTimer>

namespace shell {

// A timer of the panel, found by its name as the design's timers are.
inline QTimer* MakeTimer(QObject* parent, const char* name, int interval_ms) {
  auto* timer = new QTimer(parent);
  timer->setObjectName(QString::fromLatin1(name));
  timer->setInterval(interval_ms);
  return timer;
}

}  // namespace shell
