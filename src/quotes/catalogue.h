#pragma once

// The 17 products: the one table that the panel, its menu and the bundled server all read.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quotes {

// Who issues the product. The product menu groups the rows by it, in table order, with a
// separator between two groups.
enum class Bank { kMaker, kIcbc, kCcb, kBoc, kMarket };

// Which shortcut image a product shows at the left of the panel: its bank's, or the maker's
// site for the maker's own products and the market's.
enum class Shortcut { kIcbc, kCcb, kBoc, kOther };

struct Product {
  std::string_view code;          // canonical lower-case code
  std::string_view menu_item;     // objectName of the menu action
  std::string_view menu_text;     // what the menu item passes to PriceChange
  std::string_view display_name;  // the tray tip's name, also the menu item's caption
  std::string_view short_label;   // caption of the PriceType label
  Bank bank;
};

// Row order is the lookup order and the order of the product menu items.
// U+FFE5 (full-width yen) and U+FF04 (full-width dollar) mark RMB and USD products.
inline constexpr std::array<Product, 17> kCatalogue = {{
    {"rmb", "Menu_RMB", "RMB", "Zentrova人民币黄金", "￥纸黄金", Bank::kMaker},
    {"gold", "Menu_GOLD", "GOLD", "Zentrova美元黄金", "＄纸黄金", Bank::kMaker},
    {"icbcrmbgold", "Menu_ICBC_RMB_GOLD", "ICBCRMBGOLD", "工商银行人民币黄金", "￥纸黄金",
     Bank::kIcbc},
    {"icbcrmbsilver", "Menu_ICBC_RMB_SILVER", "ICBCRMBSILVER", "工商银行人民币白银", "￥纸白银",
     Bank::kIcbc},
    {"icbcrmbplatinum", "Menu_ICBC_RMB_PLATINUM", "ICBCRMBPLATINUM", "工商银行人民币铂金",
     "￥纸铂金", Bank::kIcbc},
    {"icbcusdgold", "Menu_ICBC_USD_GOLD", "ICBCUSDGOLD", "工商银行美元黄金", "＄纸黄金",
     Bank::kIcbc},
    {"icbcusdsilver", "Menu_ICBC_USD_SILVER", "ICBCUSDSILVER", "工商银行美元白银", "＄纸白银",
     Bank::kIcbc},
    {"icbcusdplatinum", "Menu_ICBC_USD_PLATINUM", "ICBCUSDPLATINUM", "工商银行美元铂金", "＄纸铂金",
     Bank::kIcbc},
    {"ccbau9995", "Menu_CCB_AU9995", "CCBAU9995", "建设银行AU9995", "AU9995", Bank::kCcb},
    {"ccbau9999", "Menu_CCB_AU9999", "CCBAU9999", "建设银行AU9999", "AU9999", Bank::kCcb},
    {"bocrmb", "Menu_BOC_RMB_GOLD", "BOCRMB", "中国银行人民币黄金", "￥纸黄金", Bank::kBoc},
    {"bocusd", "Menu_BOC_USD_GOLD", "BOCUSD", "中国银行美元黄金", "＄纸黄金", Bank::kBoc},
    {"au", "Menu_AU", "AU", "现货黄金", "现货黄金", Bank::kMarket},
    {"gt", "Menu_GT", "GT", "香港黄金", "香港黄金", Bank::kMarket},
    {"ag", "Menu_AG", "AG", "现货白银", "现货白银", Bank::kMarket},
    {"pt", "Menu_PT", "PT", "现货铂金", "现货铂金", Bank::kMarket},
    {"pa", "Menu_PA", "PA", "现货钯金", "现货钯金", Bank::kMarket},
}};

constexpr Shortcut ShortcutOf(Bank bank) {
  switch (bank) {
    case Bank::kIcbc:
      return Shortcut::kIcbc;
    case Bank::kCcb:
      return Shortcut::kCcb;
    case Bank::kBoc:
      return Shortcut::kBoc;
    case Bank::kMaker:
    case Bank::kMarket:
      break;
  }
  return Shortcut::kOther;
}

// How many groups of the product menu the table makes (a new bank starts a new group).
constexpr std::size_t CountBankGroups() {
  std::size_t groups = 0;
  for (std::size_t i = 0; i < kCatalogue.size(); ++i) {
    if (i == 0 || kCatalogue[i].bank != kCatalogue[i - 1].bank) ++groups;
  }
  return groups;
}

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
