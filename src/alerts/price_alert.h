#pragma once

// Price alerts: a level above and a level below the buy price, per product, each firing once
// when the price reaches it and again only after the price has gone back past it by a margin,
// so a price wavering on the line does not fire on every tick.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace alerts {

// Part of the level the price must go back past it before the level fires again.
inline constexpr double kRearmFraction = 0.001;

// The longest level: what the settings file and a notification can always keep whole.
inline constexpr std::size_t kMaxIntegerDigits = 10;
inline constexpr std::size_t kMaxDecimals = 4;

// A level as the person typed it, without leading zeros (a positive decimal number), and its
// value.
struct Level {
  std::string text;
  double value = 0;

  friend bool operator==(const Level&, const Level&) = default;
};

// A positive decimal number ("542", "542.30", ".5"): digits with at most one full stop, no
// sign, no exponent, no blanks, above zero, at most kMaxIntegerDigits before the full stop
// once leading zeros are dropped ("0012.5" reads as "12.5", "00.5" as "0.5") and
// kMaxDecimals after it. Read without the C locale. Both a typed level and a quoted buy price
// are read so.
std::optional<Level> ParseLevel(std::string_view text);

// The levels of one product; at least one is set for an alert to exist.
struct Levels {
  std::optional<Level> above;
  std::optional<Level> below;

  bool Empty() const { return !above && !below; }
  // The set levels' values, the one above first.
  std::vector<double> Values() const;
  friend bool operator==(const Levels&, const Levels&) = default;
};

// The stored form `<above>,<below>`, either side empty. nullopt for anything that does not
// read back as two optional levels, and for a value with neither level.
std::optional<Levels> ParseStored(std::string_view stored);
std::string StoredText(const Levels& levels);

// What the person typed into the two fields (blanks around them already removed). Each empty
// field leaves its side unset; a field that is not a positive decimal number is refused.
struct LevelInput {
  Levels levels;
  bool above_refused = false;
  bool below_refused = false;

  bool Accepted() const { return !above_refused && !below_refused; }
};
LevelInput ReadLevelInput(std::string_view above, std::string_view below);

enum class Direction { kAbove, kBelow };

struct Crossing {
  Direction direction;
  Level level;

  friend bool operator==(const Crossing&, const Crossing&) = default;
};

// The text a notification carries for a crossing, UTF-8: "买入价 542.30 已高于 542.00". The
// buy price is the one ParseLevel read, so the text stays short whatever the server sent.
std::string CrossingText(const Level& buy, const Crossing& crossing);

// The alerts of every product and whether each level may fire.
class AlertBook {
 public:
  // Sets or replaces a product's levels. A new or changed level starts armed, so a level the
  // price is already past fires on the next quote; a level of the same value as before keeps
  // its state. Empty levels clear the product's alert.
  void Set(const std::string& code, const Levels& levels);
  void Clear(const std::string& code);
  // The product's levels, nullptr when it has no alert.
  const Levels* Find(const std::string& code) const;

  // One quote of a product: the levels it fires, above first.
  std::vector<Crossing> OnQuote(const std::string& code, double buy_price);

 private:
  struct Entry {
    Levels levels;
    bool above_armed = true;
    bool below_armed = true;
  };
  std::map<std::string, Entry> entries_;
};

}  // namespace alerts
