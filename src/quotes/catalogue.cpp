#include "quotes/catalogue.h"

#include <algorithm>

#include "settings/settings_schema.h"
#include "text/ascii_case.h"

namespace quotes {

// U+FFE5 (full-width yen) and U+FF04 (full-width dollar) mark RMB and USD products.
const std::array<Product, 17> kCatalogue = {{
    {"rmb", "Menu_RMB", "RMB", "Zentrova人民币黄金", "￥纸黄金", Shortcut::kOther},
    {"gold", "Menu_GOLD", "GOLD", "Zentrova美元黄金", "＄纸黄金", Shortcut::kOther},
    {"icbcrmbgold", "Menu_ICBC_RMB_GOLD", "ICBCRMBGOLD", "工商银行人民币黄金", "￥纸黄金",
     Shortcut::kIcbc},
    {"icbcrmbsilver", "Menu_ICBC_RMB_SILVER", "ICBCRMBSILVER", "工商银行人民币白银", "￥纸白银",
     Shortcut::kIcbc},
    {"icbcrmbplatinum", "Menu_ICBC_RMB_PLATINUM", "ICBCRMBPLATINUM", "工商银行人民币铂金",
     "￥纸铂金", Shortcut::kIcbc},
    {"icbcusdgold", "Menu_ICBC_USD_GOLD", "ICBCUSDGOLD", "工商银行美元黄金", "＄纸黄金",
     Shortcut::kIcbc},
    {"icbcusdsilver", "Menu_ICBC_USD_SILVER", "ICBCUSDSILVER", "工商银行美元白银", "＄纸白银",
     Shortcut::kIcbc},
    {"icbcusdplatinum", "Menu_ICBC_USD_PLATINUM", "ICBCUSDPLATINUM", "工商银行美元铂金", "＄纸铂金",
     Shortcut::kIcbc},
    {"ccbau9995", "Menu_CCB_AU9995", "CCBAU9995", "建设银行AU9995", "AU9995", Shortcut::kCcb},
    {"ccbau9999", "Menu_CCB_AU9999", "CCBAU9999", "建设银行AU9999", "AU9999", Shortcut::kCcb},
    {"bocrmb", "Menu_BOC_RMB_GOLD", "BOCRMB", "中国银行人民币黄金", "￥纸黄金", Shortcut::kBoc},
    {"bocusd", "Menu_BOC_USD_GOLD", "BOCUSD", "中国银行美元黄金", "＄纸黄金", Shortcut::kBoc},
    {"au", "Menu_AU", "AU", "现货黄金", "现货黄金", Shortcut::kOther},
    {"gt", "Menu_GT", "GT", "香港黄金", "香港黄金", Shortcut::kOther},
    {"ag", "Menu_AG", "AG", "现货白银", "现货白银", Shortcut::kOther},
    {"pt", "Menu_PT", "PT", "现货铂金", "现货铂金", Shortcut::kOther},
    {"pa", "Menu_PA", "PA", "现货钯金", "现货钯金", Shortcut::kOther},
}};

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
