#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace lumetta_server {

// One product's quote in hundredths of its unit, so the texts always carry exactly two decimals.
struct Quote {
  std::string code;
  std::int64_t buy_cents = 0;
  std::int64_t sell_cents = 0;
};

// The 17 products' prices as a seeded random walk. Four metals (gold, silver, platinum,
// palladium in US dollars per troy ounce) wander with a pull back to their starting level; every
// product is derived from its metal in its own unit and currency, with its own spread. The same
// seed and the same number of steps always give the same prices.
class PriceBook {
 public:
  explicit PriceBook(std::uint64_t seed);

  void Advance(std::uint64_t steps = 1);
  std::uint64_t steps() const { return steps_; }

  // Holds a product's buy price at `buy_cents` (its sell price at its usual spread above) until
  // it is driven again, whatever the walk does; false for a code that is not in the book.
  bool Drive(std::string_view code, std::int64_t buy_cents);

  std::vector<Quote> Quotes() const;
  // "code,buy,sell" per product in catalogue order, each line ending in CR LF; plain ASCII.
  std::string QuoteListText() const;

 private:
  std::mt19937_64 generator_;
  std::array<double, 4> metals_;
  std::uint64_t steps_ = 0;
  std::map<std::string, std::int64_t, std::less<>> driven_;
};

// A price text of at most two decimals ("542.3", "542.30", "542") in hundredths; nullopt for
// anything else, zero and signs included.
std::optional<std::int64_t> ParseCents(std::string_view text);

}  // namespace lumetta_server
