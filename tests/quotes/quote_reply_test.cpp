#include "quotes/quote_reply.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "quotes/catalogue.h"
#include "text/ascii_case.h"

namespace quotes {

void PrintTo(const QuoteUpdate& u, std::ostream* os) {
  *os << "{caption=\"" << u.caption << "\" record=\"" << u.record << "\" trend=";
  if (u.trend) {
    *os << static_cast<int>(*u.trend);
  } else {
    *os << "none";
  }
  *os << " tooltip=" << (u.tooltip ? testing::PrintToString(*u.tooltip) : "none") << "}";
}

namespace {

std::string NameOf(std::string_view code) {
  const Product* product = FindProduct(text::AsciiLower(code));
  return product == nullptr ? std::string() : std::string(product->display_name);
}

std::optional<QuoteUpdate> Apply(std::string_view reply, std::string_view selected,
                                 std::string_view previous) {
  return ApplyQuoteReply(reply, selected, previous, NameOf(selected));
}

TEST(ApplyQuoteReplyTest, RmbSequenceFromStartUpRisesFallsAndStaysFlat) {
  // First quote after start-up: caption and record only.
  auto first = Apply("rmb,270.50,271.10\r\n", "rmb", "");
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->caption, "买入:270.50 卖出:271.10");
  EXPECT_EQ(first->record, "rmb|270.50|271.10");
  EXPECT_FALSE(first->trend.has_value());
  EXPECT_FALSE(first->tooltip.has_value());

  // Second quote, code in upper case: compared, rise, tooltip, record keeps the sent case.
  auto second = Apply("RMB,270.60,271.20\r\n", "rmb", first->record);
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->caption, "买入:270.60 卖出:271.20");
  EXPECT_EQ(second->record, "RMB|270.60|271.20");
  EXPECT_EQ(second->trend, Trend::kRise);
  EXPECT_EQ(second->tooltip,
            "\r\n   [Zentrova人民币黄金]   \r\n\r\n   买入价:270.60   \r\n\r\n"
            "   卖出价:271.20   \r\n");

  auto third = Apply("rmb,270.40,271.00\r\n", "RMB", second->record);
  ASSERT_TRUE(third.has_value());
  EXPECT_EQ(third->trend, Trend::kFall);
  EXPECT_EQ(third->record, "rmb|270.40|271.00");

  // Only the buy price counts: a new sell price alone is flat.
  auto fourth = Apply("rmb,270.40,299.99\r\n", "rmb", third->record);
  ASSERT_TRUE(fourth.has_value());
  EXPECT_EQ(fourth->trend, Trend::kFlat);
  EXPECT_EQ(fourth->caption, "买入:270.40 卖出:299.99");
}

TEST(ApplyQuoteReplyTest, BuyTextsEqualInSinglePrecisionAreFlat) {
  struct Case {
    const char* previous;
    const char* reply;
    Trend expected;
  };
  const Case cases[] = {
      {"rmb|270.5|1", "rmb,270.50,1\r\n", Trend::kFlat},
      {"rmb|270.50|1", "rmb,270.5,1\r\n", Trend::kFlat},
      // Differ as doubles, equal as floats (the float step near 270 is about 3e-5).
      {"rmb|270.5|1", "rmb,270.500001,1\r\n", Trend::kFlat},
      {"rmb|270.5|1", "rmb,270.5001,1\r\n", Trend::kRise},
      {"rmb|1300|1", "rmb,999.99,1\r\n", Trend::kFall},
      // Compared as numbers, not as text ("9" > "10" as text).
      {"rmb|9|1", "rmb,10,1\r\n", Trend::kRise},
      {"rmb|-1.5|1", "rmb,-2,1\r\n", Trend::kFall},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.previous) + " -> " + c.reply);
    auto update = Apply(c.reply, "rmb", c.previous);
    ASSERT_TRUE(update.has_value());
    EXPECT_EQ(update->trend, c.expected);
    EXPECT_TRUE(update->tooltip.has_value());
  }
}

