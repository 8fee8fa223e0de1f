#pragma once

// The context menu tree in display order, with the marks the items carry when it is created.
// The product submenu is made from the product table.

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "quotes/catalogue.h"

namespace shell {

enum class MenuKind { kRoot, kCommand, kToggle, kSubmenu, kChoice, kSeparator };

struct MenuRow {
  int level;
  std::string_view name;
  std::string_view caption;
  MenuKind kind;
  bool checked;
};

namespace menu_rows {

inline constexpr std::array<MenuRow, 14> kBeforeProducts = {{
    {0, "Menu_Menu", "系统菜单", MenuKind::kRoot, false},
    {1, "Menu_Show", "显示界面", MenuKind::kCommand, false},
    {1, "Menu_LockForm", "窗口锁定", MenuKind::kToggle, true},
    {1, "Menu_Transparent", "窗口透明度", MenuKind::kSubmenu, false},
    {2, "Menu_Transparent_80", "80%", MenuKind::kChoice, true},
    {2, "Menu_Transparent_70", "70%", MenuKind::kChoice, true},
    {2, "Menu_Transparent_60", "60%", MenuKind::kChoice, true},
    {2, "Menu_Transparent_50", "50%", MenuKind::kChoice, true},
    {2, "Menu_Transparent_40", "40%", MenuKind::kChoice, true},
    {2, "Menu_Transparent_30", "30%", MenuKind::kChoice, true},
    {2, "Menu_Transparent_20", "20%", MenuKind::kChoice, true},
    {1, "Menu_AutoRun", "开机时启动软件", MenuKind::kToggle, true},
    {1, "Menu_Line_One", "-", MenuKind::kSeparator, false},
    {1, "Menu_PriceType", "报价类型", MenuKind::kSubmenu, false},
}};

// The separators between the product menu's groups, in order.
inline constexpr std::array<std::string_view, 4> kProductSeparators = {
    "Menu_Price_Line_One", "Menu_Price_Line_Two", "Menu_Price_Line_Three", "Menu_Price_Line_Four"};
static_assert(kProductSeparators.size() + 1 == quotes::CountBankGroups(),
              "one separator between each two groups of the product menu");

inline constexpr std::array<MenuRow, 11> kAfterProducts = {{
    {1, "Menu_Speed", "报价更新速度", MenuKind::kSubmenu, false},
    {2, "Menu_Speed_Quick", "快速", MenuKind::kChoice, true},
    {2, "Menu_Speed_Normal", "正常", MenuKind::kChoice, true},
    {2, "Menu_Speed_Slow", "慢速", MenuKind::kChoice, true},
    // Marked while the selected product has a price alert.
    {1, "Menu_Alert", "价格提醒...", MenuKind::kToggle, true},
    {1, "Menu_Chart", "今日走势...", MenuKind::kCommand, false},
    // The caption names the chord once it is read.
    {1, "Menu_BossKey", "隐藏快捷键...", MenuKind::kCommand, false},
    {1, "Menu_Line_Two", "-", MenuKind::kSeparator, false},
    {1, "Menu_About", "Zentrova资讯网", MenuKind::kCommand, false},
    {1, "Menu_CheckUpDate", "检测升级", MenuKind::kCommand, false},
    {1, "Menu_Exit", "退出", MenuKind::kCommand, false},
}};

inline constexpr std::size_t kRowCount = kBeforeProducts.size() + quotes::kCatalogue.size() +
                                         kProductSeparators.size() + kAfterProducts.size();

constexpr std::array<MenuRow, kRowCount> Tree() {
  std::array<MenuRow, kRowCount> rows{};
  auto* out = std::copy(kBeforeProducts.begin(), kBeforeProducts.end(), rows.begin());
  const auto* separator = kProductSeparators.begin();
  for (std::size_t i = 0; i < quotes::kCatalogue.size(); ++i) {
    const quotes::Product& product = quotes::kCatalogue[i];
    if (i > 0 && product.bank != quotes::kCatalogue[i - 1].bank) {
      *out++ = {2, *separator++, "-", MenuKind::kSeparator, false};
    }
    *out++ = {2, product.menu_item, product.display_name, MenuKind::kChoice, true};
  }
  std::copy(kAfterProducts.begin(), kAfterProducts.end(), out);
  return rows;
}

}  // namespace menu_rows

inline constexpr std::array<MenuRow, menu_rows::kRowCount> kMenuTree = menu_rows::Tree();

}  // namespace shell
