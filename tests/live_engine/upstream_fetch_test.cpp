#include "server/live/upstream_fetch.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace live {
namespace {

#ifdef LUMETTA_TEST_TLS_DIR

// The same content over plain http and over https with a self-signed certificate for
// "localhost", both on loopback, each counting what it serves.
template <typename Server>
class CountingServer {
 public:
  template <typename... Arguments>
  explicit CountingServer(Arguments... arguments) : server_(arguments...) {
    server_.Get("/price/XAU", [this](const httplib::Request&, httplib::Response& response) {
      ++served_;
      response.set_content("{\"price\":4390.20}", "application/json");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ > 0) listener_ = std::thread([this] { server_.listen_after_bind(); });
    while (listener_.joinable() && !server_.is_running()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~CountingServer() {
    server_.stop();
    if (listener_.joinable()) listener_.join();
  }
  int port() const { return port_; }
  int served() const { return served_; }

 private:
  Server server_;
  int port_ = -1;
  std::atomic<int> served_{0};
  std::thread listener_;
};

TEST(UpstreamFetchTest, RefusesAServerWhoseCertificateIsNotTrusted) {
  InitUpstreamFetch();
  SourceEntry source;
  source.timeout = std::chrono::seconds(5);
  const std::atomic<bool> cancel{false};

  CountingServer<httplib::Server> plain;
  ASSERT_GT(plain.port(), 0);
  EXPECT_EQ(UpstreamFetch(source, "http://127.0.0.1:" + std::to_string(plain.port()) + "/price/XAU",
                          cancel),
            "{\"price\":4390.20}");

  // The name matches the certificate; only the trust is missing.
  CountingServer<httplib::SSLServer> secure(LUMETTA_TEST_TLS_DIR "/cert.pem",
                                            LUMETTA_TEST_TLS_DIR "/key.pem");
  ASSERT_GT(secure.port(), 0);
  EXPECT_EQ(
      UpstreamFetch(source, "https://localhost:" + std::to_string(secure.port()) + "/price/XAU",
                    cancel),
      std::nullopt);
  EXPECT_EQ(secure.served(), 0);
}

#else

TEST(UpstreamFetchTest, RefusesAServerWhoseCertificateIsNotTrusted) {
  GTEST_SKIP() << "no openssl program at build time to make a test certificate";
}

#endif

}  // namespace
}  // namespace live