TEST(ApplyQuoteReplyTest, RepliesThatChangeNothing) {
  const char* const replies[] = {
      "",
      "rmb,270.50,271.10",                             // one line without a line end
      "rmb,270.50,271.10\n",                           // LF alone is no line end
      "rmb,270.50,271.10\r",                           // nor CR alone
      "rmb,270.50,271.10,x\r\nrmb,270.50,271.10\r\n",  // four fields hide the product
      "\r\nrmb,270.50,271.10\r\n",                     // empty first line
      "no comma here\r\nrmb,270.50,271.10\r\n",        // first line without a comma
      "gold,1,2\r\nrmb,1\r\nrmb,270.50,271.10\r\n",    // two fields on the second line
      "gold,1,2\r\nag,3,4\r\n",                        // the product is not in the list
      "rmb,270,50,271,10\r\n",                         // decimal commas make five fields
      "\r\n",
  };
  for (const char* reply : replies) {
    SCOPED_TRACE(testing::PrintToString(std::string(reply)));
    EXPECT_FALSE(Apply(reply, "rmb", "rmb|270.00|271.00").has_value());
  }
}

TEST(ApplyQuoteReplyTest, ProcessingStopsAtTheFirstMalformedLine) {
  // The product's first line counts; the one after the malformed line is never read.
  auto update = Apply("rmb,270.50,271.10\r\nbroken\r\nrmb,280.00,281.00\r\n", "rmb", "");
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->record, "rmb|270.50|271.10");

  update = Apply("rmb,270.50,271.10\r\n\r\nrmb,280.00,281.00\r\n", "rmb", "");
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->record, "rmb|270.50|271.10");

  // Without a final line end the last line is still a line.
  update = Apply("gold,1,2\r\nrmb,270.50,271.10", "rmb", "");
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->record, "rmb|270.50|271.10");

  // Fields are not trimmed.
  update = Apply("rmb, 270.50 ,271.10 \r\n", "rmb", "");
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->caption, "买入: 270.50  卖出:271.10 ");
  EXPECT_EQ(update->record, "rmb| 270.50 |271.10 ");
}

TEST(ApplyQuoteReplyTest, SecondLineForTheProductIsComparedWithTheFirst) {
  // Previous record empty: the second line still has the first to compare with.
  auto update = Apply("rmb,270.50,271.10\r\ngold,1,2\r\nRmb,270.40,271.00\r\n", "rmb", "");
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->caption, "买入:270.40 卖出:271.00");
  EXPECT_EQ(update->record, "Rmb|270.40|271.00");
  EXPECT_EQ(update->trend, Trend::kFall);
  EXPECT_EQ(update->tooltip,
            "\r\n   [Zentrova人民币黄金]   \r\n\r\n   买入价:270.40   \r\n\r\n"
            "   卖出价:271.00   \r\n");

  // With a previous record the first line rises against it, the second is flat against the
  // first: the final state shows the last comparison.
  update = Apply("rmb,270.50,271.10\r\nrmb,270.5,272\r\n", "rmb", "rmb|200|201");
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->trend, Trend::kFlat);
  EXPECT_EQ(update->record, "rmb|270.5|272");

  // What the alerts hear is the last line's code and buy text as received, never re-read from
  // the record: a '|' inside a field stays in that field.
  update = Apply("RMB,270.50,271.10\r\nRmb,27|0.40,271.00\r\ngold,1,2\r\n", "rmb", "");
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->code, "Rmb");
  EXPECT_EQ(update->buy, "27|0.40");
}

TEST(ApplyQuoteReplyTest, ProductSwitchAndPreviousRecordsThatAreNotCompared) {
  const std::string reply = "rmb,270.50,271.10\r\ngold,1290.10,1291.00\r\n";
  // First gold quote after rmb: caption and record, no marks, no tooltip.
  auto first = Apply(reply, "gold", "rmb|270.40|271.00");
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->caption, "买入:1290.10 卖出:1291.00");
  EXPECT_EQ(first->record, "gold|1290.10|1291.00");
  EXPECT_FALSE(first->trend.has_value());
  EXPECT_FALSE(first->tooltip.has_value());

  auto second = Apply("rmb,270.50,271.10\r\ngold,1290.00,1291.00\r\n", "gold", first->record);
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->trend, Trend::kFall);
  EXPECT_EQ(second->tooltip,
            "\r\n   [Zentrova美元黄金]   \r\n\r\n   买入价:1290.00   \r\n\r\n"
            "   卖出价:1291.00   \r\n");

  // Records that do not split into exactly three parts are replaced without a comparison.
  for (const char* previous : {"gold|1290.10", "gold|1290.10|1291.00|x", "gold", "||"}) {
    SCOPED_TRACE(previous);
    auto update = Apply(reply, "gold", previous);
    ASSERT_TRUE(update.has_value());
    EXPECT_FALSE(update->trend.has_value());
    EXPECT_FALSE(update->tooltip.has_value());
    EXPECT_EQ(update->record, "gold|1290.10|1291.00");
  }
}

