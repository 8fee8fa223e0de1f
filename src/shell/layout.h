#pragma once

// The panel's controls at their run-time places, in stacking order from the top: a control
// earlier in the table receives the mouse where controls overlap.

#include <array>
#include <string_view>

namespace shell {

enum class ControlKind { kImage, kLabel, kSurface };

struct ControlRow {
  std::string_view name;
  ControlKind kind;
  std::string_view picture;  // resource path, empty for none
  int left;                  // twips
  int top;
  int width;
  int height;
  bool visible;  // after start-up's layout step, before any quote or news
  bool hand_cursor;
  std::string_view tooltip;  // empty for none
};

inline constexpr int kPanelWidthTwips = 5250;
inline constexpr int kPanelHeightTwips = 1200;

inline constexpr std::array<ControlRow, 17> kControls = {{
    {"OtherImage", ControlKind::kImage, ":/other_logo.png", 280, 200, 480, 480, false, true,
     "Zentrova资讯网"},
    {"HideImage", ControlKind::kImage, ":/hide.png", 4800, 800, 240, 240, true, true, "隐藏窗口"},
    {"BOCImage", ControlKind::kImage, ":/boc.png", 230, 150, 600, 600, false, true, "中国银行"},
    {"CCBImage", ControlKind::kImage, ":/ccb.png", 230, 150, 600, 600, false, true, "中国建设银行"},
    {"ICBCImage", ControlKind::kImage, ":/icbc.png", 230, 150, 600, 600, false, true,
     "中国工商银行"},
    {"News", ControlKind::kLabel, "", 1200, 800, 3435, 195, true, true, ""},
    {"UnLockImage", ControlKind::kImage, ":/unlock.png", 4800, 200, 240, 240, false, true,
     "解锁窗口"},
    {"LockImage", ControlKind::kImage, ":/lock.png", 4800, 200, 240, 240, true, true, "锁定窗口"},
    {"FormImage", ControlKind::kSurface, "", 0, 0, 5265, 1215, true, false, ""},
    {"Price", ControlKind::kLabel, "", 1450, 250, 3195, 285, true, false, ""},
    {"PriceType", ControlKind::kLabel, "", 150, 800, 765, 255, true, false, ""},
    {"DotImage", ControlKind::kImage, ":/dot.png", 1000, 850, 75, 75, true, false, ""},
    {"LineImage", ControlKind::kImage, ":/line.png", 1000, 650, 4000, 30, true, false, ""},
    {"DownImage", ControlKind::kImage, ":/down.png", 1000, 230, 300, 300, false, false, ""},
    {"MidImage", ControlKind::kImage, ":/mid.png", 1000, 230, 300, 300, true, false, ""},
    {"UpImage", ControlKind::kImage, ":/up.png", 1000, 230, 300, 300, false, false, ""},
    {"BackGround", ControlKind::kImage, ":/background.png", 270, 1620, 5250, 1200, true, false, ""},
}};

inline constexpr std::string_view kPriceLoadingText = "正在加载报价...";
inline constexpr std::string_view kWindowCaption = "Lumetta客户端";
inline constexpr std::string_view kFirstTrayTip = "Lumetta v1.0";

}  // namespace shell
