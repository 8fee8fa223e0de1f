#include "tests/support/source_replica.h"

#include <httplib.h>

#include <ctime>
#include <sstream>
#include <utility>

#include "text/gbk.h"

namespace test_support {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::seconds kLongestHold{15};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream stream(text);
  while (std::getline(stream, part, separator)) parts.push_back(part);
  return parts;
}

// What follows `marker` in `text`, or nothing.
std::string After(const std::string& text, const std::string& marker) {
  const size_t at = text.find(marker);
  return at == std::string::npos ? std::string() : text.substr(at + marker.size());
}

std::string IsoTime(long long epoch) {
  const std::time_t seconds = static_cast<std::time_t>(epoch);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

// "f0,f1,...,f13" in the field positions Sina and Tencent share.
std::string SinaFields(const ReplicaQuote& quote, const std::string& second) {
  return quote.last + "," + second + "," + quote.bid + "," + quote.ask + "," + quote.high + "," +
         quote.low + "," + quote.time + "," + quote.previous + "," + quote.open + ",0,0,0," +
         quote.date + ",测试品种";
}

void AddNumber(std::string& json, const std::string& key, const std::string& value) {
  if (value.empty()) return;
  json += ",\"" + key + "\":" + value;
}

}  // namespace

SourceReplica::SourceReplica() : server_(std::make_unique<httplib::Server>()) {
  server_->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    const std::string path = request.path;
    const size_t second_slash = path.find('/', 1);
    const std::string source =
        path.substr(1, second_slash == std::string::npos ? std::string::npos : second_slash - 1);
    std::vector<std::string> symbols;
    if (source == "sina") symbols = Split(After(path, "/list="), ',');
    if (source == "tencent") symbols = Split(After(path, "/q="), ',');
    if (source == "eastmoney") symbols = {request.get_param_value("secid")};
    if (source == "cngold") symbols = Split(request.get_param_value("codes"), ',');
    if (source == "goldapi") symbols = {After(path, "/price/")};
    // Sina has answered only requests that name its site since 2022.
    const bool referer_ok = request.get_header_value("Referer") == "https://finance.sina.com.cn/";
    const Reply reply = Answer(source, request.target, symbols, referer_ok);
    response.status = reply.status;
    response.set_content(reply.body, "text/plain");
  });
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ > 0) listener_ = std::thread([this] { server_->listen_after_bind(); });
  while (listener_.joinable() && !server_->is_running()) std::this_thread::sleep_for(1ms);
}

SourceReplica::~SourceReplica() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  server_->stop();
  if (listener_.joinable()) listener_.join();
}

bool SourceReplica::running() const { return server_->is_running(); }

std::string SourceReplica::Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

void SourceReplica::SetQuote(const std::string& source, const std::string& symbol,
                             ReplicaQuote quote) {
  std::lock_guard lock(mutex_);
  quotes_[source][symbol] = std::move(quote);
}

void SourceReplica::SetMode(const std::string& source, ReplicaMode mode) {
  {
    std::lock_guard lock(mutex_);
    modes_[source] = mode;
  }
  changed_.notify_all();
}

int SourceReplica::Requests(const std::string& source) const {
  std::lock_guard lock(mutex_);
  const auto found = targets_.find(source);
  return found == targets_.end() ? 0 : static_cast<int>(found->second.size());
}

std::vector<std::string> SourceReplica::Targets(const std::string& source) const {
  std::lock_guard lock(mutex_);
  const auto found = targets_.find(source);
  return found == targets_.end() ? std::vector<std::string>{} : found->second;
}

std::vector<std::chrono::steady_clock::time_point> SourceReplica::Arrivals(
    const std::string& source) const {
  std::lock_guard lock(mutex_);
  const auto found = arrivals_.find(source);
  return found == arrivals_.end() ? std::vector<std::chrono::steady_clock::time_point>{}
                                  : found->second;
}

bool SourceReplica::WaitForRequests(const std::string& source, int count) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, 10s, [&] {
    const auto found = targets_.find(source);
    return found != targets_.end() && static_cast<int>(found->second.size()) >= count;
  });
}

int SourceReplica::Held(const std::string& source) const {
  std::lock_guard lock(mutex_);
  const auto found = held_.find(source);
  return found == held_.end() ? 0 : found->second;
}

