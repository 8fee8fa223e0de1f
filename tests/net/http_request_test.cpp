#include "net/http_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "net/curl_transfer.h"
#include "tests/support/local_server.h"
#include "tests/support/loopback_port.h"
#include "text/gbk.h"

namespace lumetta_test {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;
using lumetta_server::HeaderValue;
using lumetta_server::ScriptedReply;
using Clock = std::chrono::steady_clock;

constexpr char kUserAgent[] =
    "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; Trident/4.0; .NET CLR 2.0.50727; .NET CLR "
    "3.0.4506.2152; .NET CLR 3.5.30729)";

ScriptedReply Reply(int status, std::string body) {
  ScriptedReply reply;
  reply.status = status;
  reply.body = std::move(body);
  return reply;
}

using test_support::ClosedPort;
using test_support::SilentPort;

class HttpRequestTest : public LocalServerTest {
 protected:
  std::string Send(const std::string& url, const std::string& method, const std::string& data,
                   const std::string& referer, const std::string& post_type,
                   const std::string& cookie) {
    return Code::HttpRequest(url, false, method, data, referer, post_type, cookie, false, "gb2312");
  }
  std::string GetAs(const std::string& path, const std::string& charset) {
    return Code::HttpRequest(Url(path), false, "GET", "", "", "", "", false, charset);
  }
};

// The head of a plain GET of `target`: exactly the widget's fixed headers, in order.
std::string PlainGetHead(const std::string& host, const std::string& target) {
  return "GET " + target + " HTTP/1.1\r\nHost: " + host +
         "\r\n"
         "Accept: */*\r\n"
         "Accept-Language: zh-cn\r\n"
         "User-Agent: " +
         kUserAgent +
         "\r\n"
         "Cache-Control: no-cache\r\n"
         "\r\n";
}

TEST_F(HttpRequestTest, GetSendsExactlyTheFixedHeadersInOrder) {
  Send(Url("/Soft/Price.asp?Type=0&r=1"), "GET", "", "", "", "");
  const auto sent = OnlyRequest();
  EXPECT_EQ(sent.head, PlainGetHead(server_.host(), "/Soft/Price.asp?Type=0&r=1"));
  EXPECT_TRUE(sent.body.empty());
}

// A thread keeps its easy handle between transfers: a request takes nothing over from those
// made before it on the same thread, a cookie jar's included.
TEST_F(HttpRequestTest, ARequestTakesNothingFromTheOnesBeforeItOnItsThread) {
  ScriptedReply sets_cookie = Reply(200, "ok");
  sets_cookie.headers.emplace_back("Set-Cookie", "kept=1; Path=/");
  server_.Script("/jar", sets_cookie);
  Code::CookieJar jar;
  Code::PreparedRequest with_jar;
  with_jar.url = Url("/jar");
  with_jar.method = "GET";
  ASSERT_TRUE(Code::PerformTransfer(with_jar, Code::HttpLimits{}, nullptr, &jar).completed);
  ASSERT_EQ(jar.Cookies().size(), 1u);
  Send(Url("/post"), "POST", "a=1", "http://r.test/", "2", "k=v");
  Send(Url("/Soft/Price.asp?Type=0&r=1"), "GET", "", "", "", "");
  ASSERT_TRUE(server_.WaitForRequests(3, 5s));
  const auto log = server_.Requests();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[2].head, PlainGetHead(server_.host(), "/Soft/Price.asp?Type=0&r=1"));
  EXPECT_TRUE(log[2].body.empty());
}

TEST_F(HttpRequestTest, RefererAndCookieTakeTheirPlacesWhenGiven) {
  Send(Url("/a"), "GET", "", "http://example.test/from", "", "id=7; lang=zh");
  EXPECT_EQ(OnlyRequest().headers, (Headers{{"Host", server_.host()},
                                            {"Accept", "*/*"},
                                            {"Accept-Language", "zh-cn"},
                                            {"Referer", "http://example.test/from"},
                                            {"User-Agent", kUserAgent},
                                            {"Cache-Control", "no-cache"},
                                            {"Cookie", "id=7; lang=zh"}}));
}

