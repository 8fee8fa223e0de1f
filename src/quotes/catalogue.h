#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quotes {

// Which shortcut image a product shows at the left of the panel.
enum class Shortcut { kIcbc, kCcb, kBoc, kOther };

struct Product {
  std::string_view code;          // canonical lower-case code
  std::string_view menu_item;     // objectName of the menu action
  std::string_view menu_text;     // what the menu item passes to PriceChange
  std::string_view display_name;  // tray tooltip name
  std::string_view short_label;   // caption of the PriceType label
  Shortcut shortcut;
};

// Row order is the lookup order and the order of the product menu items.
extern const std::array<Product, 17> kCatalogue;

// Exact, case-sensitive lookup of an already lower-cased code; first row first.
const Product* FindProduct(std::string_view lower_code);

// True when the text, in any letter case, is one of the seventeen codes.
bool IsKnownProductCode(std::string_view text);

// The stored product: empty or unknown codes fall back to the default, which must then be
// written back. A known code keeps its letter case.
struct StoredProduct {
  std::string code;
  bool write_default = false;
};
StoredProduct ReadStoredProduct(std::string_view stored);

}  // namespace quotes
