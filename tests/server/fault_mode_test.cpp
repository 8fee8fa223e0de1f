#include "server/fault_mode.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "net/wire_paths.h"
#include "server/quote_server.h"
#include "tests/support/local_server.h"
#include "tests/support/server_process.h"
#include "text/gbk.h"

namespace lumetta_test {
namespace {

using lumetta_server::Fault;
using lumetta_server::FaultName;
using lumetta_server::kFaultCycle;
using lumetta_server::QuoteServer;
using lumetta_server::ServerOptions;
using Clock = std::chrono::steady_clock;

// The faults that hold a connection are only looked at as far as their start, with a short
// time-out; every other request may take as long as a loaded machine needs.
constexpr auto kShortTimeout = 300ms;
constexpr auto kTrickleLook = 1500ms;
constexpr auto kPatientTimeout = 60s;

struct Outcome {
  CURLcode result = CURLE_OK;
  long status = 0;
  std::string body;
  std::string redirect;  // where a redirect points, absolute
};

struct Receiver {
  std::string body;
  std::atomic<bool>* got_bytes = nullptr;
};

size_t Receive(char* data, size_t size, size_t count, void* user) {
  auto* receiver = static_cast<Receiver*>(user);
  receiver->body.append(data, size * count);
  if (receiver->got_bytes != nullptr) *receiver->got_bytes = true;
  return size * count;
}

// One GET with its own time-out; `follow` follows up to five redirects. `got_bytes` is set
// once any of the body has arrived.
Outcome Fetch(const std::string& url, std::chrono::milliseconds timeout, bool follow = false,
              std::atomic<bool>* got_bytes = nullptr) {
  Outcome outcome;
  Receiver receiver{{}, got_bytes};
  CURL* handle = curl_easy_init();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Receive);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &receiver);
  outcome.result = curl_easy_perform(handle);
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &outcome.status);
  const char* redirect = nullptr;
  curl_easy_getinfo(handle, CURLINFO_REDIRECT_URL, &redirect);
  if (redirect != nullptr) outcome.redirect = redirect;
  curl_easy_cleanup(handle);
  outcome.body = std::move(receiver.body);
  return outcome;
}

std::string Names(const std::vector<Fault>& faults) {
  std::string names;
  for (const Fault fault : faults) names += std::string(FaultName(fault)) + ' ';
  return names;
}

// A faulty server, and a well-behaved twin with the same prices to compare against.
class FaultModeTest : public ::testing::Test {
 protected:
  static ServerOptions Options(bool faults) {
    ServerOptions options;
    options.quote_step = 0ms;
    options.faults = faults;
    return options;
  }

  void SetUp() override {
    ServerOptions options = Options(true);
    options.on_fault = [this](const lumetta_server::LoggedRequest&, std::string_view fault) {
      {
        std::lock_guard lock(mutex_);
        reported_ += std::string(fault) + ' ';
        ++faults_reported_;
      }
      reported_changed_.notify_all();
    };
    faulty_ = std::make_unique<QuoteServer>(options);
    ASSERT_TRUE(faulty_->Start());
    ASSERT_TRUE(twin_.Start());
    normal_quotes_ = WidgetGet(Url(twin_, wire::kPricePath, "?r=0"));
    ASSERT_EQ(normal_quotes_.substr(0, 4), "rmb,");
  }

  // The servers' threads report to the members below: they stop before those are destroyed.
  void TearDown() override {
    if (faulty_) faulty_->Stop();
    twin_.Stop();
  }

  static std::string Url(const QuoteServer& server, std::string_view path,
                         std::string_view query = {}) {
    return ServerUrl(server.host(), path, query);
  }

  // The next quote request to the faulty server, numbered so that each target is new.
  Outcome NextQuotes(std::chrono::milliseconds timeout = kPatientTimeout) {
    return Fetch(Url(*faulty_, wire::kPricePath, "?r=" + std::to_string(++requests_)), timeout);
  }

  std::string Reported() {
    std::lock_guard lock(mutex_);
    return reported_;
  }

  // True once `count` requests have been given their fault. A request is logged before its fault
  // is chosen, and a client that gave up early may be gone before then, so neither the log nor
  // the client's return says that the next request meets the next fault.
  bool WaitForFaults(int count) {
    std::unique_lock lock(mutex_);
    return reported_changed_.wait_for(lock, 10s, [&] { return faults_reported_ >= count; });
  }

