#include "shell/global_key.h"

#include <xcb/xcb.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <utility>

namespace shell {
namespace {

constexpr xcb_keysym_t kNumLockSymbol = 0xff7f;
// X protocol error of a grab another client holds.
constexpr std::uint8_t kBadAccess = 10;

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }  // NOLINT: xcb replies are malloc'ed
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_connection_t* Connection() {
  const auto* app = qGuiApp;
  if (app == nullptr) return nullptr;
  auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
  return x11 == nullptr ? nullptr : x11->connection();
}

// The keycodes whose unshifted or shifted symbol is `keysym` in `map`.
std::vector<xcb_keycode_t> KeycodesOf(const xcb_setup_t& setup,
                                      const xcb_get_keyboard_mapping_reply_t& map,
                                      xcb_keysym_t keysym) {
  std::vector<xcb_keycode_t> codes;
  const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(&map);
  const auto count = static_cast<std::ptrdiff_t>(xcb_get_keyboard_mapping_keysyms_length(&map));
  const std::ptrdiff_t per_code = map.keysyms_per_keycode;
  if (per_code == 0) return codes;
  for (std::ptrdiff_t index = 0; (index + 1) * per_code <= count; ++index) {
    const xcb_keysym_t* row = symbols + index * per_code;
    if (row[0] == keysym || (per_code > 1 && row[1] == keysym)) {
      codes.push_back(static_cast<xcb_keycode_t>(setup.min_keycode + index));
    }
  }
  return codes;
}

// The modifier bit NumLock sets in this keyboard map (Mod2 on most), 0 when none does.
std::uint16_t NumLockMask(xcb_connection_t* connection,
                          const std::vector<xcb_keycode_t>& num_lock_codes) {
  if (num_lock_codes.empty()) return 0;
  const Reply<xcb_get_modifier_mapping_reply_t> map(
      xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
  if (!map) return 0;
  const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
  const int per_modifier = map->keycodes_per_modifier;
  for (int modifier = 0; modifier < 8; ++modifier) {
    for (int k = 0; k < per_modifier; ++k) {
      const xcb_keycode_t code = codes[modifier * per_modifier + k];
      if (code != 0 && std::ranges::count(num_lock_codes, code) > 0) {
        return static_cast<std::uint16_t>(1U << modifier);
      }
    }
  }
  return 0;
}

}  // namespace

GlobalKey::GlobalKey(QObject* context, std::function<void()> pressed)
    : context_(context), pressed_(std::move(pressed)) {
  QCoreApplication::instance()->installNativeEventFilter(this);
}

GlobalKey::~GlobalKey() {
  Release();
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::instance()->removeNativeEventFilter(this);
  }
}

void GlobalKey::Release() {
  xcb_connection_t* connection = Connection();
  if (connection != nullptr && !grabs_.empty()) {
    for (const Grabbed& grab : grabs_) {
      xcb_ungrab_key(connection, grab.keycode, grab.root, grab.modifiers);
    }
    xcb_flush(connection);
  }
  // Without a connection the server has dropped the grabs with it.
  grabs_.clear();
  down_ = false;
}

GlobalKey::Outcome GlobalKey::Grab(const std::optional<hotkey::Chord>& chord) {
  Release();
  if (!chord) return Outcome::kNoChord;
  xcb_connection_t* connection = Connection();
  if (connection == nullptr) return Outcome::kNoX11;

  const xcb_setup_t* setup = xcb_get_setup(connection);
  const Reply<xcb_get_keyboard_mapping_reply_t> map(xcb_get_keyboard_mapping_reply(
      connection,
      xcb_get_keyboard_mapping(
          connection, setup->min_keycode,
          static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1)),
      nullptr));
  if (!map) return Outcome::kNoKey;
  const std::vector<xcb_keycode_t> codes = KeycodesOf(*setup, *map, chord->keysym);
  if (codes.empty()) return Outcome::kNoKey;
  const std::uint16_t num_lock = NumLockMask(connection, KeycodesOf(*setup, *map, kNumLockSymbol));
  modifiers_ = chord->modifiers;
  lock_modifiers_ = static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | num_lock);

  // The grab matches modifiers exactly: one for each state of the locks.
  std::vector<std::uint16_t> lock_states = {0, XCB_MOD_MASK_LOCK};
  if (num_lock != 0) {
    lock_states.push_back(num_lock);
    lock_states.push_back(static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | num_lock));
  }
  std::vector<xcb_void_cookie_t> cookies;
  for (xcb_screen_iterator_t screen = xcb_setup_roots_iterator(setup); screen.rem > 0;
       xcb_screen_next(&screen)) {
    for (const xcb_keycode_t code : codes) {
      for (const std::uint16_t locks : lock_states) {
        const auto modifiers = static_cast<std::uint16_t>(modifiers_ | locks);
        cookies.push_back(xcb_grab_key_checked(connection, 1, screen.data->root, modifiers, code,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        grabs_.push_back({screen.data->root, code, modifiers});
      }
    }
  }
  bool refused = false;
  bool held_elsewhere = false;
  for (const xcb_void_cookie_t cookie : cookies) {
    const Reply<xcb_generic_error_t> error(xcb_request_check(connection, cookie));
    if (error) {
      refused = true;
      held_elsewhere = held_elsewhere || error->error_code == kBadAccess;
    }
  }
  if (!refused) return Outcome::kGrabbed;
  // Part of a chord would work only in some lock states: none of it is kept. An ungrab of a
  // combination another client holds leaves that client's grab alone.
  Release();
  return held_elsewhere ? Outcome::kHeldElsewhere : Outcome::kNoKey;
}

bool GlobalKey::nativeEventFilter(const QByteArray& type, void* message, qintptr* /*result*/) {
  if (grabs_.empty() || type != QByteArrayLiteral("xcb_generic_event_t")) return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const std::uint8_t kind = event->response_type & 0x7f;
  if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE) return false;
  // Press and release events have the same layout.
  const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
  const bool ours = std::ranges::any_of(grabs_, [key](const Grabbed& grab) {
    return grab.root == key->event && grab.keycode == key->detail;
  });
  if (!ours) return false;
  if (kind == XCB_KEY_RELEASE) {
    down_ = false;
    last_release_ = key->time;
    return true;
  }
  if ((key->state & ~lock_modifiers_ & 0xff) != modifiers_) return false;
  const bool repeat = down_ || key->time == last_release_;
  down_ = true;
  if (!repeat && context_ != nullptr) QTimer::singleShot(0, context_.data(), pressed_);
  return true;
}

}  // namespace shell
