#!/usr/bin/env bash
# The chart of the day in a real window system: "今日走势..." opens it beside the panel, named
# after the product, without moving the panel or taking the focus; it follows a product switch
# made in the panel's menu.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

printf '[System]\r\nPriceType=au\r\nRefreshTime=3\r\n' >"$work/System.ini"
start_tessal
panel=$(panel_window)
read -r px py < <(window_origin "$panel")

# The panel carries the product's name too.
chart_named() {
  xdotool search --onlyvisible --pid "$tessal_pid" --name "^$1\$" 2>/dev/null | grep -vx "$panel" | head -n 1
}
chart_shown() { [ -n "$(chart_named "$1")" ]; }
open_menu() {
  local before
  before=$(visible_windows)
  click_at $((px + 150)) $((py + 25)) 3
  wait_for 10 more_windows_than "$before" || fail "no menu after a right click on the panel"
}

open_menu
xdotool key Up Up Up Up Up Return  # from the end: 退出, 检测升级, the site, 隐藏快捷键, 今日走势...
wait_for 10 chart_shown 现货黄金 || fail "no chart window titled 现货黄金"
chart=$(chart_named 现货黄金)
eval "$(xdotool getwindowgeometry --shell "$chart" | sed 's/^/chart_/')"
# Beside the panel (350 × 80), not over it.
if ((chart_X < px + 350 && px < chart_X + chart_WIDTH && chart_Y < py + 80 && py < chart_Y + chart_HEIGHT)); then
  fail "the chart at $chart_X,$chart_Y ${chart_WIDTH}x$chart_HEIGHT covers the panel at $px,$py"
fi
origin_is "$panel" "$px" "$py" || fail "the panel moved"
[ "$(xdotool getwindowfocus -f 2>/dev/null || true)" != "$panel" ] || fail "the panel took the focus"
sleep 1  # the day's points drawn
screenshot day_chart

# The second product of 报价类型: the chart turns to it.
open_menu
xdotool key Down Down Down Down Down Right Down Return
not_gold() { ! grep -q $'^PriceType=au\r$' "$work/System.ini"; }
wait_for 10 not_gold || fail "the product did not change"
title() { xdotool getwindowname "$chart" 2>/dev/null; }
turned() { local now; now=$(title); [ -n "$now" ] && [ "$now" != 现货黄金 ]; }
wait_for 10 turned || fail "the chart shows '$(title)' after the product switch"
echo "day chart: ok"