  std::unique_ptr<QuoteServer> faulty_;
  QuoteServer twin_{Options(false)};
  std::string normal_quotes_;
  int requests_ = 0;
  std::mutex mutex_;
  std::condition_variable reported_changed_;
  std::string reported_;
  int faults_reported_ = 0;
};

TEST_F(FaultModeTest, QuoteRequestsMeetEveryFaultInTurnThenTheCycleRestarts) {
  const std::string half = normal_quotes_.substr(0, normal_quotes_.size() / 2);

  const Outcome close = NextQuotes();
  EXPECT_EQ(close.result, CURLE_GOT_NOTHING);

  const Outcome silence = NextQuotes(kShortTimeout);
  EXPECT_EQ(silence.result, CURLE_OPERATION_TIMEDOUT);
  EXPECT_EQ(silence.status, 0);
  EXPECT_EQ(silence.body, "");
  ASSERT_TRUE(WaitForFaults(2));

  const Outcome not_found = NextQuotes();
  EXPECT_EQ(not_found.result, CURLE_OK);
  EXPECT_EQ(not_found.status, 404);
  EXPECT_NE(not_found.body.find("404"), std::string::npos);

  const Outcome server_error = NextQuotes();
  EXPECT_EQ(server_error.status, 500);
  EXPECT_NE(server_error.body.find("500"), std::string::npos);

  const Outcome short_body = NextQuotes();
  EXPECT_EQ(short_body.result, CURLE_PARTIAL_FILE);
  EXPECT_EQ(short_body.status, 200);
  EXPECT_EQ(short_body.body, half);

  const Outcome huge = NextQuotes();
  EXPECT_EQ(huge.result, CURLE_OK);
  EXPECT_EQ(huge.body.size(), lumetta_server::kHugeBodyBytes);
  EXPECT_EQ(huge.body.substr(0, normal_quotes_.size()), normal_quotes_);

  const Outcome not_gbk = NextQuotes();
  EXPECT_EQ(not_gbk.status, 200);
  ASSERT_FALSE(not_gbk.body.empty());
  // Not one byte starts a GBK character.
  EXPECT_EQ(text::GbkToUtf8(not_gbk.body, "#"), std::string(not_gbk.body.size(), '#'));

  const Outcome empty = NextQuotes();
  EXPECT_EQ(empty.result, CURLE_OK);
  EXPECT_EQ(empty.status, 200);
  EXPECT_EQ(empty.body, "");

  const Outcome noise = NextQuotes();
  EXPECT_EQ(noise.status, 200);
  EXPECT_EQ(noise.body.size(), lumetta_server::kNoiseBytes);
  EXPECT_TRUE(std::any_of(noise.body.begin(), noise.body.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 && c != '\r' && c != '\n';
  }));

  // Only the start: a 200 and the first bytes of the real list, far from all of them.
  const Outcome trickle = NextQuotes(kTrickleLook);
  EXPECT_EQ(trickle.result, CURLE_OPERATION_TIMEDOUT);
  EXPECT_EQ(trickle.status, 200);
  EXPECT_LT(trickle.body.size(), lumetta_server::kTrickleBytes);
  EXPECT_EQ(normal_quotes_.substr(0, trickle.body.size()), trickle.body);
  ASSERT_TRUE(WaitForFaults(10));

  const std::string looping = Url(*faulty_, wire::kPricePath, "?r=" + std::to_string(++requests_));
  const Outcome redirect = Fetch(looping, kPatientTimeout);
  EXPECT_EQ(redirect.status, 302);
  EXPECT_EQ(redirect.redirect, looping);
  // Following it goes round and round without moving the cycle on.
  EXPECT_EQ(Fetch(looping, kPatientTimeout, /*follow=*/true).result, CURLE_TOO_MANY_REDIRECTS);

  EXPECT_EQ(NextQuotes().result, CURLE_GOT_NOTHING);
  const std::vector<Fault> cycle(kFaultCycle.begin(), kFaultCycle.end());
  EXPECT_EQ(Reported(), Names(cycle) +
                            "redirect-loop redirect-loop redirect-loop "
                            "redirect-loop redirect-loop redirect-loop close ");
}

