#include "alerts/price_alert.h"

#include <charconv>
#include <cmath>
#include <utility>

namespace alerts {
namespace {

bool SameValue(const std::optional<Level>& a, const std::optional<Level>& b) {
  return a && b && a->value == b->value;
}

}  // namespace

std::optional<Level> ParseLevel(std::string_view text) {
  int digits = 0;
  int stops = 0;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.') {
      ++stops;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0 || stops > 1) return std::nullopt;
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  if (error != std::errc() || ptr != end || !std::isfinite(value) || value <= 0) {
    return std::nullopt;
  }
  return Level{std::string(text), value};
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

std::string CrossingText(std::string_view buy_text, const Crossing& crossing) {
  return "买入价 " + std::string(buy_text) +
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
