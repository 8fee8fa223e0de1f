#include "server/quote_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string_view>
#include <thread>

#include "net/socket_owner.h"
#include "net/wire_paths.h"
#include "quotes/catalogue.h"
#include "server/connection_quota.h"
#include "server/connection_threads.h"
#include "server/demo_day.h"
#include "server/fault_mode.h"
#include "server/live/live_book.h"
#include "server/live/quote_detail.h"
#include "server/news_feed.h"
#include "server/price_book.h"
#include "server/recording_stream.h"
#include "server/site_pages.h"
#include "text/ascii_case.h"
#include "text/gbk.h"

namespace lumetta_server {
namespace {

constexpr std::string_view kVisitorCookie = "CountId";
constexpr std::string_view kGbkText = "text/html; charset=gb2312";
constexpr std::string_view kUtf8Html = "text/html; charset=utf-8";
// The source a demonstration server's product details name.
constexpr std::string_view kDemoSource = "演示行情（模拟价格）";

// The connection the current worker thread is serving; handlers run on that same thread.
thread_local RecordingStream* current_stream = nullptr;

// The engine's queue of connections. The accepting thread itself decides where each is served.
class ConnectionTasks final : public httplib::TaskQueue {
 public:
  explicit ConnectionTasks(ConnectionThreads& threads) : threads_(threads) {}
  void enqueue(std::function<void()> accepted) override { accepted(); }
  void shutdown() override { threads_.Shutdown(); }

 private:
  ConnectionThreads& threads_;
};

// The HTTP engine with its socket handling replaced by ours, so that every byte received is
// kept. One request per connection: no idle keep-alive connection holds a worker.
// A connection whose whole request came with it is answered on the accepting thread when
// `at_once` allows: nothing there can wait on the peer, and a thousand panels then cost no
// hand-over between threads. Any other is served on a thread of its own, so that a silent or
// slow client holds only that thread.
class RecordingServer final : public httplib::Server {
 public:
  using ConnectionEnd = std::function<void(RecordingStream&)>;
  // Whether a request that has wholly arrived, body-less, may be answered at once.
  using AtOnce = std::function<bool(const LoggedRequest& head)>;

  RecordingServer(const std::atomic<bool>& stopping, ConnectionEnd on_end, AtOnce at_once)
      : stopping_(stopping), on_end_(std::move(on_end)), at_once_(std::move(at_once)) {}

  ConnectionThreads& threads() { return threads_; }