TEST_F(FaultModeTest, TheThreeEndpointsShareOneCycleAndOtherPagesStayNormal) {
  EXPECT_EQ(Fetch(Url(*faulty_, wire::kPricePath), kPatientTimeout).result, CURLE_GOT_NOTHING);
  EXPECT_EQ(Fetch(Url(*faulty_, wire::kHomePagePath), kPatientTimeout).status, 200);
  EXPECT_EQ(Fetch(Url(*faulty_, wire::kNewsPath, "?Type=0"), kShortTimeout).result,
            CURLE_OPERATION_TIMEDOUT);
  EXPECT_EQ(Fetch(Url(*faulty_, wire::kCountPath), kPatientTimeout).status, 200);
  EXPECT_EQ(Fetch(Url(*faulty_, wire::kVersionPath), kPatientTimeout).status, 404);
  // Paths are matched in any letter case, like the normal answers.
  EXPECT_EQ(Fetch(Url(*faulty_, "/soft/PRICE.asp"), kPatientTimeout).status, 500);
  EXPECT_EQ(Reported(), "close silence not-found server-error ");
}

TEST_F(FaultModeTest, AScriptedReplyTakesPrecedence) {
  lumetta_server::ScriptedReply reply;
  reply.body = "scripted";
  faulty_->Script(std::string(wire::kPricePath), reply);
  EXPECT_EQ(Fetch(Url(*faulty_, wire::kPricePath), kPatientTimeout).body, "scripted");
  EXPECT_EQ(Reported(), "");
}

TEST_F(FaultModeTest, StoppingEndsHeldAndTricklingConnectionsAtOnce) {
  EXPECT_EQ(NextQuotes().result, CURLE_GOT_NOTHING);
  Outcome silence;
  const std::string silent = Url(*faulty_, wire::kPricePath, "?r=silent");
  std::thread silent_client([&] { silence = Fetch(silent, kPatientTimeout); });
  // Until the held request has its fault, the next one could take it and be held instead.
  ASSERT_TRUE(WaitForFaults(2));
  ASSERT_EQ(Reported(), "close silence ");
  for (int skipped = 0; skipped < 7; ++skipped) NextQuotes();
  Outcome trickle;
  std::atomic<bool> got_bytes{false};
  const std::string trickling = Url(*faulty_, wire::kPricePath, "?r=trickle");
  std::thread slow_client([&] { trickle = Fetch(trickling, kPatientTimeout, false, &got_bytes); });
  const auto give_up = Clock::now() + 10s;
  while (!got_bytes && Clock::now() < give_up) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(got_bytes);

  faulty_->Stop();
  silent_client.join();
  slow_client.join();
  // Both connections were ended by the server, long before the clients would have given up.
  EXPECT_EQ(silence.result, CURLE_GOT_NOTHING);
  EXPECT_EQ(trickle.result, CURLE_PARTIAL_FILE);
  EXPECT_EQ(trickle.status, 200);
}

TEST(TrickleTest, TheFaultDripsOnlyTheStartOfTheRealAnswer) {
  const std::string long_answer(3 * lumetta_server::kTrickleBytes, 'q');
  for (const std::string& normal : {long_answer, std::string("rmb,1.00,2.00\r\n")}) {
    lumetta_server::FaultCycle cycle(1);
    const lumetta_server::ScriptedReply reply =
        cycle.Reply(Fault::kTrickle, wire::kPricePath, normal);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, normal.substr(0, lumetta_server::kTrickleBytes));
    EXPECT_GT(reply.byte_interval, 0ms);
  }
}

// A drip as the fault sends it, on a server of its own.
class DripTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }

  std::string Drip(std::chrono::milliseconds interval) {
    lumetta_server::ScriptedReply reply;
    reply.body = kBody;
    reply.byte_interval = interval;
    server_.Script("/drip", reply);
    return "http://" + server_.host() + "/drip";
  }

  const std::string kBody = "0123456789abcdefghijklmnopqrst";
  QuoteServer server_{StillOptions()};

  static ServerOptions StillOptions() {
    ServerOptions options;
    options.quote_step = 0ms;
    return options;
  }
};

TEST_F(DripTest, SendsOneByteAndHoldsTheRestBack) {
  const std::string url = Drip(1h);
  Outcome drip;
  std::atomic<bool> got_bytes{false};
  std::thread client([&] { drip = Fetch(url, kPatientTimeout, false, &got_bytes); });
  const auto give_up = Clock::now() + 10s;
  while (!got_bytes && Clock::now() < give_up) std::this_thread::sleep_for(10ms);
  server_.Stop();
  client.join();
  EXPECT_EQ(drip.result, CURLE_PARTIAL_FILE);
  EXPECT_EQ(drip.status, 200);
  EXPECT_EQ(drip.body, kBody.substr(0, 1));
}

