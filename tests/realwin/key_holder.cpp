// Another X client that holds a key chord before the panel starts: grabs Ctrl+Alt+Shift+H on
// the root window, prints "ready", then "pressed" for each press it receives, until killed.

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

int main() {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection) != 0) return 1;
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;

  const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
  xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
      connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, count), nullptr);
  if (map == nullptr) return 1;
  const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(map);
  xcb_keycode_t code = 0;
  for (int i = 0; i < count && code == 0; ++i) {
    if (symbols[i * map->keysyms_per_keycode] == 'h')
      code = static_cast<xcb_keycode_t>(setup->min_keycode + i);
  }
  std::free(map);
  if (code == 0) return 1;

  const auto modifiers =
      static_cast<std::uint16_t>(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT);
  xcb_generic_error_t* error =
      xcb_request_check(connection, xcb_grab_key_checked(connection, 1, root, modifiers, code,
                                                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  if (error != nullptr) return 1;
  std::printf("ready\n");
  std::fflush(stdout);
  while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
    if ((event->response_type & 0x7f) == XCB_KEY_PRESS) {
      std::printf("pressed\n");
      std::fflush(stdout);
    }
    std::free(event);
  }
  return 0;
}