  // Serves a socket that is already listening instead of binding one. The engine then polls
  // it, so that Release can end the serving without shutting the socket down for its owner.
  void Adopt(socket_t socket) {
    svr_sock_ = socket;
    set_idle_interval(0, 100'000);
  }
  // The engine listens with a backlog of 5: a burst of connections beyond it has its handshakes
  // dropped and retried a second later, as if the server were slow. Listening again widens it.
  void WidenBacklog() { ::listen(svr_sock_, SOMAXCONN); }
  // Stops serving the adopted socket and gives it back, still listening.
  socket_t Release() { return svr_sock_.exchange(INVALID_SOCKET); }

  // Connections open now, and when the last one ended.
  int Open() const { return open_; }
  std::chrono::steady_clock::time_point LastEnded() const { return last_ended_; }

 private:
  // One accepted connection, wherever it is served, from its acceptance to its close. It is
  // served in a place of its account, given back before the socket closes: a client that saw
  // its connection end may connect again at once. Nothing is read or sent when the account
  // holds all of its places: the client learns at once, and the places left stay for the
  // other accounts, the panel's among them.
  class Connection {
   public:
    Connection(socket_t socket, RecordingServer& server)
        : counted_(server.open_, server.last_ended_),
          socket_(socket),
          owner_(Code::PeerSocketOwner(socket, &local_, &remote_)),
          place_(server.quota_.Take(owner_)),
          stream_(socket, server.stopping_, owner_, local_, remote_) {}
    ~Connection() {
      place_.reset();
      ::shutdown(socket_, SHUT_RDWR);
      ::close(socket_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool placed() const { return static_cast<bool>(*place_); }
    RecordingStream& stream() { return stream_; }

   private:
    // Counts the connection as open for as long as it lives.
    class Count {
     public:
      Count(std::atomic<int>& open, std::atomic<std::chrono::steady_clock::time_point>& ended)
          : open_(open), last_ended_(ended) {
        ++open_;
      }
      ~Count() {
        last_ended_ = std::chrono::steady_clock::now();
        --open_;
      }
      Count(const Count&) = delete;
      Count& operator=(const Count&) = delete;

     private:
      std::atomic<int>& open_;
      std::atomic<std::chrono::steady_clock::time_point>& last_ended_;
    };

    const Count counted_;
    const socket_t socket_;
    Code::SocketAddress local_;
    Code::SocketAddress remote_;
    const std::optional<uid_t> owner_;
    std::optional<ConnectionQuota::Place> place_;
    RecordingStream stream_;
  };

  bool process_and_close_socket(socket_t socket) override {
    auto connection = std::make_shared<Connection>(socket, *this);
    if (!connection->placed()) return false;
    RecordingStream& stream = connection->stream();
    stream.TakeWhatArrived();
    const std::optional<LoggedRequest> head = ParseRequestHead(stream.received());
    if (head && !DeclaresBody(*head) && at_once_(*head)) {
      stream.GatherWrites();
      const bool served = Serve(stream);
      // An answer the socket cannot take at once is finished where waiting holds no one up.
      if (!stream.SendGathered())
        threads_.Run([connection] { connection->stream().FinishGathered(); });
      return served;
    }
    threads_.Run([this, connection] { Serve(connection->stream()); });
    return true;
  }

  bool Serve(RecordingStream& stream) {
    current_stream = &stream;
    bool connection_closed = false;
    const bool served =
        process_request(stream, /*close_connection=*/true, connection_closed, nullptr);
    current_stream = nullptr;
    on_end_(stream);
    return served;
  }

  ConnectionQuota quota_{QuoteServer::kMaxConnectionsPerAccount};
  std::atomic<int> open_{0};
  std::atomic<std::chrono::steady_clock::time_point> last_ended_{std::chrono::steady_clock::now()};
  const std::atomic<bool>& stopping_;
  ConnectionEnd on_end_;
  AtOnce at_once_;
  ConnectionThreads threads_{QuoteServer::kMaxConnections};
};

bool IsHostText(std::string_view text) {
  return !text.empty() && text.size() < 256 && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == ':' || c == '[' || c == ']';
  });
}

std::string CookieValue(const LoggedRequest& request, std::string_view name) {
  const std::optional<std::string> cookies = HeaderValue(request, "Cookie");
  if (!cookies) return {};
  std::string_view rest = *cookies;
  while (!rest.empty()) {
    std::string_view pair = rest.substr(0, rest.find(';'));
    rest.remove_prefix(std::min(rest.size(), pair.size() + 1));
    pair.remove_prefix(std::min(pair.size(), pair.find_first_not_of(' ')));
    if (pair.size() > name.size() && pair.substr(0, name.size()) == name &&
        pair[name.size()] == '=') {
      return std::string(pair.substr(name.size() + 1));
    }
  }
  return {};
}

// True when `host`, a request's Host, names the address the connection reached: that address
// (in brackets for IPv6), or localhost on loopback; with the port, or without it on port 80.
// Any other name is how a web page would reach the server through a name of its own.
bool NamesThisServer(std::string_view host, std::string local_ip, int port) {
  if (local_ip.starts_with("::ffff:") && local_ip.find('.') != std::string::npos) {
    local_ip.erase(0, 7);  // an IPv4 client of an IPv6 socket
  }
  const bool v6 = local_ip.find(':') != std::string::npos;
  std::vector<std::string> names = {v6 ? "[" + local_ip + "]" : local_ip};
  if (local_ip.starts_with("127.") || local_ip == "::1") names.emplace_back("localhost");
  const std::string port_text = ":" + std::to_string(port);
  return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
    return text::EqualsIgnoreAsciiCase(host, name + port_text) ||
           (port == 80 && text::EqualsIgnoreAsciiCase(host, name));
  });
}

bool IsVisitorId(std::string_view id) {
  return !id.empty() && id.size() <= 32 && std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
  });
}

