#pragma once

// Loopback copies of the live mode's public quote sources, for the tests: each answers in its
// source's documented format from quotes the test sets, counts what it is asked, and can be told
// to fail, hang or answer garbage. Nothing here reaches beyond 127.0.0.1.
//   /sina/list=C1,C2,...              var hq_str_C="f0,...";  GBK; 403 without Sina's Referer
//   /tencent/q=C1,C2,...              v_C="f0,...";  GBK
//   /eastmoney/api/qt/stock/get?secid=C&...   {"rc":0,"data":{"f43":...}}
//   /cngold/realTime.htm?codes=C1,C2  var quote_json = {"flag":true,"C":{...}}
//   /goldapi/price/C                  {"price":...,"updatedAt":"..."}

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace test_support {

// One symbol's quote as the source would send it; prices as text, as on the wire.
struct ReplicaQuote {
  std::string last;
  std::string bid;
  std::string ask;
  std::string high;
  std::string low;
  std::string open;
  std::string previous;
  std::string time = "15:30:01";    // the Sina and Tencent lines' HH:MM:SS, UTC+8
  std::string date = "2026-06-15";  // their YYYY-MM-DD
  long long epoch = 1784728605;     // East Money's, cngold's (in ms) and gold-api's time
};

enum class ReplicaMode {
  kNormal,
  kFail,     // HTTP 500
  kHang,     // holds the request unanswered until released, set back or stopped
  kGarbage,  // 200 with bytes of no format
};

class SourceReplica {
 public:
  SourceReplica();
  ~SourceReplica();
  SourceReplica(const SourceReplica&) = delete;
  SourceReplica& operator=(const SourceReplica&) = delete;

  bool running() const;
  // "http://127.0.0.1:PORT"
  std::string Base() const;

  // `source` is the first path segment: sina, tencent, eastmoney, cngold or goldapi.
  void SetQuote(const std::string& source, const std::string& symbol, ReplicaQuote quote);
  void SetMode(const std::string& source, ReplicaMode mode);

  // Requests the source has received, and their targets in order.
  int Requests(const std::string& source) const;
  std::vector<std::string> Targets(const std::string& source) const;
  // When each of them came, in the same order: the pace a server keeps with the source.
  std::vector<std::chrono::steady_clock::time_point> Arrivals(const std::string& source) const;
  // Waits (10 s at most) until the source has received `count` requests in all.
  bool WaitForRequests(const std::string& source, int count) const;
  // Requests held unanswered right now.
  int Held(const std::string& source) const;

 private:
  struct Reply {
    int status = 200;
    std::string body;
  };
  Reply Answer(const std::string& source, const std::string& target,
               const std::vector<std::string>& symbols, bool referer_ok);
  std::string Body(const std::string& source, const std::vector<std::string>& symbols) const;

  std::unique_ptr<httplib::Server> server_;
  std::thread listener_;
  int port_ = -1;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  std::map<std::string, std::map<std::string, ReplicaQuote>> quotes_;
  std::map<std::string, ReplicaMode> modes_;
  std::map<std::string, std::vector<std::string>> targets_;
  std::map<std::string, std::vector<std::chrono::steady_clock::time_point>> arrivals_;
  std::map<std::string, int> held_;
};

// The shipped sources file with each source's address moved to `base` (a replica's), its
// timeout cut to `timeout_seconds` and its interval set to `interval_seconds` (nothing: the
// shipped one): the same sources, formats, fields and chains.
std::string ReplicaSourcesFile(const std::string& shipped_text, const std::string& base,
                               int timeout_seconds, std::optional<int> interval_seconds = 1);

}  // namespace test_support
