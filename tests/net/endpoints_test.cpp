#include "net/endpoints.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <string_view>

namespace {

const std::string kNumber = R"([1-9][0-9]{0,8}(\.[0-9]*[1-9])?)";

TEST(EndpointsTest, FetchedAddressesEndInAFreshCacheBustingNumber) {
  const std::string host = "127.0.0.1:8750";
  EXPECT_TRUE(std::regex_match(
      endpoints::QuoteListUrl(host),
      std::regex(R"(http://127\.0\.0\.1:8750/Soft/Price\.asp\?Type=0&r=)" + kNumber)))
      << endpoints::QuoteListUrl(host);
  EXPECT_TRUE(std::regex_match(
      endpoints::NewsListUrl("quotes.example"),
      std::regex(R"(http://quotes\.example/Soft/News\.asp\?Type=0&r=)" + kNumber)));
  EXPECT_TRUE(
      std::regex_match(endpoints::VersionUrl(host),
                       std::regex(R"(http://127\.0\.0\.1:8750/Soft/Version\.asp\?r=)" + kNumber)));
}

TEST(EndpointsTest, CounterAndHomePageCarryNoNumber) {
  EXPECT_EQ(endpoints::CounterUrl("127.0.0.1:8750"), "http://127.0.0.1:8750/Soft/Count.asp");
  EXPECT_EQ(endpoints::HomePageUrl("quotes.example"), "http://quotes.example/");
}

TEST(EndpointsTest, TheDefaultHostMakesAWebAddress) {
  // The host this build was configured with.
  const std::string host = LUMETTA_SERVER_HOST;
  EXPECT_FALSE(host.empty());
  EXPECT_EQ(host.find('/'), std::string::npos);
  EXPECT_TRUE(endpoints::IsWebAddress(endpoints::HomePageUrl(host)));
  EXPECT_TRUE(endpoints::IsServerHost(host));
}

TEST(EndpointsTest, ServerHostsAreAHostAndAtMostAPort) {
  for (const char* host : {"127.0.0.1", "127.0.0.1:8750", "quotes.example.net", "a-b.c:1",
                           "localhost:65535", "[::1]", "[::1]:8750"}) {
    EXPECT_TRUE(endpoints::IsServerHost(host)) << host;
    EXPECT_TRUE(endpoints::IsWebAddress(endpoints::HomePageUrl(host))) << host;
  }
  // Anything that would change what the addresses built on it name, or no port at all.
  for (const char* host :
       {"", ":8750", "http://127.0.0.1", "127.0.0.1/x", "user@127.0.0.1",
        "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:+80", "127.0.0.1:80x",
        "127.0.0.1:8750:1", "exa mple.net", "-flag", ".hidden", "[::1", "[]", "[::1]x",
        "[::1]:", "[g::1]", "host?q", "host#f", "quotes.example.net\r\n", "127.0.0.1:99999999999",
        // A zone id would need its %-sign escaped in the address.
        "[fe80::1%eth0]"}) {
    EXPECT_FALSE(endpoints::IsServerHost(host)) << host;
  }
}

TEST(EndpointsTest, WebAddressesAreHttpOrHttpsWithAHost) {
  for (const std::string_view address :
       {std::string_view("http://127.0.0.1:8750/News/1.html"),
        std::string_view("HTTP://Example.com"), std::string_view("https://a.b/c?d=e#f"),
        std::string_view("HtTpS://user@host:8080/"), std::string_view("http://[::1]:8750/"),
        endpoints::kIcbcBankUrl, endpoints::kCcbBankUrl, endpoints::kBocBankUrl}) {
    EXPECT_TRUE(endpoints::IsWebAddress(address)) << address;
  }
  for (const std::string address :
       {"", "http://", "https:///etc/passwd", "http://:80/", "http://user@/", "http://[]/",
        "file:///etc/passwd", "file://host/etc/passwd", "FILE://localhost/x", "javascript:alert(1)",
        "ftp://example.com/", "/usr/bin/xterm", "mailto:a@b.c", " http://example.com/",
        "http:example.com", "httpx://example.com", "http://exa mple.com/",
        "http://example.com/\nrm", "http://example.com/\x7f"}) {
    EXPECT_FALSE(endpoints::IsWebAddress(address)) << address;
  }
}

}  // namespace
