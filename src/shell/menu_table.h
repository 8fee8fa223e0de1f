#pragma once

// The context menu tree in display order, with the marks the items carry when it is created.

#include <array>
#include <string_view>

namespace shell {

enum class MenuKind { kRoot, kCommand, kToggle, kSubmenu, kChoice, kSeparator };

struct MenuRow {
  int level;
  std::string_view name;
  std::string_view caption;
  MenuKind kind;
  bool checked;
};

inline constexpr std::array<MenuRow, 44> kMenuTree = {{
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
    {2, "Menu_RMB", "Zentrova人民币黄金", MenuKind::kChoice, true},
    {2, "Menu_GOLD", "Zentrova美元黄金", MenuKind::kChoice, true},
    {2, "Menu_Price_Line_One", "-", MenuKind::kSeparator, false},
    {2, "Menu_ICBC_RMB_GOLD", "工商银行人民币黄金", MenuKind::kChoice, true},
    {2, "Menu_ICBC_RMB_SILVER", "工商银行人民币白银", MenuKind::kChoice, true},
    {2, "Menu_ICBC_RMB_PLATINUM", "工商银行人民币铂金", MenuKind::kChoice, true},
    {2, "Menu_ICBC_USD_GOLD", "工商银行美元黄金", MenuKind::kChoice, true},
    {2, "Menu_ICBC_USD_SILVER", "工商银行美元白银", MenuKind::kChoice, true},
    {2, "Menu_ICBC_USD_PLATINUM", "工商银行美元铂金", MenuKind::kChoice, true},
    {2, "Menu_Price_Line_Two", "-", MenuKind::kSeparator, false},
    {2, "Menu_CCB_AU9995", "建设银行AU9995", MenuKind::kChoice, true},
    {2, "Menu_CCB_AU9999", "建设银行AU9999", MenuKind::kChoice, true},
    {2, "Menu_Price_Line_Three", "-", MenuKind::kSeparator, false},
    {2, "Menu_BOC_RMB_GOLD", "中国银行人民币黄金", MenuKind::kChoice, true},
    {2, "Menu_BOC_USD_GOLD", "中国银行美元黄金", MenuKind::kChoice, true},
    {2, "Menu_Price_Line_Four", "-", MenuKind::kSeparator, false},
    {2, "Menu_AU", "现货黄金", MenuKind::kChoice, true},
    {2, "Menu_GT", "香港黄金", MenuKind::kChoice, true},
    {2, "Menu_AG", "现货白银", MenuKind::kChoice, true},
    {2, "Menu_PT", "现货铂金", MenuKind::kChoice, true},
    {2, "Menu_PA", "现货钯金", MenuKind::kChoice, true},
    {1, "Menu_Speed", "报价更新速度", MenuKind::kSubmenu, false},
    {2, "Menu_Speed_Quick", "快速", MenuKind::kChoice, true},
    {2, "Menu_Speed_Normal", "正常", MenuKind::kChoice, true},
    {2, "Menu_Speed_Slow", "慢速", MenuKind::kChoice, true},
    // Marked while the selected product has a price alert.
    {1, "Menu_Alert", "价格提醒...", MenuKind::kToggle, true},
    {1, "Menu_Line_Two", "-", MenuKind::kSeparator, false},
    {1, "Menu_About", "Zentrova资讯网", MenuKind::kCommand, false},
    {1, "Menu_CheckUpDate", "检测升级", MenuKind::kCommand, false},
    {1, "Menu_Exit", "退出", MenuKind::kCommand, false},
}};

}  // namespace shell