TEST_F(HttpRequestTest, PostSendsBodyTypeAndLengthBeforeTheCookie) {
  Send(Url("/post"), "POST", "a=1&b=22", "http://r.test/", "1", "k=v");
  const auto sent = OnlyRequest();
  EXPECT_EQ(sent.method, "POST");
  EXPECT_EQ(sent.target, "/post");
  EXPECT_EQ(sent.body, "a=1&b=22");
  EXPECT_EQ(sent.headers, (Headers{{"Host", server_.host()},
                                   {"Accept", "*/*"},
                                   {"Accept-Language", "zh-cn"},
                                   {"Referer", "http://r.test/"},
                                   {"User-Agent", kUserAgent},
                                   {"Cache-Control", "no-cache"},
                                   {"Content-Type", "application/x-www-form-urlencoded"},
                                   {"Content-Length", "8"},
                                   {"Cookie", "k=v"}}));
}

TEST_F(HttpRequestTest, PostTypeChoosesTheContentType) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"1", "application/x-www-form-urlencoded"},
      {"2", "application/stream"},
      {"3", "application/x-www-form-urlencoded"},
      {"", "application/x-www-form-urlencoded"},
  };
  for (const auto& [post_type, content_type] : cases) {
    server_.ClearLog();
    Send(Url("/p"), "POST", "", "", post_type, "");
    const auto sent = OnlyRequest();
    EXPECT_EQ(HeaderValue(sent, "Content-Type"), content_type) << "PostType " << post_type;
    EXPECT_EQ(HeaderValue(sent, "Content-Length"), "0") << "PostType " << post_type;
    EXPECT_FALSE(HeaderValue(sent, "Referer")) << "PostType " << post_type;
    EXPECT_FALSE(HeaderValue(sent, "Cookie")) << "PostType " << post_type;
  }
}

TEST_F(HttpRequestTest, MethodKeepsTheCallersSpellingOrBecomesGet) {
  Send(Url("/m"), "Post", "x=1", "", "2", "");
  auto sent = OnlyRequest();
  EXPECT_EQ(sent.method, "Post");
  EXPECT_EQ(HeaderValue(sent, "Content-Type"), "application/stream");
  EXPECT_EQ(sent.body, "x=1");

  for (const std::string method : {"put", "", "DELETE"}) {
    server_.ClearLog();
    Send(Url("/m"), method, "x=1", "", "", "");
    sent = OnlyRequest();
    EXPECT_EQ(sent.method, "GET") << "method " << method;
    EXPECT_EQ(sent.target, "/m?x=1") << "method " << method;
    EXPECT_FALSE(HeaderValue(sent, "Content-Length")) << "method " << method;
  }
}

TEST_F(HttpRequestTest, GetDataIsAppendedUnchangedAndNeverAsABody) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/q", "/q?a=1&b=x%20y"},
      {"/q?r=5", "/q?r=5&a=1&b=x%20y"},
  };
  for (const auto& [path, expected] : cases) {
    server_.ClearLog();
    Send(Url(path), "GET", "a=1&b=x%20y", "", "1", "");
    const auto sent = OnlyRequest();
    EXPECT_EQ(sent.target, expected);
    EXPECT_TRUE(sent.body.empty());
    EXPECT_FALSE(HeaderValue(sent, "Content-Type"));
    EXPECT_FALSE(HeaderValue(sent, "Content-Length"));
  }
  server_.ClearLog();
  Send(Url("/q?r=5"), "GET", "", "", "", "");
  EXPECT_EQ(OnlyRequest().target, "/q?r=5");

  // Spaces, in the address or in the data, go out as %20 instead of failing the request.
  server_.ClearLog();
  Send(Url("/a b?c=d e"), "GET", "f=g h", "", "", "");
  EXPECT_EQ(OnlyRequest().target, "/a%20b?c=d%20e&f=g%20h");
}

TEST_F(HttpRequestTest, HeaderValuesWithLineBreaksAreLeftOut) {
  Send(Url("/h"), "GET", "", "http://r.test/\r\nX-Injected: 1", "", "a=1\nX-Other: 2");
  const auto sent = OnlyRequest();
  EXPECT_FALSE(HeaderValue(sent, "Referer"));
  EXPECT_FALSE(HeaderValue(sent, "Cookie"));
  EXPECT_FALSE(HeaderValue(sent, "X-Injected"));
  EXPECT_FALSE(HeaderValue(sent, "X-Other"));
}

