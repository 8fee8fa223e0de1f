#include "quotes/catalogue.h"

#include <algorithm>

#include "settings/settings_schema.h"
#include "text/ascii_case.h"

namespace quotes {

const Product* FindProduct(std::string_view lower_code) {
  const auto* it = std::find_if(kCatalogue.begin(), kCatalogue.end(),
                                [&](const Product& p) { return p.code == lower_code; });
  return it == kCatalogue.end() ? nullptr : &*it;
}

bool IsKnownProductCode(std::string_view text) {
  return FindProduct(text::AsciiLower(text)) != nullptr;
}

StoredProduct ReadStoredProduct(std::string_view stored) {
  if (stored.empty() || !IsKnownProductCode(stored)) {
    return {std::string(settings::RuleOf(settings::Key::kPriceType).fallback), true};
  }
  return {std::string(stored), false};
}

}  // namespace quotes
