#include "server/live/source_reply.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "text/gbk.h"

namespace {

using live::Field;
using live::MarketQuote;
using live::ReplyFormat;
using live::SourceEntry;

SourceEntry LinesSource(std::string variable, std::string encoding = "gbk") {
  SourceEntry source;
  source.format = ReplyFormat::kLines;
  source.encoding = std::move(encoding);
  source.variable = std::move(variable);
  source.fields = {{Field::kLast, "0"},     {Field::kBid, "2"},  {Field::kAsk, "3"},
                   {Field::kHigh, "4"},     {Field::kLow, "5"},  {Field::kTime, "6"},
                   {Field::kPrevious, "7"}, {Field::kOpen, "8"}, {Field::kDate, "12"}};
  return source;
}

SourceEntry JsonSource(std::vector<live::FieldEntry> fields) {
  SourceEntry source;
  source.format = ReplyFormat::kJson;
  source.fields = std::move(fields);
  return source;
}

TEST(SourceReplyTest, SinaLinesInGbk) {
  const std::string body = text::Utf8ToGbk(
      "var hq_str_gds_AU9999=\"937.52,0,938.50,939.89,943.00,909.00,15:30:01,907.47,912.60,"
      "428852,20.00,9.00,2026-06-15,沪金99\";\n"
      "var hq_str_hf_XPD=\"\";\n");
  const auto quotes =
      live::ParseReply(LinesSource("hq_str_{code}"), body, {"gds_AU9999", "hf_XPD", "hf_XAU"});
  ASSERT_EQ(quotes.size(), 1u);
  const MarketQuote& quote = quotes.at("gds_AU9999");
  EXPECT_EQ(quote.last_cents, 93752);
  EXPECT_EQ(quote.bid_cents, 93850);
  EXPECT_EQ(quote.ask_cents, 93989);
  EXPECT_EQ(quote.high_cents, 94300);
  EXPECT_EQ(quote.low_cents, 90900);
  EXPECT_EQ(quote.previous_cents, 90747);
  EXPECT_EQ(quote.open_cents, 91260);
  EXPECT_EQ(quote.market_time, 1781508601);  // 2026-06-15 07:30:01 UTC
}

TEST(SourceReplyTest, TencentLinesRollBackAcrossMidnightIntoUtc) {
  const std::string body = text::Utf8ToGbk(
      "v_hf_XAG=\"50.10,0.5,50.08,50.12,51,49,02:43:00,50,50.2,0,0,0,2026-08-13,白银\";\n"
      "v_hf_XAU=\"4412.60,1.02,4412.60,4412.95,4441.07,4362.46,02:43:00,4368.00,4371.82,0,0,0,"
      "2026-08-13,伦敦金（现货黄金）\";");
  const auto quotes = live::ParseReply(LinesSource("v_{code}"), body, {"hf_XAU"});
  ASSERT_EQ(quotes.size(), 1u);
  EXPECT_EQ(quotes.at("hf_XAU").last_cents, 441260);
  EXPECT_EQ(quotes.at("hf_XAU").ask_cents, 441295);
  EXPECT_EQ(quotes.at("hf_XAU").market_time, 1786560180);  // 2026-08-12 18:43:00 UTC

  // The same time in another zone; a time without a date is left to the caller.
  SourceEntry elsewhere = LinesSource("v_{code}");
  elsewhere.zone_minutes = -330;
  EXPECT_EQ(live::ParseReply(elsewhere, body, {"hf_XAU"}).at("hf_XAU").market_time,
            1786560180 + (480 + 330) * 60);
  elsewhere.fields.pop_back();
  EXPECT_FALSE(live::ParseReply(elsewhere, body, {"hf_XAU"}).at("hf_XAU").market_time);
}

TEST(SourceReplyTest, EastMoneyJson) {
  const SourceEntry source = JsonSource({{Field::kLast, "data.f43"},
                                         {Field::kHigh, "data.f44"},
                                         {Field::kOpen, "data.f46"},
                                         {Field::kPrevious, "data.f60"},
                                         {Field::kEpoch, "data.f86"}});
  const std::string body =
      R"({"rc":0,"data":{"f43":902.01,"f44":"-","f46":900,"f57":"AU9999","f58":"黄金9999",)"
      R"("f60":"899","f86":1784728605,"f169":3.01,"f170":0.33}})";
  const auto quotes = live::ParseReply(source, body, {"118.AU9999"});
  ASSERT_EQ(quotes.size(), 1u);
  const MarketQuote& quote = quotes.at("118.AU9999");
  EXPECT_EQ(quote.last_cents, 90201);
  EXPECT_FALSE(quote.high_cents);  // "-": no value, the rest stays
  EXPECT_EQ(quote.open_cents, 90000);
  EXPECT_EQ(quote.previous_cents, 89900);
  EXPECT_EQ(quote.market_time, 1784728605);
}

TEST(SourceReplyTest, CngoldJsonInItsVariable) {
  SourceEntry source = JsonSource({{Field::kLast, "{code}.q63"},
                                   {Field::kOpen, "{code}.q1"},
                                   {Field::kEpochMs, "{code}.time"}});
  source.batch = 20;
  const std::string body =
      "var quote_json = {\"flag\":true,"
      "\"JO_42760\":{\"code\":\"JO_42760\",\"time\":1781508601999,\"q63\":935.6,\"q1\":930,"
      "\"unit\":\"元/克\"},"
      "\"JO_42757\":{\"code\":\"JO_42757\",\"time\":1781508601000,\"q63\":0,\"q1\":4400}};\n";
  const auto quotes = live::ParseReply(source, body, {"JO_42760", "JO_42757", "JO_1"});
  ASSERT_EQ(quotes.size(), 1u);  // a last price of 0 is no quote
  EXPECT_EQ(quotes.at("JO_42760").last_cents, 93560);
  EXPECT_EQ(quotes.at("JO_42760").open_cents, 93000);
  EXPECT_EQ(quotes.at("JO_42760").market_time, 1781508601);
}

TEST(SourceReplyTest, GoldApiIsoTimes) {
  const SourceEntry source = JsonSource({{Field::kLast, "price"}, {Field::kIso, "updatedAt"}});
  const auto at = [&](const std::string& iso) {
    const std::string body = R"({"currency":"USD","name":"Gold","price":4165.200195,)"
                             R"("symbol":"XAU","updatedAt":")" +
                             iso + R"("})";
    const auto quotes = live::ParseReply(source, body, {"XAU"});
    EXPECT_EQ(quotes.size(), 1u) << iso;
    if (quotes.empty()) return std::optional<std::int64_t>(-1);
    EXPECT_EQ(quotes.at("XAU").last_cents, 416520);
    return quotes.at("XAU").market_time;
  };
  constexpr std::int64_t kTime = 1783094934;  // 2026-07-03 16:08:54 UTC
  EXPECT_EQ(at("2026-07-03T16:08:54Z"), kTime);
  EXPECT_EQ(at("2026-07-04T00:08:54.250+08:00"), kTime);
  EXPECT_EQ(at("2026-07-03T10:38:54-0530"), kTime);
  EXPECT_EQ(at("2026-07-04T00:08:54"), kTime);  // no offset: the source's zone
  EXPECT_EQ(at("2024-02-29T00:00:00Z"), 1709164800);
  EXPECT_FALSE(at("2026-02-29T00:00:00Z"));
  EXPECT_FALSE(at("2026-07-03T24:00:00Z"));
  EXPECT_FALSE(at("2026-07-03T16:08:54+8"));
}