TEST_F(DripTest, EndsAfterItsLastByte) {
  const Outcome drip = Fetch(Drip(1ms), kPatientTimeout);
  EXPECT_EQ(drip.result, CURLE_OK);
  EXPECT_EQ(drip.body, kBody);
}

TEST(FaultModeEndTest, AfterTheirTimeTheEndpointsAnswerNormally) {
  ServerOptions options;
  options.quote_step = 0ms;
  options.faults_for = 1ms;
  options.faults = true;
  std::vector<std::string> reported;
  std::mutex mutex;
  options.on_fault = [&](const lumetta_server::LoggedRequest&, std::string_view fault) {
    std::lock_guard lock(mutex);
    reported.emplace_back(fault);
  };
  QuoteServer server(options);
  ASSERT_TRUE(server.Start());
  const auto give_up = Clock::now() + 10s;
  while (server.FaultsActive() && Clock::now() < give_up) std::this_thread::sleep_for(10ms);
  ASSERT_FALSE(server.FaultsActive());

  const std::string host = server.host();
  EXPECT_EQ(WidgetGet(ServerUrl(host, wire::kPricePath, "?r=1")).substr(0, 4), "rmb,");
  EXPECT_NE(WidgetGet(ServerUrl(host, wire::kNewsPath, "?r=2")).find("|http://"),
            std::string::npos);
  EXPECT_EQ(WidgetGet(ServerUrl(host, wire::kVersionPath, "?r=3")).substr(0, 5), "1.0\r\n");
  std::lock_guard lock(mutex);
  EXPECT_EQ(reported, (std::vector<std::string>{"none", "none", "none"}));
}

TEST(FaultModeEndTest, WithoutTheOptionThereAreNoFaults) {
  QuoteServer server;
  ASSERT_TRUE(server.Start());
  EXPECT_FALSE(server.FaultsActive());
  EXPECT_EQ(WidgetGet(ServerUrl(server.host(), wire::kPricePath)).substr(0, 4), "rmb,");
}

using test_support::ServerProcess;

bool ExitedWith(const std::optional<int>& status, int code) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

TEST(FaultModeExecutableTest, LogsEachFaultByName) {
  ServerProcess process({"--port", "0", "--faults", "--log"});
  const std::string host = process.Host();
  ASSERT_FALSE(host.empty());
  std::string cycle = "lumetta-server fault cycle:";
  for (const Fault fault : kFaultCycle) cycle += " " + std::string(FaultName(fault));
  EXPECT_EQ(process.NextLine(), cycle);

  const std::string target = std::string(wire::kPricePath) + "?r=1";
  EXPECT_EQ(Fetch(ServerUrl(host, target), kPatientTimeout).result, CURLE_GOT_NOTHING);
  EXPECT_EQ(process.NextLine(), "GET " + target);
  EXPECT_EQ(process.NextLine(), "fault close GET " + target);
  ASSERT_EQ(::kill(process.pid(), SIGTERM), 0);
  EXPECT_TRUE(ExitedWith(process.WaitForExit(), 0));
}

TEST(FaultModeExecutableTest, FaultsForEndsWithALineThenServesNormally) {
  ServerProcess process({"--port", "0", "--faults-for", "1", "--log"});
  const std::string host = process.Host();
  ASSERT_FALSE(host.empty());
  std::optional<std::string> line;
  do {
    line = process.NextLine();
  } while (line && *line != "lumetta-server faults over");
  ASSERT_TRUE(line);

  const std::string target = std::string(wire::kPricePath) + "?r=2";
  EXPECT_EQ(WidgetGet(ServerUrl(host, target)).substr(0, 4), "rmb,");
  EXPECT_EQ(process.NextLine(), "GET " + target);
  EXPECT_EQ(process.NextLine(), "fault none GET " + target);
  ASSERT_EQ(::kill(process.pid(), SIGINT), 0);
  EXPECT_TRUE(ExitedWith(process.WaitForExit(), 0));
}

TEST(FaultModeExecutableTest, RefusesBadFaultOptions) {
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"--faults-for", "0"},
                                             {"--faults-for", "-3"},
                                             {"--faults-for", "soon"},
                                             {"--faults-for"},
                                             {"--faults=yes"}}) {
    ServerProcess process(arguments);
    EXPECT_TRUE(ExitedWith(process.WaitForExit(), 2)) << arguments[0];
  }
}

}  // namespace
}  // namespace lumetta_test
