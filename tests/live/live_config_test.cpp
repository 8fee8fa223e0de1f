#include "server/live/live_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <variant>

#include "quotes/catalogue.h"

namespace {

using live::ConfigError;
using live::LiveConfig;

// One valid source on lines 1-5, for the cases to add to or replace.
constexpr const char* kSource =
    "[source s]\n"
    "url = https://example.org/q={codes}\n"
    "format = lines\n"
    "variable = v_{code}\n"
    "fields = last:0\n";

// The text followed by a product section for each catalogue product it does not list itself.
std::string WithProducts(const std::string& text) {
  std::string whole = text;
  for (const quotes::Product& product : quotes::kCatalogue) {
    const std::string header = "[product " + std::string(product.code) + "]";
    if (text.find(header) == std::string::npos) whole += "\n" + header + "\nchain =\n";
  }
  return whole;
}

struct Refusal {
  const char* name;
  std::string text;  // products added by WithProducts
  int line;
  const char* word;  // in the message
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class RefusalTest : public testing::TestWithParam<Refusal> {};

TEST_P(RefusalTest, NamesTheLine) {
  const Refusal& refusal = GetParam();
  const auto result = live::ParseLiveConfig(WithProducts(refusal.text));
  ASSERT_TRUE(std::holds_alternative<ConfigError>(result));
  const ConfigError& error = std::get<ConfigError>(result);
  EXPECT_EQ(error.line, refusal.line) << error.message;
  EXPECT_NE(error.message.find(refusal.word), std::string::npos) << error.message;
}

const std::string kSourceText = kSource;

INSTANTIATE_TEST_SUITE_P(
    Config, RefusalTest,
    testing::Values(
        Refusal{"UnknownSection", "[sauce s]\n", 1, "unknown section"},
        Refusal{"KeyOutsideSection", "# comment\nurl = https://a.example/{code}\n", 2, "outside"},
        Refusal{"UnknownKey", kSourceText + "colour = red\n", 6, "colour"},
        Refusal{"KeyTwice", kSourceText + "url = https://b.example/{codes}\n", 6, "twice"},
        Refusal{"BatchNotNumber", kSourceText + "batch = ten\n", 6, "number"},
        Refusal{"BatchTooLarge", kSourceText + "batch = 51\n", 6, "range"},
        Refusal{"IntervalZero", kSourceText + "interval = 0\n", 6, "range"},
        Refusal{"MaxBytesTooSmall", kSourceText + "max_bytes = 1023\n", 6, "range"},
        Refusal{"TimeoutTooLong", kSourceText + "timeout = 31\n", 6, "range"},
        Refusal{"ZoneMalformed", kSourceText + "zone = +8:00\n", 6, "zone"},
        Refusal{"EncodingUnknown", kSourceText + "encoding = latin1\n", 6, "encoding"},
        Refusal{"HeaderWithoutColon", kSourceText + "header = Referer\n", 6, "header"},
        Refusal{"HeaderWithCarriageReturn", kSourceText + "header = X-A: 1\rX-B: 2\n", 6,
                "control"},
        Refusal{"UnknownField", "[source s]\nfields = last:0 middle:1\n", 2, "middle"},
        Refusal{"FieldNotPosition",
                "[source s]\nurl = https://a.example/{codes}\nformat = lines\nvariable = v_{code}\n"
                "fields = last:x\n",
                5, "position"},
        Refusal{"NoLast",
                "[source s]\nurl = https://a.example/{codes}\nformat = lines\nvariable = v_{code}\n"
                "fields = bid:1\n",
                5, "last"},
        Refusal{"NoUrl", "[source s]\nformat = lines\nvariable = v_{code}\nfields = last:0\n", 1,
                "url"},
        Refusal{"NoFormat", "[source s]\nurl = https://a.example/{codes}\nfields = last:0\n", 1,
                "format"},
        Refusal{"NoFields", "[source s]\nurl = https://a.example/{codes}\nformat = json\n", 1,
                "fields"},
        Refusal{"LinesWithoutVariable",
                "[source s]\nurl = https://a.example/{codes}\nformat = lines\nfields = last:0\n", 1,
                "variable"},
        Refusal{"UrlWithoutCode",
                "[source s]\nurl = https://a.example/q\nformat = json\nfields = last:p\n", 2,
                "{code}"},
        Refusal{"OneCodeButBatch",
                "[source s]\nurl = https://a.example/{code}\nformat = json\nfields = last:p\n"
                "batch = 20\n",
                5, "batch"},
        Refusal{"BatchJsonPathWithoutCode",
                "[source s]\nurl = https://a.example/{codes}\nformat = json\nbatch = 5\n"
                "fields = last:{code}.p high:h\n",
                5, "{code}"},
        Refusal{"PlainHttpElsewhere", "[source s]\nurl = http://example.org/{codes}\n", 2, "https"},
        Refusal{"LoopbackAsUserInfo", "[source s]\nurl = http://127.0.0.1@example.org/{code}\n", 2,
                "user info"},
        // Addresses libcurl would refuse on every poll.
        Refusal{"AmpersandInHost", "[source s]\nurl = https://hq&sinajs.cn/{codes}\n", 2,
                "host name"},
        Refusal{"BracketsWithoutIpv6", "[source s]\nurl = https://[::g]/{codes}\n", 2, "IPv6"},
        Refusal{"PortAboveTheLast", "[source s]\nurl = https://a.example:65536/{codes}\n", 2,
                "port"},
        Refusal{"ChainUnknownSource", kSourceText + "[product au]\nchain = s:A t:B\n", 7,
                "unknown source"},
        Refusal{"ChainLinkMalformed", kSourceText + "[product au]\nchain = s-hf_XAU\n", 7,
                "source:symbol"},
        Refusal{"UnknownProduct", "[product xau]\n", 1, "unknown product"},
        Refusal{"ProductTwice", "[product au]\nchain =\n\n[product AU]\n", 4, "twice"}),
    [](const testing::TestParamInfo<Refusal>& info) { return info.param.name; });

TEST(LiveConfigTest, AMissingProductIsTheFilesFault) {
  std::string text = WithProducts(kSource);
  const std::string pa = "[product pa]\nchain =\n";
  text.erase(text.find(pa), pa.size());
  const auto result = live::ParseLiveConfig(text);
  ASSERT_TRUE(std::holds_alternative<ConfigError>(result));
  EXPECT_EQ(std::get<ConfigError>(result).line, 0);
  EXPECT_EQ(std::get<ConfigError>(result).message, "product pa is missing");
  EXPECT_EQ(live::DescribeError("f.ini", std::get<ConfigError>(result)),
            "f.ini: product pa is missing");
  EXPECT_EQ(live::DescribeError("f.ini", ConfigError{7, "bad"}), "f.ini:7: bad");
}

TEST(LiveConfigTest, ReadsEveryKeyAndAcceptsTheLimits) {
  // CR LF endings and a byte order mark, as an editor elsewhere may write; products before the
  // source they name; loopback replicas over plain http.
  const std::string text = WithProducts(
      "\xEF\xBB\xBF[product au]\r\n"
      "chain = a:hf_XAU b:118.AU9999\r\n"
      "benchmark = 现货黄金\r\n"
      "[source a]\r\n"
      "name = 新浪财经\r\n"
      "url = http://127.0.0.1:8080/list={codes}\r\n"
      "header = Referer: https://finance.sina.com.cn/\r\n"
      "header = Accept: */*\r\n"
      "\tencoding = GBK\r\n"
      "format = lines\r\n"
      "variable = hq_str_{code}\r\n"
      "fields = last:0 time:6 date:12\r\n"
      "zone = -14:00\r\n"
      "batch = 50\r\n"
      "interval = 3600\r\n"
      "max_bytes = 1048576\r\n"
      "timeout = 30\r\n"
      "[source b]\n"
      "url = http://[::1]:9/x?secid={code}\n"
      "format = json\n"
      "fields = last:data.f43 epoch_ms:data.t\n"
      "[source c]\n"
      "url = HTTP://LocalHost/{code}\n"
      "format = json\n"
      "fields = last:price\n");
  const auto result = live::ParseLiveConfig(text);
  ASSERT_TRUE(std::holds_alternative<LiveConfig>(result))
      << std::get<ConfigError>(result).line << ": " << std::get<ConfigError>(result).message;
  const LiveConfig& config = std::get<LiveConfig>(result);
  ASSERT_EQ(config.sources.size(), 3u);
  const live::SourceEntry& a = config.sources[0];
  EXPECT_EQ(a.name, "新浪财经");
  EXPECT_EQ(a.headers,
            (std::vector<std::string>{"Referer: https://finance.sina.com.cn/", "Accept: */*"}));
  EXPECT_EQ(a.encoding, "gbk");
  EXPECT_EQ(a.format, live::ReplyFormat::kLines);
  ASSERT_EQ(a.fields.size(), 3u);
  EXPECT_EQ(a.fields[2].field, live::Field::kDate);
  EXPECT_EQ(a.fields[2].where, "12");
  EXPECT_EQ(a.zone_minutes, -14 * 60);
  EXPECT_EQ(a.batch, 50u);
  EXPECT_EQ(a.interval, std::chrono::seconds(3600));
  EXPECT_EQ(a.max_bytes, 1048576u);
  EXPECT_EQ(a.timeout, std::chrono::seconds(30));
  // Defaults: the id as the name, one symbol a request.
  const live::SourceEntry& b = config.sources[1];
  EXPECT_EQ(b.name, "b");
  EXPECT_EQ(b.batch, 1u);
  EXPECT_EQ(b.zone_minutes, 480);
  EXPECT_EQ(b.fields[1].where, "data.t");

  ASSERT_EQ(config.products.size(), quotes::kCatalogue.size());
  const live::ProductSources& au = config.products[0];
  EXPECT_EQ(au.code, "au");
  EXPECT_EQ(au.benchmark, "现货黄金");
  ASSERT_EQ(au.chain.size(), 2u);
  EXPECT_EQ(au.chain[1].source_id, "b");
  EXPECT_EQ(au.chain[1].symbol, "118.AU9999");
  EXPECT_TRUE(config.products[1].chain.empty());
}

TEST(LiveConfigTest, TheShippedFileQuotesEveryProductButHongKongGold) {
  std::ifstream file(LUMETTA_SHIPPED_SOURCES, std::ios::binary);
  ASSERT_TRUE(file) << LUMETTA_SHIPPED_SOURCES;
  std::stringstream text;
  text << file.rdbuf();
  const auto result = live::ParseLiveConfig(text.str());
  ASSERT_TRUE(std::holds_alternative<LiveConfig>(result))
      << live::DescribeError("live-sources.ini", std::get<ConfigError>(result));
  const LiveConfig& config = std::get<LiveConfig>(result);
  for (const live::SourceEntry& source : config.sources) {
    EXPECT_EQ(source.url.rfind("https://", 0), 0u) << source.id;
    // A source no chain names would be fetched never: a sign of a typo in a chain.
    EXPECT_TRUE(std::any_of(config.products.begin(), config.products.end(),
                            [&](const live::ProductSources& product) {
                              return std::any_of(product.chain.begin(), product.chain.end(),
                                                 [&](const live::ChainLink& link) {
                                                   return link.source_id == source.id;
                                                 });
                            }))
        << source.id;
  }
  for (const live::ProductSources& product : config.products) {
    EXPECT_EQ(product.chain.empty(), product.code == "gt") << product.code;
  }
}

}  // namespace