struct Price {
  const char* text;
  std::optional<std::int64_t> cents;  // nothing: no quote
};

void PrintTo(const Price& price, std::ostream* out) { *out << '"' << price.text << '"'; }

class PriceTest : public testing::TestWithParam<Price> {};

// Hundredths rounded half away from zero, by the digits written; broken numbers give nothing.
TEST_P(PriceTest, LinesAndJsonStringsAgree) {
  const Price& price = GetParam();
  SourceEntry lines = LinesSource("v_{code}", "utf-8");
  lines.fields = {{Field::kLast, "0"}};
  const auto from_lines =
      live::ParseReply(lines, std::string("v_x=\"") + price.text + ",1\";", {"x"});
  const auto from_json = live::ParseReply(JsonSource({{Field::kLast, "p"}}),
                                          std::string("{\"p\":\"") + price.text + "\"}", {"x"});
  for (const auto* quotes : {&from_lines, &from_json}) {
    if (price.cents) {
      ASSERT_EQ(quotes->size(), 1u) << price.text;
      EXPECT_EQ(quotes->at("x").last_cents, *price.cents) << price.text;
    } else {
      EXPECT_TRUE(quotes->empty()) << price.text;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rounding, PriceTest,
    testing::Values(Price{"937.525", 93753}, Price{"937.52499999", 93752}, Price{"0.005", 1},
                    Price{"0.0049", std::nullopt}, Price{" 12.5 ", 1250}, Price{"4165", 416500},
                    Price{"4.1652e3", 416520}, Price{"1000000000000", 100000000000000},
                    Price{"1000000000000.01", std::nullopt}, Price{"-1", std::nullopt},
                    Price{"+1", std::nullopt}, Price{"NaN", std::nullopt},
                    Price{"inf", std::nullopt}, Price{"1.2.3", std::nullopt},
                    Price{"1e99999999", std::nullopt}, Price{"", std::nullopt},
                    Price{".", std::nullopt}));

TEST(SourceReplyTest, JsonNumbersRoundByTheirShortestDigits) {
  const SourceEntry source = JsonSource({{Field::kLast, "p"}});
  EXPECT_EQ(live::ParseReply(source, R"({"p":937.525})", {"x"}).at("x").last_cents, 93753);
  EXPECT_EQ(live::ParseReply(source, R"({"p":1e3})", {"x"}).at("x").last_cents, 100000);
  EXPECT_TRUE(live::ParseReply(source, R"({"p":1e400})", {"x"}).empty());
  EXPECT_TRUE(live::ParseReply(source, R"({"p":-5})", {"x"}).empty());
  EXPECT_TRUE(live::ParseReply(source, R"({"p":true})", {"x"}).empty());
}

TEST(SourceReplyTest, GarbageGivesNoQuote) {
  const SourceEntry lines = LinesSource("hq_str_{code}");
  const SourceEntry json =
      JsonSource({{Field::kLast, "{code}.q63"}, {Field::kEpochMs, "{code}.time"}});
  for (const std::string& body :
       {std::string(), std::string("\0\xff\xfe", 3), std::string("var hq_str_hf_XAU=\"4412.60,1"),
        std::string("var hq_str_hf_XAU=\"4412.60\nvar b=\"1\";"),
        std::string("xhq_str_hf_XAU=\"4412.60\";"), std::string("var quote_json = "),
        std::string("var quote_json = {\"hf_XAU\":{\"q63\":4412.6"),
        std::string("{\"hf_XAU\":[1,2]}"), std::string(100000, '['), std::string("<html>")}) {
    EXPECT_TRUE(live::ParseReply(lines, body, {"hf_XAU"}).empty()) << body.substr(0, 40);
    EXPECT_TRUE(live::ParseReply(json, body, {"hf_XAU"}).empty()) << body.substr(0, 40);
  }
}

}  // namespace