std::string NewVisitorId() {
  static std::mutex mutex;
  static std::mt19937_64 generator{std::random_device{}()};
  std::lock_guard lock(mutex);
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, generator(), 16);
  return std::string(digits, written.ptr);
}

// "/News/N.html" gives N; anything else nothing.
std::optional<int> NewsNumber(std::string_view path) {
  constexpr std::string_view kPrefix = wire::kNewsPagePrefix;
  constexpr std::string_view kSuffix = wire::kNewsPageSuffix;
  if (path.size() <= kPrefix.size() + kSuffix.size() ||
      !text::EqualsIgnoreAsciiCase(path.substr(0, kPrefix.size()), kPrefix) ||
      !text::EqualsIgnoreAsciiCase(path.substr(path.size() - kSuffix.size()), kSuffix)) {
    return std::nullopt;
  }
  const std::string_view digits =
      path.substr(kPrefix.size(), path.size() - kPrefix.size() - kSuffix.size());
  int number = 0;
  const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size()) return std::nullopt;
  return number;
}

}  // namespace

class QuoteServer::Impl {
 public:
  explicit Impl(ServerOptions options)
      : options_(std::move(options)),
        server_(
            stopping_, [this](RecordingStream& stream) { OnConnectionEnd(stream); },
            [this](const LoggedRequest& head) { return MayAnswerAtOnce(head); }),
        book_(options_.seed),
        faults_(options_.seed),
        live_sources_(options_.live ? live::UsedSourceNames(options_.live->config())
                                    : std::vector<std::string>{}) {
    server_.set_socket_options([](socket_t socket) {
      // Address reuse after a restart, but never a second server sharing the port.
      int yes = 1;
      setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server_.set_payload_max_length(kMaxRequestBody);
    server_.new_task_queue = [this] { return new ConnectionTasks(server_.threads()); };
    const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
      Handle(request, response);
    };
    server_.Get(".*", handler);
    server_.Post(".*", handler);
    server_.Put(".*", handler);
    server_.Patch(".*", handler);
    server_.Delete(".*", handler);
    server_.Options(".*", handler);
  }

  ~Impl() { Stop(); }

  bool Start() {
    if (listener_.joinable()) return false;
    if (options_.listen_fd >= 0) {
      if (!AdoptListeningSocket()) return false;
    } else if (options_.port == 0) {
      port_ = server_.bind_to_any_port(options_.bind);
    } else {
      port_ = server_.bind_to_port(options_.bind, options_.port) ? options_.port : -1;
    }
    if (port_ < 0) return false;
    if (options_.listen_fd < 0) server_.WidenBacklog();
    started_ = std::chrono::steady_clock::now();
    listener_ = std::thread([this] {
      server_.listen_after_bind();
      listener_done_ = true;
    });
    // The engine ignores a stop request that comes before it runs, so wait until it does.
    while (!server_.is_running() && !listener_done_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return server_.is_running();
  }

  void Stop() {
    if (!listener_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    if (options_.listen_fd >= 0) {
      // A socket handed over stays listening for its owner: the engine's own stop would shut
      // it down. Taken back, it ends the engine's polling loop within one poll.
      const socket_t handed_over = server_.Release();
      listener_.join();
      ::close(handed_over);
      return;
    }
    server_.stop();
    listener_.join();
  }

  std::chrono::milliseconds IdleFor() const {
    if (server_.Open() > 0) return std::chrono::milliseconds(0);
    const auto since = std::max(server_.LastEnded(), started_);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since);
  }

  int port() const { return port_; }

  // The handed-over socket's own address becomes the server's.
  bool AdoptListeningSocket() {
    int listening = 0;
    socklen_t size = sizeof listening;
    sockaddr_storage address{};
    socklen_t address_size = sizeof address;
    if (getsockopt(options_.listen_fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 ||
        listening == 0 ||
        getsockname(options_.listen_fd, reinterpret_cast<sockaddr*>(&address), &address_size) !=
            0) {
      return false;
    }
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
      const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
      inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
      port_ = ntohs(v4->sin_port);
    } else if (address.ss_family == AF_INET6) {
      const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
      inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
      port_ = ntohs(v6->sin6_port);
    } else {
      return false;
    }
    adopted_address_ = text;
    server_.Adopt(options_.listen_fd);
    return true;
  }

  std::string host() const {
    char digits[16];
    const auto written = std::to_chars(digits, digits + sizeof digits, port_);
    const std::string& address = options_.listen_fd >= 0 ? adopted_address_ : options_.bind;
    const bool literal_v6 = address.find(':') != std::string::npos;
    std::string text = literal_v6 ? "[" + address + "]" : address;
    return text + ":" + std::string(digits, written.ptr);
  }

  void Script(const std::string& path, ScriptedReply reply) {
    std::lock_guard lock(mutex_);
    scripts_[path] = std::move(reply);
  }

  void ClearScripts() {
    std::lock_guard lock(mutex_);
    scripts_.clear();
  }

  std::vector<LoggedRequest> Requests() const {
    std::lock_guard lock(mutex_);
    return {log_.begin(), log_.end()};
  }

  void ClearLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
    logged_count_ = 0;
  }

  bool WaitForRequests(size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return logged_count_ >= count; });
  }

  bool FaultsActive() const {
    return options_.faults && (options_.faults_for.count() <= 0 ||
                               std::chrono::steady_clock::now() - started_ < options_.faults_for);
  }

  void AdvanceQuotes(std::uint64_t steps) {
    std::lock_guard lock(mutex_);
    book_.Advance(steps);
  }

  std::map<std::string, int> CounterLoads() const {
    std::lock_guard lock(mutex_);
    return counter_loads_;
  }

 private:
  void Handle(const httplib::Request& request, httplib::Response& response) {
    LoggedRequest logged;
    if (current_stream != nullptr) {
      if (std::optional<LoggedRequest> parsed = ParseRequestHead(current_stream->received())) {
        logged = std::move(*parsed);
        current_stream->set_logged();
      }
    }
    logged.body = request.body;
    Log(logged);

    if (!HostIsThisServer(logged)) {
      response.status = 421;  // and nothing else: the page that asked learns nothing
      return;
    }
    const std::string path = logged.target.substr(0, logged.target.find('?'));
    std::optional<ScriptedReply> script;
    {
      std::lock_guard lock(mutex_);
      if (const auto found = scripts_.find(path); found != scripts_.end()) script = found->second;
    }
    if (script) {
      ReplyScripted(std::move(*script), response);
      return;
    }
    if (!request.body.empty() || DeclaresBody(logged)) {
      response.status = 413;
      response.set_content("no endpoint here takes a body\r\n", "text/plain");
      return;
    }
    if (options_.faults && IsFaultyPath(path)) {
      if (FaultsActive()) {
        ReplyFault(path, logged, response);
        return;
      }
      if (options_.on_fault) options_.on_fault(logged, "none");
    }
    // A live server's prices are the market's: nothing steers them.
    if (!options_.live && text::EqualsIgnoreAsciiCase(path, wire::kDrivePath)) {
      ReplyDrive(request, logged, response);
      return;
    }
    if (text::EqualsIgnoreAsciiCase(path, wire::kTrendPath)) {
      ReplyTrend(request, response);
      return;
    }
    ReplyDefault(path, request, logged, response);
  }

  // Scripted replies and faults may wait or trickle on purpose; every other answer is made and
  // sent without waiting on anything.
  bool MayAnswerAtOnce(const LoggedRequest& head) const {
    if (FaultsActive()) return false;
    const std::string path = head.target.substr(0, head.target.find('?'));
    std::lock_guard lock(mutex_);
    return scripts_.find(path) == scripts_.end();
  }

  bool HostIsThisServer(const LoggedRequest& request) const {
    const std::optional<std::string> host = HeaderValue(request, "Host");
    if (!host || current_stream == nullptr) return false;
    std::string local_ip;
    int local_port = 0;
    current_stream->get_local_ip_and_port(local_ip, local_port);
    return NamesThisServer(*host, local_ip, local_port);
  }

  // Changing a price is for a person at this account, typing the address or using a tool of
  // their own: a plain GET that no web page sent, from a socket of this account. Browsers name
  // the page behind a request in Origin, Referer and Sec-Fetch-Site; those must be this server
  // itself or absent. Another account on the machine is told apart by the owner of its socket.
  static bool MayDrive(const httplib::Request& request, const LoggedRequest& logged) {
    if (request.method != "GET") return false;
    const std::string self = "http://" + HeaderValue(logged, "Host").value_or("");
    const std::optional<std::string> origin = HeaderValue(logged, "Origin");
    if (origin && !text::EqualsIgnoreAsciiCase(*origin, self)) return false;
    const std::optional<std::string> referer = HeaderValue(logged, "Referer");
    if (referer && !text::EqualsIgnoreAsciiCase(referer->substr(0, self.size() + 1), self + "/")) {
      return false;
    }
    const std::optional<std::string> site = HeaderValue(logged, "Sec-Fetch-Site");
    if (site && *site != "same-origin" && *site != "none") return false;
    const std::optional<uid_t> owner =
        current_stream != nullptr ? current_stream->peer_owner() : std::nullopt;
    return owner && *owner == ::geteuid();
  }

  // Holds a product's price where a person or a test wants it, to try alerts against:
  // /Demo/Drive.asp?code=au&buy=542.30. The server listens on loopback only.
  void ReplyDrive(const httplib::Request& request, const LoggedRequest& logged,
                  httplib::Response& response) {
    if (!MayDrive(request, logged)) {
      response.status = 403;
      response.set_content("refused: only a request of this account's own, not a web page's\r\n",
                           "text/plain");
      return;
    }
    const std::string code = text::AsciiLower(request.get_param_value("code"));
    const std::optional<std::int64_t> cents = ParseCents(request.get_param_value("buy"));
    bool driven = false;
    if (cents) {
      std::lock_guard lock(mutex_);
      driven = book_.Drive(code, *cents);
    }
    response.status = driven ? 200 : 400;
    const std::string usage = "usage: " + std::string(wire::kDrivePath) + "?code=au&buy=542.30\r\n";
    response.set_content(driven ? "driven\r\n" : usage, "text/plain");
  }

  void ReplyFault(std::string_view path, const LoggedRequest& request,
                  httplib::Response& response) {
    // Faults that send part of an answer send part of the real one.
    const std::string normal = FeedText(path, request).value_or(std::string());
    Fault fault;
    ScriptedReply reply;
    {
      std::lock_guard lock(mutex_);
      fault = faults_.Next(request.target);
      reply = faults_.Reply(fault, request.target, normal);
    }
    if (options_.on_fault) options_.on_fault(request, FaultName(fault));
    ReplyScripted(std::move(reply), response);
  }

  // A request the engine refused before any handler ran (an unknown method, say) is logged here.
  void OnConnectionEnd(RecordingStream& stream) {
    if (stream.logged()) return;
    std::optional<LoggedRequest> parsed = ParseRequestHead(stream.received());
    if (!parsed) return;
    // The engine answered without reading the body; take what the peer still sends of it.
    size_t length = 0;
    if (const std::optional<std::string> declared = HeaderValue(*parsed, "Content-Length")) {
      std::from_chars(declared->data(), declared->data() + declared->size(), length);
    }
    const size_t wanted = parsed->head.size() + std::min(length, kMaxRequestBody);
    char scratch[4096];
    while (stream.received().size() < wanted && stream.read(scratch, sizeof scratch) > 0) {
    }
    parsed->body = std::string(stream.received().substr(parsed->head.size()));
    Log(std::move(*parsed));
  }

  void Log(LoggedRequest request) {
    if (options_.on_request) options_.on_request(request);
    {
      std::lock_guard lock(mutex_);
      ++logged_count_;
      if (options_.log_capacity > 0) {
        if (log_.size() == options_.log_capacity) log_.pop_front();
        log_.push_back(std::move(request));
      }
    }
    changed_.notify_all();
  }

  // False when the server began stopping during the wait.
  bool WaitUnlessStopping(std::chrono::milliseconds delay) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, delay, [this] { return stopping_.load(); });
  }

  void ReplyScripted(ScriptedReply reply, httplib::Response& response) {
    if (reply.no_answer) {
      // Whatever the engine then writes goes nowhere.
      if (current_stream != nullptr) {
        if (reply.delay.count() > 0) current_stream->StayOpenFor(reply.delay);
        current_stream->CloseNow();
      }
      return;
    }
    if (reply.delay.count() > 0 && !WaitUnlessStopping(reply.delay)) {
      response.status = 503;
      return;
    }
    response.status = reply.status;
    std::string content_type = "text/html";
    for (const auto& [name, value] : reply.headers) {
      if (text::EqualsIgnoreAsciiCase(name, "content-type")) {
        content_type = value;
      } else {
        response.set_header(name, value);
      }
    }
    auto body = std::make_shared<const std::string>(std::move(reply.body));
    if (reply.byte_interval.count() > 0) {
      response.set_content_provider(
          body->size(), content_type,
          [this, body, interval = reply.byte_interval, stream = current_stream](
              size_t offset, size_t /*length*/, httplib::DataSink& sink) {
            // The first byte goes at once, each later one after the interval.
            if (offset > 0) {
              const bool held =
                  stream != nullptr ? stream->StayOpenFor(interval) : WaitUnlessStopping(interval);
              if (!held) return false;  // the engine then closes the connection
            }
            return sink.write(body->data() + offset, 1);
          });
    } else if (reply.drop_mid_body) {
      const size_t half = body->size() / 2;
      response.set_content_provider(
          body->size(), content_type,
          [body, half](size_t offset, size_t length, httplib::DataSink& sink) {
            if (offset >= half) return false;  // the engine then closes the connection
            return sink.write(body->data() + offset, std::min(length, half - offset));
          });
    } else if (reply.chunked) {
      response.set_chunked_content_provider(
          content_type, [body](size_t offset, httplib::DataSink& sink) {
            if (offset >= body->size()) {
              sink.done();
              return true;
            }
            return sink.write(body->data() + offset,
                              std::min(size_t{64} * 1024, body->size() - offset));
          });
    } else {
      response.set_content(*body, content_type);
    }
  }

  // The GBK answer of the price, news or version endpoint; nothing for other paths.
  std::optional<std::string> FeedText(std::string_view path, const LoggedRequest& request) {
    if (text::EqualsIgnoreAsciiCase(path, wire::kPricePath)) {
      if (options_.live) {
        options_.live->NoteDemand();
        return LiveQuoteList();
      }
      return text::Utf8ToGbk(QuoteListText());
    }
    if (text::EqualsIgnoreAsciiCase(path, wire::kNewsPath)) {
      return text::Utf8ToGbk(options_.live ? LiveNewsListText(LinkHost(request), live_sources_)
                                           : NewsListText(LinkHost(request)));
    }
    if (text::EqualsIgnoreAsciiCase(path, wire::kVersionPath)) {
      return text::Utf8ToGbk(VersionRecordText(options_.offer, LinkHost(request)));
    }
    return std::nullopt;
  }

  void ReplyDefault(std::string_view path, const httplib::Request& http_request,
                    const LoggedRequest& request, httplib::Response& response) {
    std::optional<std::string> detail;
    std::optional<Page> news_page;
    if (std::optional<std::string> feed = FeedText(path, request)) {
      response.set_content(*feed, std::string(kGbkText));
    } else if (text::EqualsIgnoreAsciiCase(path, wire::kQuoteDetailPath) &&
               (detail = DetailText(http_request.get_param_value("code")))) {
      response.set_content(text::Utf8ToGbk(*detail), std::string(kGbkText));
    } else if (text::EqualsIgnoreAsciiCase(path, wire::kCountPath)) {
      ReplyCounter(request, response);
    } else if (path == wire::kHomePagePath) {
      response.set_content(HomePage(), std::string(kUtf8Html));
    } else if (text::EqualsIgnoreAsciiCase(path, wire::kDownloadPath)) {
      response.set_content(DownloadPage(), std::string(kUtf8Html));
    } else if (const std::optional<int> number = NewsNumber(path);
               number && (news_page = options_.live ? LiveNewsPage(*number, live_sources_)
                                                    : NewsPage(*number))) {
      response.set_content(news_page->body, news_page->content_type);
    } else {
      response.status = 404;
      response.set_content(NotFoundPage(), std::string(kUtf8Html));
    }
  }

  void ReplyCounter(const LoggedRequest& request, httplib::Response& response) {
    std::string visitor = CookieValue(request, kVisitorCookie);
    if (!IsVisitorId(visitor)) {
      visitor = NewVisitorId();
      response.set_header("Set-Cookie", std::string(kVisitorCookie) + "=" + visitor + "; Path=/");
    }
    int loads = 0;
    {
      std::lock_guard lock(mutex_);
      auto found = counter_loads_.find(visitor);
      if (found == counter_loads_.end()) {
        // Any page can make up visitors: the oldest are forgotten rather than kept forever.
        if (counter_loads_.size() >= QuoteServer::kMaxVisitors) {
          counter_loads_.erase(visitor_order_.front());
          visitor_order_.pop_front();
        }
        visitor_order_.push_back(visitor);
        found = counter_loads_.emplace(visitor, 0).first;
      }
      loads = ++found->second;
    }
    response.set_content(CounterPage(loads), std::string(kUtf8Html));
  }

  // Links point back at the address the client used, so they work however the server is reached.
  std::string LinkHost(const LoggedRequest& request) const {
    const std::optional<std::string> sent = HeaderValue(request, "Host");
    return sent && IsHostText(*sent) ? *sent : host();
  }

  // The reply of the details endpoint for `code` (any letter case), UTF-8; nothing for a code
  // that is not in the catalogue. Live: the book's, and the request counts as a panel's.
  std::optional<std::string> DetailText(std::string_view code) {
    if (options_.live) {
      options_.live->NoteDemand();
      return options_.live->DetailText(code);
    }
    const std::string lower = text::AsciiLower(code);
    if (quotes::FindProduct(lower) == nullptr) return std::nullopt;
    DayFigures day;
    {
      std::lock_guard lock(mutex_);
      WalkToNow();
      DemoDayToNow();
      day = day_->Figures(lower);
    }
    live::QuoteDetail detail;
    detail.code = lower;
    detail.status = "live";
    detail.source = kDemoSource;
    detail.shown = "bidask";
    detail.time = WallClock();
    detail.open_cents = day.open_cents;
    detail.previous_cents = day.previous_cents;
    detail.high_cents = day.high_cents;
    detail.low_cents = day.low_cents;
    return live::DetailText(detail);
  }

  std::string QuoteListText() {
    std::lock_guard lock(mutex_);
    WalkToNow();
    return book_.QuoteListText();
  }

  // The day's points of one product: /Soft/Trend.asp?code=au. The day is made up to now at the
  // first such request, so a server nobody asks for a chart does none of the work.
  void ReplyTrend(const httplib::Request& request, httplib::Response& response) {
    const std::string code = text::AsciiLower(request.get_param_value("code"));
    std::string text;
    if (options_.live) {
      options_.live->NoteDemand();
      RecordLiveDay();
      std::lock_guard lock(mutex_);
      if (quotes::FindProduct(code) != nullptr) text = day_->TrendText(code);
    } else {
      std::lock_guard lock(mutex_);
      WalkToNow();
      if (quotes::FindProduct(code) != nullptr) {
        DemoDayToNow();
        text = day_->TrendText(code);
      }
    }
    if (text.empty()) {
      response.status = 404;
      response.set_content(NotFoundPage(), std::string(kUtf8Html));
      return;
    }
    response.set_content(text, std::string(kGbkText));
  }

  // The walk takes the steps its time has brought, and a day asked for records them; the
  // caller holds mutex_.
  void WalkToNow() {
    if (options_.quote_step.count() > 0) {
      const auto elapsed = std::chrono::steady_clock::now() - started_;
      const auto steps = static_cast<std::uint64_t>(elapsed / options_.quote_step);
      if (steps > timed_steps_) {
        book_.Advance(steps - timed_steps_);
        timed_steps_ = steps;
      }
    }
    if (day_) RecordDay(book_.Quotes());
  }

  // Live: the quote list in GBK, made again only when the book has changed. A thousand panels
  // ask for the same list between two answers of a source; the day is recorded when it changes.
  std::string LiveQuoteList() {
    const std::uint64_t revision = options_.live->Revision();
    {
      std::lock_guard lock(mutex_);
      if (live_list_ && live_list_->first == revision) return live_list_->second;
    }
    RecordLiveDay();
    std::string list = text::Utf8ToGbk(options_.live->QuoteListText());
    std::lock_guard lock(mutex_);
    // Made from the book as it was at `revision` or later: a later revision makes it again.
    live_list_.emplace(revision, list);
    return list;
  }

  // Live: the quotes the book serves join the day at their own market time, with the open and
  // previous close where their source gives them.
  void RecordLiveDay() {
    const std::vector<live::LiveBook::Served> served = options_.live->ServedQuotes();
    const std::int64_t now = WallClock();
    std::lock_guard lock(mutex_);
    if (!day_) day_.emplace(kLiveZoneMinutes);
    for (const live::LiveBook::Served& quote : served) {
      day_->Record(quote.code, {quote.quote.market_time.value_or(now), quote.prices.buy_cents});
      if (quote.quote.open_cents) day_->SetOpen(quote.code, *quote.quote.open_cents);
      if (quote.quote.previous_cents) day_->SetPrevious(quote.code, *quote.quote.previous_cents);
    }
  }

  // The demonstration's day up to the prices served now, made up at its first use, so that a
  // server nobody asks about the day does none of the work. The caller holds mutex_.
  void DemoDayToNow() {
    const std::vector<Quote> quotes = book_.Quotes();
    if (!day_) {
      day_.emplace(kDemoZoneMinutes);
      FillDemoDay(*day_, options_.seed, quotes, WallClock());
    }
    RecordDay(quotes);
  }

  // The prices served now join the day. Called with mutex_ held.
  void RecordDay(const std::vector<Quote>& quotes) {
    const std::int64_t now = WallClock();
    for (const Quote& quote : quotes) {
      // A day that starts while the server runs opens at its first price.
      if (day_->Record(quote.code, {now, quote.buy_cents}))
        day_->SetOpen(quote.code, quote.buy_cents);
    }
  }

  std::int64_t WallClock() const {
    if (options_.wall_clock) return options_.wall_clock();
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }

  const ServerOptions options_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> listener_done_{false};
  RecordingServer server_;
  std::thread listener_;
  int port_ = -1;
  std::string adopted_address_;
  std::chrono::steady_clock::time_point started_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;  // the log grew, or the server is stopping
  std::map<std::string, ScriptedReply> scripts_;
  // The live quote list and the book's revision it was made at.
  std::optional<std::pair<std::uint64_t, std::string>> live_list_;
  std::deque<LoggedRequest> log_;
  size_t logged_count_ = 0;  // since the start or the last ClearLog
  PriceBook book_;
  std::uint64_t timed_steps_ = 0;
  std::optional<DayRecord> day_;  // from the first trend request on
  std::map<std::string, int> counter_loads_;
  std::deque<std::string> visitor_order_;  // counter_loads_'s visitors, oldest first
  FaultCycle faults_;
  const std::vector<std::string> live_sources_;  // the live headline's names
};

QuoteServer::QuoteServer(ServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}
QuoteServer::~QuoteServer() = default;
bool QuoteServer::Start() { return impl_->Start(); }
void QuoteServer::Stop() { impl_->Stop(); }
int QuoteServer::port() const { return impl_->port(); }
std::string QuoteServer::host() const { return impl_->host(); }
std::chrono::milliseconds QuoteServer::IdleFor() const { return impl_->IdleFor(); }
void QuoteServer::Script(const std::string& path, ScriptedReply reply) {
  impl_->Script(path, std::move(reply));
}
void QuoteServer::ClearScripts() { impl_->ClearScripts(); }
std::vector<LoggedRequest> QuoteServer::Requests() const { return impl_->Requests(); }
void QuoteServer::ClearLog() { impl_->ClearLog(); }
bool QuoteServer::WaitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
  return impl_->WaitForRequests(count, limit);
}
bool QuoteServer::FaultsActive() const { return impl_->FaultsActive(); }
void QuoteServer::AdvanceQuotes(std::uint64_t steps) { impl_->AdvanceQuotes(steps); }
std::map<std::string, int> QuoteServer::CounterLoads() const { return impl_->CounterLoads(); }

}  // namespace lumetta_server
