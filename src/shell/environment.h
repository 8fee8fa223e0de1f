#pragma once

// What the widget takes from the outside world. The program passes the real ones; tests
// pass a temporary folder, a loopback server and recorders.

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The notification service's answer: the id it gave the notification, nullopt when no service
// took it.
using NotifyAnswer = std::function<void(std::optional<std::uint32_t> id)>;

struct Environment {
  std::string program_dir;    // the program's own folder, as the file system's bytes
  std::string settings_file;  // the System.ini the panel reads and writes
  std::string server_host;    // host[:port] of the quote server
  std::string autostart_dir;  // the user's autostart folder, bytes too; empty when unknown
  // Hands an address to the browser; only web addresses ever reach it.
  std::function<void(const std::string& address)> open_page;
  // A modal question with the question icon, above the panel; with_cancel adds Cancel to OK.
  // True when the user chose OK; closing a box that offers only OK counts as OK.
  std::function<bool(const QString& text, const QString& title, bool with_cancel)> ask;
  // Hands a price alert to the desktop's notification service, in place of the service's
  // notification `replaces_id` (0: none); never takes the focus. `answer` is called once, at
  // once or later, and where no service took the notification the panel shows the tray icon's
  // own message instead.
  std::function<void(const QString& summary, const QString& body, std::uint32_t replaces_id,
                     NotifyAnswer answer)>
      notify;
  // Ends the process at once, without further events.
  std::function<void()> end_program;
  // The monotonic clock that start-up's time budget and the age of a quote are measured on.
  std::function<std::chrono::steady_clock::time_point()> now = [] {
    return std::chrono::steady_clock::now();
  };
  // The wall clock, against which a quote's own market time is judged.
  std::function<std::chrono::system_clock::time_point()> wall_now = [] {
    return std::chrono::system_clock::now();
  };
};

// The environment of the running program, talking to the quote server at `server_host` and
// keeping its settings in `settings_file`.
Environment RealEnvironment(const std::string& server_host, const std::string& settings_file);
