#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/logged_request.h"
#include "server/version_record.h"

namespace live {
class LiveBook;
}

namespace lumetta_server {

struct ServerOptions {
  std::string bind = "127.0.0.1";  // loopback unless told otherwise
  int port = 0;                    // 0: any free port
  std::uint64_t seed = 1;          // of the price walk
  UpdateOffer offer = UpdateOffer::kNone;
  // How often the prices move; zero leaves them still until AdvanceQuotes.
  std::chrono::milliseconds quote_step{1500};
  // Told of every request as it is logged, on the thread serving it.
  std::function<void(const LoggedRequest&)> on_request;
  // How many of the latest requests Requests() keeps; older ones are dropped. Zero keeps none
  // (on_request still hears of each).
  std::size_t log_capacity = 1000;
  // Fault mode: the price, news and version endpoints answer with the faults of
  // server/fault_mode.h in turn, from Start for `faults_for` (zero: until Stop).
  bool faults = false;
  std::chrono::milliseconds faults_for{0};
  // In fault mode, told what each request to those endpoints gets: the fault's name, or "none"
  // once the faults are over; on the thread serving it, before the reply is sent.
  std::function<void(const LoggedRequest&, std::string_view fault)> on_fault;
  // A socket already listening (handed over by systemd's socket activation): served instead
  // of binding `bind`/`port`, and left listening for its owner when the server stops.
  int listen_fd = -1;
  // Unix seconds now, for the times of the day's points; the system clock when empty.
  std::function<std::int64_t()> wall_clock;
  // Live mode: the quotes and the products' details come from this book, which hears of every
  // panel request (NoteDemand) and is never waited on; there is no walk and no /Demo/Drive.asp
  // (404), and the headlines name its sources. Null: the demonstration.
  std::shared_ptr<live::LiveBook> live;
};

// A reply that replaces the server's own answer for one path.
struct ScriptedReply {
  int status = 200;
  std::string body;                    // exact bytes
  std::chrono::milliseconds delay{0};  // before anything is sent
  bool drop_mid_body = false;          // announce the full length, send half, close the connection
  bool chunked = false;                // send without a length, in chunks
  // Send nothing at all: close the connection after `delay`, or sooner when the client hangs
  // up or the server stops.
  bool no_answer = false;
  // Send the body one byte at a time this far apart, then end the reply; sooner when the client
  // hangs up or the server stops.
  std::chrono::milliseconds byte_interval{0};
  std::vector<std::pair<std::string, std::string>> headers;  // e.g. Location, Content-Type
};

// The bundled quote server: the widget's default peer and the tests' HTTP counterpart.
//   /Soft/Price.asp     the 17 quotes, GBK, CR LF after each line; the prices walk over time
//   /Soft/Quote.asp     ?code=CODE: the product's source, time and day's figures, GBK; 404 for
//                       a code not in the catalogue
//   /Soft/News.asp      headlines "title|link", GBK, CR LF after each, linking to /News/N.html
//   /Soft/Version.asp   the five-field version record, GBK
//   /Soft/Count.asp     counts loads per visitor cookie (set on the first load)
//   /Soft/Trend.asp     ?code=au: that product's points of the trading day (server/day_record.h)
//   /                   the home page
// The paths are spelled in net/wire_paths.h. Every request is logged as it arrived; any path's
// reply can be scripted. A script takes precedence over the fault mode.
// Guards, before anything else: a request whose Host does not name the address it reached
// (127.0.0.1:PORT, localhost:PORT, [::1]:PORT) gets an empty 421, so that a web page cannot reach
// the server under a name of its own; a body is refused (413) except on scripted paths, as no
// endpoint takes one; /Demo/Drive.asp changes prices only for a GET from this account that no
// other web page sent (403 otherwise). Requests are read within the limits of
// server/recording_stream.h. One that came whole with its connection, with no body, is answered
// on the accepting thread unless a script or the fault mode may make it wait; any other is
// served on a thread of its own, kMaxConnections at a time. One account (the owner of the
// client's socket) holds at most kMaxConnectionsPerAccount connections: one past its account's
// share is closed at once, unanswered.
class QuoteServer {
 public:
  static constexpr int kMaxConnections = 256;
  // Half: another account never takes more than the panel's account keeps, and a hundred idle
  // connections of the panel's own account still leave it places.
  static constexpr int kMaxConnectionsPerAccount = kMaxConnections / 2;
  // Visitors the counter keeps apart; past them the one seen first is forgotten.
  static constexpr std::size_t kMaxVisitors = 1024;
  using Options = ServerOptions;

  explicit QuoteServer(ServerOptions options = {});
  ~QuoteServer();
  QuoteServer(const QuoteServer&) = delete;
  QuoteServer& operator=(const QuoteServer&) = delete;

  // Binds (or takes `listen_fd`) and serves from a background thread; false when the address
  // cannot be bound or the socket is not a listening one.
  bool Start();
  // Ends waits and delays under way and returns once the server has stopped.
  void Stop();

  int port() const;
  std::string host() const;  // "127.0.0.1:PORT"

  // `path` is matched without the query.
  void Script(const std::string& path, ScriptedReply reply);
  void ClearScripts();

  // The latest requests, at most `log_capacity` of them.
  std::vector<LoggedRequest> Requests() const;
  void ClearLog();
  // Waits until `count` requests have been logged since the start or the last ClearLog.
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds limit) const;

  // True while the fault mode is on and its time has not run out.
  bool FaultsActive() const;
  // How long no connection has been open: since the last one ended, or since Start.
  std::chrono::milliseconds IdleFor() const;

  void AdvanceQuotes(std::uint64_t steps);
  // Loads of the counter page by visitor cookie value.
  std::map<std::string, int> CounterLoads() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace lumetta_server