TEST_F(HttpRequestTest, OnlyAFinalStatus200GivesTheBody) {
  server_.Script("/ok", Reply(200, "fine"));
  server_.Script("/missing", Reply(404, "<html>not here</html>"));
  server_.Script("/broken", Reply(500, "<html>server error</html>"));
  server_.Script("/unchanged", Reply(304, ""));
  // Other successes with a body are still not 200.
  server_.Script("/created", Reply(201, "made"));
  server_.Script("/partial", Reply(206, "part"));
  EXPECT_EQ(WidgetGet(Url("/created")), "");
  EXPECT_EQ(WidgetGet(Url("/partial")), "");
  EXPECT_EQ(WidgetGet(Url("/ok")), "fine");
  EXPECT_EQ(WidgetGet(Url("/missing")), "");
  EXPECT_EQ(WidgetGet(Url("/broken")), "");
  EXPECT_EQ(WidgetGet(Url("/unchanged")), "");
}

TEST_F(HttpRequestTest, RedirectsAreFollowedAndTheFinalStatusCounts) {
  ScriptedReply moved = Reply(302, "moved");
  moved.headers = {{"Location", "/new"}};
  server_.Script("/old", moved);
  server_.Script("/new", Reply(200, "arrived"));
  ScriptedReply dead_end = Reply(301, "");
  dead_end.headers = {{"Location", "/gone"}};
  server_.Script("/elsewhere", dead_end);
  server_.Script("/gone", Reply(404, "gone"));

  EXPECT_EQ(WidgetGet(Url("/old")), "arrived");
  EXPECT_EQ(WidgetGet(Url("/elsewhere")), "");

  // A redirected POST goes on as a POST, its length matching the body it carries.
  server_.ClearLog();
  EXPECT_EQ(Send(Url("/old"), "POST", "a=1", "", "1", ""), "arrived");
  ASSERT_TRUE(server_.WaitForRequests(2, 5s));
  const auto followed = server_.Requests().back();
  EXPECT_EQ(followed.target, "/new");
  EXPECT_EQ(followed.method, "POST");
  EXPECT_EQ(followed.body, "a=1");
  EXPECT_EQ(HeaderValue(followed, "Content-Length"), "3");
}

// The status is kept for callers that tell a missing page from a failure; the body still
// comes with 200 alone, and a reply that did not arrive whole has no status.
TEST_F(HttpRequestTest, TheReplyKeepsTheFinalStatus) {
  server_.Script("/ok", Reply(200, text::Utf8ToGbk("黄金")));
  server_.Script("/missing", Reply(404, "<html>not here</html>"));
  ScriptedReply moved = Reply(302, "moved");
  moved.headers = {{"Location", "/missing"}};
  server_.Script("/moved", moved);
  ScriptedReply dropped = Reply(404, std::string(10000, 'x'));
  dropped.drop_mid_body = true;
  server_.Script("/drop", dropped);
  const ClosedPort closed;
  const struct {
    std::string url;
    long status;
    std::string text;
  } cases[] = {{Url("/ok"), 200, "黄金"}, {Url("/missing"), 404, ""}, {Url("/moved"), 404, ""},
               {Url("/drop"), 0, ""},     {closed.Url(), 0, ""},      {"", 0, ""}};
  for (const auto& each : cases) {
    const Code::HttpReply reply =
        Code::HttpRequestReply(each.url, false, "GET", "", "", "", "", "gb2312", {});
    EXPECT_EQ(reply.status, each.status) << each.url;
    EXPECT_EQ(reply.text, each.text) << each.url;
  }
}

TEST_F(HttpRequestTest, GbkChineseComesBackUnchanged) {
  const std::string text = "  黄金,512.30,513.10\r\n白银 下跌 \r\n\t";
  server_.Script("/gbk", Reply(200, text::Utf8ToGbk(text)));
  EXPECT_EQ(GetAs("/gbk", "gb2312"), text);
  EXPECT_EQ(GetAs("/gbk", "GB2312"), text);
  // Any other name, Big5 too, decodes as GB2312 would; real Big5 decoding would garble this.
  EXPECT_EQ(GetAs("/gbk", "big5"), text);
  EXPECT_EQ(GetAs("/gbk", "BIG5"), text);
}