TEST(ApplyQuoteReplyTest, CodeUnknownToTheCatalogueButSentByTheServer) {
  // GetPriceType gives empty text for such a code: the brackets are empty.
  ASSERT_EQ(NameOf("xau"), "");
  auto update = Apply("XAU,2300.1,2301.2\r\n", "xau", "xau|2300.0|2301.0");
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->trend, Trend::kRise);
  EXPECT_EQ(update->tooltip,
            "\r\n   []   \r\n\r\n   买入价:2300.1   \r\n\r\n   卖出价:2301.2   \r\n");
}

TEST(ApplyQuoteReplyTest, BuyTextThatIsNotANumberSkipsOnlyTheComparison) {
  // Previous or new buy text not a number: caption and record as usual, marks and tip kept.
  struct Case {
    const char* previous;
    const char* reply;
  };
  const Case cases[] = {
      {"rmb|abc|1", "rmb,270.5,1\r\n"},    {"rmb|270.5|1", "rmb,270.5x,1\r\n"},
      {"rmb|270.5|1", "rmb,+270.5,1\r\n"}, {"rmb|270.5|1", "rmb, 270.5,1\r\n"},
      {"rmb|270.5|1", "rmb,,1\r\n"},       {"rmb||1", "rmb,270.5,1\r\n"},
      {"rmb|270.5|1", "rmb,nan,1\r\n"},    {"rmb|270.5|1", "rmb,inf,1\r\n"},
      {"rmb|270.5|1", "rmb,1e99,1\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.previous) + " -> " + c.reply);
    auto update = Apply(c.reply, "rmb", c.previous);
    ASSERT_TRUE(update.has_value());
    EXPECT_FALSE(update->trend.has_value());
    EXPECT_FALSE(update->tooltip.has_value());
    EXPECT_EQ(update->record.substr(0, 4), "rmb|");
  }

  // A later unreadable line does not undo the comparison an earlier line made.
  auto update = Apply("rmb,270.60,271\r\nrmb,n/a,272\r\n", "rmb", "rmb|270.50|271");
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->caption, "买入:n/a 卖出:272");
  EXPECT_EQ(update->record, "rmb|n/a|272");
  EXPECT_EQ(update->trend, Trend::kRise);
  EXPECT_EQ(update->tooltip,
            "\r\n   [Zentrova人民币黄金]   \r\n\r\n   买入价:270.60   \r\n\r\n"
            "   卖出价:271   \r\n");
}

TEST(ParseBuyPriceTest, WholeTextMustBeAFiniteNumber) {
  EXPECT_EQ(ParseBuyPrice("270.50"), 270.5F);
  EXPECT_EQ(ParseBuyPrice("-0.25"), -0.25F);
  EXPECT_EQ(ParseBuyPrice("1300"), 1300.0F);
  for (const char* text : {"", " 1", "1 ", "+1", "1,5", "0x10", "1.5.2", "nan", "-inf", "1e39"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseBuyPrice(text).has_value());
  }
}

// Makes a locale with a decimal comma current for the test's duration. The build machines
// carry no such locale, so one is compiled into the test's temporary folder when needed.
class CommaLocale {
 public:
  CommaLocale() {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) {
      active_ = true;
      return;
    }
    const std::filesystem::path dir =
        std::filesystem::path(testing::TempDir()) / "lumetta_comma_locale";
    std::filesystem::create_directories(dir);
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) == -1) return;
    setenv("LOCPATH", dir.c_str(), 1);
    active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
  }
  ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  bool active() const { return active_; }

 private:
  bool active_ = false;
};

TEST(ParseBuyPriceTest, IgnoresADecimalCommaLocale) {
  CommaLocale locale;
  ASSERT_TRUE(locale.active()) << "could not make a de_DE.UTF-8 locale";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  // The C library now reads "270,5" as a number and stops at the full stop...
  EXPECT_EQ(std::strtof("270,5", nullptr), 270.5F);
  EXPECT_EQ(std::strtof("270.9", nullptr), 270.0F);
  // ...while the quote rules still read full stops only.
  EXPECT_EQ(ParseBuyPrice("270.50"), 270.5F);
  EXPECT_FALSE(ParseBuyPrice("270,50").has_value());
  auto update = Apply("rmb,270.9,271\r\n", "rmb", "rmb|270.1|271");
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->trend, Trend::kRise);
}

}  // namespace
}  // namespace quotes
