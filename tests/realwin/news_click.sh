#!/usr/bin/env bash
# A click on the headline opens its link (recorded by the test's xdg-open, never a browser).
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

before=$(server_requests 'GET /Soft/News.asp')
start_tessal
panel=$(panel_window)
wait_for 20 requests_at_least 'GET /Soft/News.asp' $((before + 1)) || fail "no news request"
read -r x y < <(window_origin "$panel")

opened_news() { grep -q "^http://127.0.0.1:$port/News/" "$work/opened.txt" 2>/dev/null; }
# Until the first headline is painted a click opens the home page; keep clicking briefly.
deadline=$((SECONDS + 15))
until opened_news; do
  ((SECONDS < deadline)) || fail "a click on the headline opened no news link"
  click_at $((x + 120)) $((y + 60)) 1
  wait_for 1 opened_news || true
done
screenshot news_click
grep -v "^http://127.0.0.1:$port/" "$work/opened.txt" && fail "opened something else" || true
echo "news click: ok ($(tail -n 1 "$work/opened.txt"))"