SourceReplica::Reply SourceReplica::Answer(const std::string& source, const std::string& target,
                                           const std::vector<std::string>& symbols,
                                           bool referer_ok) {
  std::unique_lock lock(mutex_);
  targets_[source].push_back(target);
  arrivals_[source].push_back(std::chrono::steady_clock::now());
  changed_.notify_all();
  const ReplicaMode mode = modes_.count(source) > 0 ? modes_[source] : ReplicaMode::kNormal;
  switch (mode) {
    case ReplicaMode::kFail:
      return {500, "<html>Internal Server Error</html>"};
    case ReplicaMode::kGarbage:
      return {200, "<html>\x01\xff\xfe请稍后再试</html>"};
    case ReplicaMode::kHang: {
      ++held_[source];
      changed_.wait_for(lock, kLongestHold,
                        [&] { return stopping_ || modes_[source] != ReplicaMode::kHang; });
      --held_[source];
      return {503, ""};
    }
    case ReplicaMode::kNormal:
      break;
  }
  if (source == "sina" && !referer_ok) return {403, "Forbidden"};
  if (source == "goldapi" && (symbols.empty() || quotes_[source].count(symbols[0]) == 0)) {
    return {404, "{\"error\":\"Symbol not found\"}"};
  }
  return {200, Body(source, symbols)};
}

std::string SourceReplica::Body(const std::string& source,
                                const std::vector<std::string>& symbols) const {
  const auto& table =
      quotes_.count(source) > 0 ? quotes_.at(source) : std::map<std::string, ReplicaQuote>{};
  const auto find = [&](const std::string& symbol) -> const ReplicaQuote* {
    const auto found = table.find(symbol);
    return found == table.end() ? nullptr : &found->second;
  };
  std::string body;
  if (source == "sina" || source == "tencent") {
    for (const std::string& symbol : symbols) {
      const ReplicaQuote* quote = find(symbol);
      body += source == "sina" ? "var hq_str_" + symbol + "=\"" : "v_" + symbol + "=\"";
      if (quote != nullptr) body += SinaFields(*quote, source == "sina" ? "0" : "0.33");
      body += "\";\n";
    }
    return text::Utf8ToGbk(body);
  }
  if (source == "eastmoney") {
    const ReplicaQuote* quote = symbols.empty() ? nullptr : find(symbols[0]);
    if (quote == nullptr) return "{\"rc\":0,\"data\":null}";
    body = "{\"rc\":0,\"data\":{\"f57\":\"" + symbols[0] + "\"";
    AddNumber(body, "f43", quote->last);
    AddNumber(body, "f44", quote->high);
    AddNumber(body, "f45", quote->low);
    AddNumber(body, "f46", quote->open);
    AddNumber(body, "f60", quote->previous);
    AddNumber(body, "f86", std::to_string(quote->epoch));
    return body + "}}";
  }
  if (source == "cngold") {
    body = "var quote_json = {\"flag\":true";
    for (const std::string& symbol : symbols) {
      const ReplicaQuote* quote = find(symbol);
      if (quote == nullptr) continue;
      body += ",\"" + symbol;
      body += "\":{\"code\":\"" + symbol;
      body += "\",\"unit\":\"元/克\",\"digits\":2";
      AddNumber(body, "time", std::to_string(quote->epoch) + "000");
      AddNumber(body, "q63", quote->last);
      AddNumber(body, "q1", quote->open);
      AddNumber(body, "q2", quote->previous);
      AddNumber(body, "q3", quote->high);
      AddNumber(body, "q4", quote->low);
      body += "}";
    }
    return body + "};";
  }
  if (source == "goldapi") {
    const ReplicaQuote& quote = *find(symbols[0]);
    return "{\"currency\":\"USD\",\"name\":\"Gold\",\"price\":" + quote.last + ",\"symbol\":\"" +
           symbols[0] + "\",\"updatedAt\":\"" + IsoTime(quote.epoch) + "\"}";
  }
  return "no such source";
}

std::string ReplicaSourcesFile(const std::string& shipped_text, const std::string& base,
                               int timeout_seconds, std::optional<int> interval_seconds) {
  const std::vector<std::pair<std::string, std::string>> moved = {
      {"https://hq.sinajs.cn/", base + "/sina/"},
      {"https://qt.gtimg.cn/", base + "/tencent/"},
      {"https://push2.eastmoney.com/", base + "/eastmoney/"},
      {"https://api.jijinhao.com/quoteCenter/", base + "/cngold/"},
      {"https://api.gold-api.com/", base + "/goldapi/"},
  };
  std::string text;
  for (std::string line : Split(shipped_text, '\n')) {
    if (line.rfind("url = ", 0) == 0) {
      for (const auto& [from, to] : moved) {
        if (const size_t at = line.find(from); at != std::string::npos) {
          line.replace(at, from.size(), to);
        }
      }
      line += "\ntimeout = " + std::to_string(timeout_seconds);
    }
    // The tests' default: the shortest pace the server allows, whatever the shipped file says.
    if (interval_seconds && line.rfind("interval = ", 0) == 0) {
      line = "interval = " + std::to_string(*interval_seconds);
    }
    text += line + "\n";
  }
  return text;
}

}  // namespace test_support
