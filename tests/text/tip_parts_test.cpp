#include "text/tip_parts.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace Tray {
namespace {

constexpr const char* kQuote = "\r\n   [现货黄金]   \r\n\r\n   买入价:2330.50   \r\n";
constexpr const char* kAlert = "\r\n   买入价 2330.50 已高于 2330.00";
constexpr const char* kStale = "行情暂停更新 (最后报价 09:30:05)";
constexpr const char* kSource = "来源 新浪财经 hf_XAU";

struct Case {
  const char* what;
  std::vector<std::pair<TipPart, std::string>> parts;
  std::string tip;
};

// Whatever combination of writers has set its part, the tip reads top to bottom: stale
// sign, crossed levels, quote, source, each on its own line, and the no-server line alone.
TEST(ComposeTipTest, PartsFollowEachOtherInOrderOnLinesOfTheirOwn) {
  const std::string quote = kQuote;
  const std::string alert = kAlert;
  const std::string stale = kStale;
  const std::string source = kSource;
  const Case cases[] = {
      {"first tip", {{TipPart::kQuote, "Lumetta v1.0"}}, "Lumetta v1.0"},
      {"nothing", {}, ""},
      {"quote", {{TipPart::kQuote, quote}}, quote},
      {"stale over the first tip",
       {{TipPart::kQuote, "Lumetta v1.0"}, {TipPart::kStale, stale}},
       stale + "\r\nLumetta v1.0"},
      {"stale over a quote", {{TipPart::kQuote, quote}, {TipPart::kStale, stale}}, stale + quote},
      {"alert over a quote", {{TipPart::kAlert, alert}, {TipPart::kQuote, quote}}, alert + quote},
      {"alert over the first tip",
       {{TipPart::kQuote, "Lumetta v1.0"}, {TipPart::kAlert, alert}},
       alert + "\r\nLumetta v1.0"},
      {"all three, set bottom up",
       {{TipPart::kQuote, quote}, {TipPart::kAlert, alert}, {TipPart::kStale, stale}},
       stale + alert + quote},
      {"source under the quote",
       {{TipPart::kSource, source}, {TipPart::kQuote, quote}},
       quote + "\r\n" + source},
      {"source under the first tip",
       {{TipPart::kSource, source}, {TipPart::kQuote, "Lumetta v1.0"}},
       "Lumetta v1.0\r\n" + source},
      {"all four",
       {{TipPart::kSource, source},
        {TipPart::kQuote, quote},
        {TipPart::kAlert, alert},
        {TipPart::kStale, stale}},
       stale + alert + quote + "\r\n" + source},
      {"no server stands alone",
       {{TipPart::kQuote, quote},
        {TipPart::kAlert, alert},
        {TipPart::kSource, source},
        {TipPart::kNoServer, "无法连接"}},
       "无法连接"},
      {"a cleared part leaves no gap",
       {{TipPart::kStale, stale}, {TipPart::kAlert, alert}, {TipPart::kStale, ""}},
       alert},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TipParts parts;
    for (const auto& [part, text] : c.parts) parts[part] = text;
    EXPECT_EQ(ComposeTip(parts), c.tip);
  }
}

}  // namespace
}  // namespace Tray
