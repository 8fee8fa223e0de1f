#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/quote_server.h"
#include "shell/mini.h"

// Failure messages show texts rather than their bytes.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

// A panel in a fresh program folder, with recorders for the pages it would open, the
// questions it would ask and the end of the program.
class WidgetTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates the panel (not yet loaded) for the given quote server.
  Mini& MakeMini(const std::string& server_host = "127.0.0.1:1");
  // Creates and loads it.
  Mini& StartMini(const std::string& server_host = "127.0.0.1:1");

  // Waits until the panel's background fetches have ended and their results are applied.
  void Settle();

  // A still local quote server (prices do not move by themselves) for this test. It answers
  // the quote detail with 404 unless a test scripts it, so that the panel is tested as with a
  // server without that endpoint unless a test is about it.
  lumetta_server::QuoteServer& Server();
  // Scripts a 200 reply of GBK text for a path.
  void Reply(std::string_view path, const std::string& utf8_body);
  // Requests the server saw for a path (query ignored).
  size_t RequestCount(std::string_view path) const;

  // The names of the marked items of a submenu of the panel's menu, in menu order.
  QStringList Marked(std::string_view submenu) const;

  QString IniPath() const;
  std::string IniText() const;
  void WriteIni(const std::string& text) const;

  QTemporaryDir folder_;
  // The program's folder when not folder_ itself (the settings stay in folder_).
  std::string program_dir_;
  std::unique_ptr<lumetta_server::QuoteServer> server_;
  std::unique_ptr<Mini> mini_;
  std::vector<std::string> opened_pages_;
  struct Question {
    QString text;
    QString title;
    bool with_cancel = false;
  };
  std::vector<Question> questions_;
  bool answer_ = true;
  // Runs while a question is open, before it is answered.
  std::function<void()> while_asking_;
  // How far the panel's monotonic clock runs ahead of the real one.
  std::chrono::milliseconds clock_ahead_{0};
  // The panel's wall clock, standing still unless a test moves it (2026-06-15 04:00:00 UTC).
  std::chrono::system_clock::time_point wall_now_{std::chrono::seconds(1781496000)};
  int program_ends_ = 0;
  // Desktop notifications the panel gave.
  struct Notification {
    QString summary;
    QString body;
    std::uint32_t replaces_id = 0;

    friend bool operator==(const Notification&, const Notification&) = default;
    friend void PrintTo(const Notification& note, std::ostream* out) {
      *out << '{' << note.summary.toStdString() << ", " << note.body.toStdString() << ", "
           << note.replaces_id << '}';
    }
  };
  std::vector<Notification> notifications_;
  // Whether a notification service takes them, answering at once as the service does: a new
  // notification gets the next id (1, 2, ...), a replacing one keeps the id it replaces.
  // Without one the panel falls back to the tray icon's message.
  bool notification_service_ = true;
  std::uint32_t last_notification_id_ = 0;
};
