#include "server/price_book.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "quotes/catalogue.h"
#include "server/live/quote_detail.h"

namespace lumetta_server {
namespace {

enum Metal { kGold, kSilver, kPlatinum, kPalladium };

// Starting prices in US dollars per troy ounce, and the size of one step's move (relative).
constexpr std::array<double, 4> kStartPrice = {2330.0, 29.5, 980.0, 960.0};
constexpr std::array<double, 4> kStepSize = {0.0004, 0.0008, 0.0007, 0.0010};
// Fraction of the distance to the starting price that every step takes back, so the walk stays
// plausible over a long session.
constexpr double kPullBack = 0.002;

constexpr double kGramsPerOunce = 31.1034768;
constexpr double kGramsPerTael = 37.429;  // the Hong Kong gold market's unit
constexpr double kYuanPerDollar = 7.24;
constexpr double kHongKongDollarsPerDollar = 7.80;

enum class Unit { kDollarsPerOunce, kYuanPerGram, kHongKongDollarsPerTael };

// How the walk prices one product: in its metal, unit and currency, with its own premium and
// spread. Row for row with the product table.
struct Pricing {
  Metal metal;
  Unit unit;
  double premium;  // added to the converted metal price, in the product's unit
  double spread;   // sell minus buy, in the product's unit
};

constexpr std::array<Pricing, quotes::kCatalogue.size()> kPricing = {{
    {kGold, Unit::kYuanPerGram, 0.0, 0.70},              // rmb
    {kGold, Unit::kDollarsPerOunce, 0.0, 2.00},          // gold
    {kGold, Unit::kYuanPerGram, 0.10, 0.80},             // icbcrmbgold
    {kSilver, Unit::kYuanPerGram, 0.0, 0.12},            // icbcrmbsilver
    {kPlatinum, Unit::kYuanPerGram, 0.0, 4.00},          // icbcrmbplatinum
    {kGold, Unit::kDollarsPerOunce, 0.0, 3.00},          // icbcusdgold
    {kSilver, Unit::kDollarsPerOunce, 0.0, 0.40},        // icbcusdsilver
    {kPlatinum, Unit::kDollarsPerOunce, 0.0, 12.00},     // icbcusdplatinum
    {kGold, Unit::kYuanPerGram, -0.60, 0.80},            // ccbau9995
    {kGold, Unit::kYuanPerGram, -0.30, 0.80},            // ccbau9999
    {kGold, Unit::kYuanPerGram, 0.05, 0.80},             // bocrmb
    {kGold, Unit::kDollarsPerOunce, 0.0, 3.00},          // bocusd
    {kGold, Unit::kDollarsPerOunce, 0.0, 0.50},          // au
    {kGold, Unit::kHongKongDollarsPerTael, 0.0, 80.00},  // gt
    {kSilver, Unit::kDollarsPerOunce, 0.0, 0.04},        // ag
    {kPlatinum, Unit::kDollarsPerOunce, 0.0, 5.00},      // pt
    {kPalladium, Unit::kDollarsPerOunce, 0.0, 8.00},     // pa
}};
// A row left out would price its product at zero.
static_assert(std::all_of(kPricing.begin(), kPricing.end(),
                          [](const Pricing& row) { return row.spread > 0; }),
              "every product has its pricing");

double InUnit(double dollars_per_ounce, Unit unit) {
  switch (unit) {
    case Unit::kDollarsPerOunce:
      return dollars_per_ounce;
    case Unit::kYuanPerGram:
      return dollars_per_ounce * kYuanPerDollar / kGramsPerOunce;
    case Unit::kHongKongDollarsPerTael:
      // Hong Kong gold is of 990 fineness.
      return dollars_per_ounce * kHongKongDollarsPerDollar / kGramsPerOunce * kGramsPerTael * 0.99;
  }
  std::abort();
}

}  // namespace

PriceBook::PriceBook(std::uint64_t seed) : generator_(seed), metals_(kStartPrice) {}

void PriceBook::Advance(std::uint64_t steps) {
  for (std::uint64_t step = 0; step < steps; ++step) {
    for (size_t metal = 0; metal < metals_.size(); ++metal) {
      // 53 random bits give a uniform double in [0, 1) that is the same on every platform.
      const double uniform = std::ldexp(static_cast<double>(generator_() >> 11), -53);
      const double move = (2 * uniform - 1) * kStepSize[metal];
      metals_[metal] *= std::exp(move);
      metals_[metal] += kPullBack * (kStartPrice[metal] - metals_[metal]);
    }
  }
  steps_ += steps;
}

bool PriceBook::Drive(std::string_view code, std::int64_t buy_cents) {
  if (quotes::FindProduct(code) == nullptr) return false;
  driven_.insert_or_assign(std::string(code), buy_cents);
  return true;
}

std::optional<std::int64_t> ParseCents(std::string_view text) {
  const std::size_t stop = text.find('.');
  const std::string_view whole = text.substr(0, stop);
  const std::string_view fraction = stop == std::string_view::npos ? "" : text.substr(stop + 1);
  const auto digits = [](std::string_view part) {
    return std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (whole.empty() || whole.size() > 12 || fraction.size() > 2 || !digits(whole) ||
      !digits(fraction) || (stop != std::string_view::npos && fraction.empty())) {
    return std::nullopt;
  }
  std::int64_t cents = 0;
  std::from_chars(whole.data(), whole.data() + whole.size(), cents);
  cents *= 100;
  if (!fraction.empty()) cents += std::int64_t{10} * (fraction[0] - '0');
  if (fraction.size() == 2) cents += fraction[1] - '0';
  if (cents == 0) return std::nullopt;
  return cents;
}

std::vector<Quote> PriceBook::Quotes() const {
  std::vector<Quote> quotes;
  quotes.reserve(kPricing.size());
  for (std::size_t row = 0; row < kPricing.size(); ++row) {
    const Pricing& pricing = kPricing[row];
    const std::string_view code = quotes::kCatalogue[row].code;
    const double middle = InUnit(metals_[pricing.metal], pricing.unit) + pricing.premium;
    const auto spread_cents = std::max<std::int64_t>(1, std::llround(pricing.spread * 100));
    std::int64_t buy = std::llround(middle * 100) - spread_cents / 2;
    if (const auto driven = driven_.find(code); driven != driven_.end()) buy = driven->second;
    quotes.push_back({std::string(code), buy, buy + spread_cents});
  }
  return quotes;
}

std::string PriceBook::QuoteListText() const {
  std::string text;
  for (const Quote& quote : Quotes()) {
    text += quote.code;
    text += ',';
    text += live::CentsText(quote.buy_cents);
    text += ',';
    text += live::CentsText(quote.sell_cents);
    text += "\r\n";
  }
  return text;
}

}  // namespace lumetta_server
