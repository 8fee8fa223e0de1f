#include "net/endpoints.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "net/wire_paths.h"

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
  EXPECT_TRUE(std::regex_match(
      endpoints::QuoteDetailUrl(host, "icbcrmbgold"),
      std::regex(R"(http://127\.0\.0\.1:8750/Soft/Quote\.asp\?code=icbcrmbgold&r=)" + kNumber)));
}

// Whatever the code, the query keeps its two fields.
TEST(EndpointsTest, TheDetailsCodeCannotAddToTheQuery) {
  const std::string url = endpoints::QuoteDetailUrl("h", "a&b=c d#e/%~._-Z9\xE9");
  EXPECT_EQ(url.substr(0, url.find("&r=")),
            "http://h/Soft/Quote.asp?code=a%26b%3Dc%20d%23e%2F%25~._-Z9%E9");
}

TEST(EndpointsTest, CounterAndHomePageCarryNoNumber) {
  EXPECT_EQ(endpoints::CounterUrl("127.0.0.1:8750"), "http://127.0.0.1:8750/Soft/Count.asp");
  EXPECT_EQ(endpoints::HomePageUrl("quotes.example"), "http://quotes.example/");
}

// Every path letter for letter, as deployed widgets ask for it: a change must be made here too.
TEST(WirePathsTest, EachPathKeepsItsText) {
  struct Pinned {
    std::string_view path;
    std::string_view text;
  };
  for (const auto& [path, text] : {
           Pinned{wire::kPricePath, "/Soft/Price.asp"},
           Pinned{wire::kNewsPath, "/Soft/News.asp"},
           Pinned{wire::kVersionPath, "/Soft/Version.asp"},
           Pinned{wire::kCountPath, "/Soft/Count.asp"},
           Pinned{wire::kDownloadPath, "/Soft/Download.html"},
           Pinned{wire::kDrivePath, "/Demo/Drive.asp"},
           Pinned{wire::kHomePagePath, "/"},
           Pinned{wire::kNewsPagePrefix, "/News/"},
           Pinned{wire::kNewsPageSuffix, ".html"},
       }) {
    EXPECT_EQ(path, text);
  }
}

TEST(EndpointsTest, TheDefaultHostMakesAWebAddress) {
  // The host this build was configured with.
  const std::string host = LUMETTA_SERVER_HOST;
  EXPECT_FALSE(host.empty());
  EXPECT_EQ(host.find('/'), std::string::npos);
  EXPECT_TRUE(endpoints::IsWebAddress(endpoints::HomePageUrl(host)));
  EXPECT_TRUE(endpoints::IsServerHost(host));
}

// What --server takes: a host and at most a port. Anything else would change what the
// addresses built on it name.
struct ServerForm {
  const char* text;
  bool accepted;
};

void PrintTo(const ServerForm& form, std::ostream* os) {
  *os << testing::PrintToString(std::string(form.text));
}

std::vector<ServerForm> Forms(bool accepted, std::initializer_list<const char*> texts) {
  std::vector<ServerForm> forms;
  for (const char* text : texts) forms.push_back({text, accepted});
  return forms;
}

class ServerHostTest : public testing::TestWithParam<ServerForm> {};

TEST_P(ServerHostTest, OnlyAHostAndAtMostAPortIsAccepted) {
  const auto& [text, accepted] = GetParam();
  EXPECT_EQ(endpoints::IsServerHost(text), accepted);
  EXPECT_TRUE(!accepted || endpoints::IsWebAddress(endpoints::HomePageUrl(text)));
}

// Host names, IPv4 and bracketed IPv6, each with and without a port from 1 to 65535.
INSTANTIATE_TEST_SUITE_P(
    Accepted, ServerHostTest,
    testing::ValuesIn(Forms(true, {"localhost", "quotes.example.net", "a-b.c:1", "localhost:65535",
                                   "127.0.0.1", "127.0.0.1:8750", "10.0.0.2:65535", "[::1]",
                                   "[::1]:8750", "[2001:db8::7]:1", "[::ffff:127.0.0.1]:65535"})));

INSTANTIATE_TEST_SUITE_P(
    Refused, ServerHostTest,
    testing::ValuesIn(Forms(
        false,
        {// A scheme, a path, a query or fragment, a user part.
         "http://127.0.0.1", "https://quotes.example.net", "127.0.0.1/x", "quotes.example.net:80/",
         "host?q", "host#f", "user@127.0.0.1", "user:pw@quotes.example.net:80",
         // Blank, or blanks and control characters around or inside.
         "", " ", " 127.0.0.1", "127.0.0.1 ", "exa mple.net", "quotes.example.net\r\n",
         "localhost:\t80",
         // No host; a missing, zero, too large or non-digit port, or a second one.
         ":8750", "127.0.0.1:", "127.0.0.1:0", "localhost:00", "127.0.0.1:65536", "[::1]:0",
         "[::1]:65536", "127.0.0.1:99999999999", "127.0.0.1:+80", "127.0.0.1:-1", "127.0.0.1:80x",
         "localhost:http", "127.0.0.1:8750:1",
         // IPv6 without brackets, or with broken ones.
         "::1", "2001:db8::7", "fe80::1:8750", "[::1", "::1]", "[]", "[::1]x", "[::1]:", "[g::1]",
         "[127.0.0.1]",
         // An option, a hidden name, and a zone id, whose %-sign the address would need escaped.
         "-flag", ".hidden", "[fe80::1%eth0]"})));

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
