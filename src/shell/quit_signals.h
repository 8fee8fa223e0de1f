#pragma once

// Turns the signals that end a session (logout, shutdown, Ctrl+C in a terminal) into a
// call on the event loop, so the program can save its place before it goes.

#include <functional>

class QObject;

namespace shell {

void OnQuitSignal(QObject* owner, std::function<void()> handler);

}  // namespace shell