TEST_F(HttpRequestTest, Utf8IsDecodedInAnyCaseAndLosesItsByteOrderMark) {
  const std::string text = "现货黄金 2330.25";
  server_.Script("/utf8", Reply(200, text));
  server_.Script("/bom", Reply(200, "\xEF\xBB\xBF" + text));
  EXPECT_EQ(GetAs("/utf8", "UTF-8"), text);
  EXPECT_EQ(GetAs("/utf8", "utf-8"), text);
  EXPECT_NE(GetAs("/utf8", "gb2312"), text);
  EXPECT_EQ(GetAs("/bom", "Utf-8"), text);
}

TEST_F(HttpRequestTest, AConnectionDroppedMidBodyGivesEmptyText) {
  ScriptedReply dropped = Reply(200, std::string(10000, 'x'));
  dropped.drop_mid_body = true;
  server_.Script("/drop", dropped);
  EXPECT_EQ(WidgetGet(Url("/drop")), "");
}

TEST_F(HttpRequestTest, RepliesAboveFourMebibytesFail) {
  server_.Script("/limit", Reply(200, std::string(Code::kMaxReplyBytes, 'a')));
  server_.Script("/over", Reply(200, std::string(Code::kMaxReplyBytes + 1, 'a')));
  ScriptedReply unannounced = Reply(200, std::string(Code::kMaxReplyBytes + 1, 'a'));
  unannounced.chunked = true;  // no length up front: the bound must hold while receiving
  server_.Script("/chunked", unannounced);
  EXPECT_EQ(WidgetGet(Url("/limit")).size(), Code::kMaxReplyBytes);
  EXPECT_EQ(WidgetGet(Url("/over")), "");
  EXPECT_EQ(WidgetGet(Url("/chunked")), "");
}

TEST_F(HttpRequestTest, AStalledReplyGivesEmptyTextWhenTheTimeOutEnds) {
  ScriptedReply stalled = Reply(200, "late");
  stalled.delay = 30s;
  server_.Script("/slow", stalled);
  const Code::HttpLimits limits{1s, 1s};
  const auto start = Clock::now();
  EXPECT_EQ(Code::HttpRequest(Url("/slow"), false, "GET", "", "", "", "", false, "gb2312", limits),
            "");
  EXPECT_LT(Clock::now() - start, 10s);
}

TEST_F(HttpRequestTest, ARefusedPortFailsAtOnce) {
  const ClosedPort closed;
  const auto start = Clock::now();
  EXPECT_EQ(WidgetGet(closed.Url()), "");
  EXPECT_LT(Clock::now() - start, 3s);
}

TEST_F(HttpRequestTest, AsyncReturnsAtOnceAndTheRequestStillArrives) {
  ScriptedReply stalled = Reply(200, "answer nobody reads");
  stalled.delay = 30s;
  server_.Script("/async", stalled);
  const auto start = Clock::now();
  EXPECT_EQ(Code::HttpRequest(Url("/async?x=1"), false, "GET", "", "", "", "", true, "gb2312"), "");
  EXPECT_LT(Clock::now() - start, 10s);
  const auto sent = OnlyRequest();
  EXPECT_EQ(sent.target, "/async?x=1");
  EXPECT_EQ(HeaderValue(sent, "Accept-Language"), "zh-cn");
}

TEST_F(HttpRequestTest, AnEmptyUrlSendsNothing) {
  EXPECT_EQ(Code::HttpRequest("", false, "GET", "a=1", "", "", "", false, "gb2312"), "");
  EXPECT_EQ(Code::HttpRequest("", false, "POST", "a=1", "", "", "", true, "gb2312"), "");
  WidgetGet(Url("/after"));
  EXPECT_EQ(OnlyRequest().target, "/after");
}

TEST(HttpRequestExitTest, ProcessExitsPromptlyWhileANoWaitRequestIsInFlight) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto start = Clock::now();
  EXPECT_EXIT(
      {
        const SilentPort silent;
        Code::HttpRequest(silent.Url(), false, "GET", "", "", "", "", true, "gb2312");
        std::exit(silent.WaitForConnection() ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  // Well inside the 15 s the abandoned request could otherwise run for.
  EXPECT_LT(Clock::now() - start, 12s);
}

}  // namespace
}  // namespace lumetta_test
