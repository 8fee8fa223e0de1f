#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>

#include "server/quote_server.h"

namespace lumetta_test {

using namespace std::chrono_literals;

// "http://HOST" then a path of the server (one of net/wire_paths.h, say) and its query.
std::string ServerUrl(std::string_view host, std::string_view path, std::string_view query = {});

// A quote server on an ephemeral loopback port for the length of one test. Prices stand still
// unless a test advances them, so nothing depends on the clock.
class LocalServerTest : public ::testing::Test {
 protected:
  static lumetta_server::ServerOptions StillOptions() {
    lumetta_server::ServerOptions options;
    options.quote_step = 0ms;
    return options;
  }

  void SetUp() override { ASSERT_TRUE(server_.Start()); }

  std::string Url(std::string_view path, std::string_view query = {}) const {
    return ServerUrl(server_.host(), path, query);
  }

  // The single request the server saw; a test fails unless there was exactly one.
  lumetta_server::LoggedRequest OnlyRequest() const {
    EXPECT_TRUE(server_.WaitForRequests(1, 5s));
    const auto log = server_.Requests();
    EXPECT_EQ(log.size(), 1u);
    return log.empty() ? lumetta_server::LoggedRequest{} : log.front();
  }

  lumetta_server::QuoteServer server_{StillOptions()};
};

// The widget's own form of the call: a plain blocking GET decoded from GB2312.
std::string WidgetGet(const std::string& url);

}  // namespace lumetta_test
