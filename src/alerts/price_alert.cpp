#include "alerts/price_alert.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace alerts {

std::vector<double> Levels::Values() const {
  std::vector<double> values;
  if (above) values.push_back(above->value);
  if (below) values.push_back(below->value);
  return values;
}
namespace {

bool SameValue(const std::optional<Level>& a, const std::optional<Level>& b) {
  return a && b && a->value == b->value;
}

}  // namespace

std::optional<Level> ParseLevel(std::string_view text) {
  const std::size_t stop = text.find('.');
  const std::string_view integer = text.substr(0, stop);
  const std::string_view decimals =
      stop == std::string_view::npos ? std::string_view() : text.substr(stop + 1);
  const auto all_digits = [](std::string_view part) {
    return std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  // A second full stop is not a digit of the decimals.
  if (!all_digits(integer) || !all_digits(decimals)) return std::nullopt;
  if (integer.empty() && decimals.empty()) return std::nullopt;
  // Leading zeros say nothing and are dropped; one is kept before the full stop as typed.
  const std::size_t first = integer.find_first_not_of('0');
  std::string normal(first == std::string_view::npos ? integer.substr(0, 1)
                                                     : integer.substr(first));
  if (normal.size() > kMaxIntegerDigits || decimals.size() > kMaxDecimals) return std::nullopt;
  if (stop != std::string_view::npos) normal.append(".").append(decimals);
  double value = 0;
  const char* end = normal.data() + normal.size();
  const auto [ptr, error] = std::from_chars(normal.data(), end, value, std::chars_format::fixed);
  if (error != std::errc() || ptr != end || value <= 0) return std::nullopt;
  return Level{std::move(normal), value};
}

LevelInput ReadLevelInput(std::string_view above, std::string_view below) {
  LevelInput input;
  if (!above.empty()) {
    input.levels.above = ParseLevel(above);
    input.above_refused = !input.levels.above;
  }
  if (!below.empty()) {
    input.levels.below = ParseLevel(below);
    input.below_refused = !input.levels.below;
  }
  return input;
}

std::optional<Levels> ParseStored(std::string_view stored) {
  const std::size_t comma = stored.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  Levels levels;
  const std::string_view sides[] = {stored.substr(0, comma), stored.substr(comma + 1)};
  std::optional<Level>* targets[] = {&levels.above, &levels.below};
  for (int i = 0; i < 2; ++i) {
    if (sides[i].empty()) continue;
    *targets[i] = ParseLevel(sides[i]);
    if (!*targets[i]) return std::nullopt;
  }
  if (levels.Empty()) return std::nullopt;
  return levels;
}

std::string StoredText(const Levels& levels) {
  return (levels.above ? levels.above->text : "") + "," + (levels.below ? levels.below->text : "");
}

std::string CrossingText(const Level& buy, const Crossing& crossing) {
  return "买入价 " + buy.text +
         (crossing.direction == Direction::kAbove ? " 已高于 " : " 已低于 ") + crossing.level.text;
}

void AlertBook::Set(const std::string& code, const Levels& levels) {
  if (levels.Empty()) {
    Clear(code);
    return;
  }
  Entry entry{levels};
  // A level the person left as it was keeps its state: pressing OK again, or adding the other
  // side, must not make a level that already fired fire again where the price has not moved.
  if (const auto found = entries_.find(code); found != entries_.end()) {
    const Entry& old = found->second;
    if (SameValue(old.levels.above, levels.above)) entry.above_armed = old.above_armed;
    if (SameValue(old.levels.below, levels.below)) entry.below_armed = old.below_armed;
  }
  entries_[code] = std::move(entry);
}

void AlertBook::Clear(const std::string& code) { entries_.erase(code); }

const Levels* AlertBook::Find(const std::string& code) const {
  const auto found = entries_.find(code);
  return found == entries_.end() ? nullptr : &found->second.levels;
}

std::vector<Crossing> AlertBook::OnQuote(const std::string& code, double buy_price) {
  std::vector<Crossing> crossings;
  const auto found = entries_.find(code);
  if (found == entries_.end()) return crossings;
  Entry& entry = found->second;
  if (const auto& above = entry.levels.above) {
    const double rearm_at = above->value * (1 - kRearmFraction);
    if (entry.above_armed && buy_price >= above->value) {
      entry.above_armed = false;
      crossings.push_back({Direction::kAbove, *above});
    } else if (!entry.above_armed && buy_price <= rearm_at) {
      entry.above_armed = true;
    }
  }
  if (const auto& below = entry.levels.below) {
    const double rearm_at = below->value * (1 + kRearmFraction);
    if (entry.below_armed && buy_price <= below->value) {
      entry.below_armed = false;
      crossings.push_back({Direction::kBelow, *below});
    } else if (!entry.below_armed && buy_price >= rearm_at) {
      entry.below_armed = true;
    }
  }
  return crossings;
}

}  // namespace alerts
