#include "server/price_book.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using lumetta_server::PriceBook;
using lumetta_server::Quote;

TEST(PriceBookTest, TheSameSeedAndStepsGiveTheSamePrices) {
  PriceBook one(7);
  PriceBook two(7);
  PriceBook other(8);
  one.Advance(50);
  for (int step = 0; step < 50; ++step) two.Advance();
  other.Advance(50);
  EXPECT_EQ(one.QuoteListText(), two.QuoteListText());
  EXPECT_NE(one.QuoteListText(), other.QuoteListText());
  EXPECT_EQ(one.steps(), 50u);
}

TEST(PriceBookTest, ALongWalkStaysPlausible) {
  PriceBook book(12345);
  const std::vector<Quote> start = book.Quotes();
  std::vector<bool> moved(start.size(), false);
  // Some thirty hours of steps of 1.5 s.
  for (int hour = 0; hour < 30; ++hour) {
    book.Advance(2400);
    const std::vector<Quote> now = book.Quotes();
    ASSERT_EQ(now.size(), start.size());
    for (size_t index = 0; index < now.size(); ++index) {
      EXPECT_LT(now[index].buy_cents, now[index].sell_cents) << now[index].code;
      // Within a fifth of where the product started: a pull back keeps the walk near its level.
      EXPECT_GT(now[index].buy_cents, start[index].buy_cents * 4 / 5) << now[index].code;
      EXPECT_LT(now[index].buy_cents, start[index].buy_cents * 6 / 5) << now[index].code;
      if (now[index].buy_cents != start[index].buy_cents) moved[index] = true;
    }
  }
  for (size_t index = 0; index < moved.size(); ++index) {
    EXPECT_TRUE(moved[index]) << start[index].code;
  }
}

}  // namespace
