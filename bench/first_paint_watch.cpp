#include "bench/first_paint_watch.h"

#include <X11/extensions/damagewire.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace bench {
namespace {

// The DAMAGE requests and event as they go over the wire; there is no xcb binding for them
// on these machines, so they are sent through xcb's generic request path.
xcb_extension_t damage_extension = {DAMAGE_NAME, 0};

struct DamageQueryVersionRequest {
  std::uint8_t major_opcode;
  std::uint8_t minor_opcode;
  std::uint16_t length;
  std::uint32_t client_major;
  std::uint32_t client_minor;
};
static_assert(sizeof(DamageQueryVersionRequest) == 12);

struct DamageQueryVersionReply {
  std::uint8_t response_type;
  std::uint8_t pad0;
  std::uint16_t sequence;
  std::uint32_t length;
  std::uint32_t major;
  std::uint32_t minor;
  std::uint8_t pad1[16];
};
static_assert(sizeof(DamageQueryVersionReply) == 32);

struct DamageCreateRequest {
  std::uint8_t major_opcode;
  std::uint8_t minor_opcode;
  std::uint16_t length;
  std::uint32_t damage;
  std::uint32_t drawable;
  std::uint8_t level;
  std::uint8_t pad0[3];
};
static_assert(sizeof(DamageCreateRequest) == 16);

struct DamageNotifyEvent {
  std::uint8_t response_type;
  std::uint8_t level;
  std::uint16_t sequence;
  std::uint32_t drawable;
  std::uint32_t damage;
  std::uint32_t timestamp;
  std::int16_t area_x, area_y;
  std::uint16_t area_width, area_height;
  std::int16_t geometry_x, geometry_y;
  std::uint16_t geometry_width, geometry_height;
};
static_assert(sizeof(DamageNotifyEvent) == 32);

// Sends one DAMAGE request; xcb fills in the opcodes and the length.
template <typename Request>
unsigned int SendDamage(xcb_connection_t* connection, std::uint8_t opcode, bool has_reply,
                        Request& request) {
  const xcb_protocol_request_t protocol = {.count = 1,
                                           .ext = &damage_extension,
                                           .opcode = opcode,
                                           .isvoid = static_cast<std::uint8_t>(has_reply ? 0 : 1)};
  // xcb_send_request uses the two entries in front of the first one itself.
  iovec parts[3] = {};
  parts[2].iov_base = &request;
  parts[2].iov_len = sizeof request;
  return xcb_send_request(connection, has_reply ? XCB_REQUEST_CHECKED : 0, parts + 2, &protocol);
}

double Milliseconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// True while the process runs or has ended without being reaped yet by anyone.
bool Running(pid_t pid) {
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
    return false;
  }
  return info.si_pid == 0;
}

}  // namespace

FirstPaintWatch::FirstPaintWatch() {
  int screen_number = 0;
  connection_ = xcb_connect(nullptr, &screen_number);
  if (xcb_connection_has_error(connection_) != 0) {
    error_ = "cannot connect to the X display";
    return;
  }
  // The watched program must not inherit this connection.
  fcntl(xcb_get_file_descriptor(connection_), F_SETFD, FD_CLOEXEC);
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
  for (int i = 0; i < screen_number; ++i) xcb_screen_next(&screens);
  root_ = screens.data->root;
  if (!QueryDamage()) return;

  const char kPidAtom[] = "_NET_WM_PID";
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
      xcb_intern_atom_reply(
          connection_, xcb_intern_atom(connection_, 0, sizeof kPidAtom - 1, kPidAtom), nullptr),
      &std::free);
  if (!atom) {
    error_ = "cannot intern _NET_WM_PID";
    return;
  }
  pid_atom_ = atom->atom;

  // New top-level windows show up as children of the root window.
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(connection_);
}

FirstPaintWatch::~FirstPaintWatch() {
  // Closing the connection also frees its damage objects and event selections, so the
  // watched program runs on unobserved.
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

bool FirstPaintWatch::QueryDamage() {
  const xcb_query_extension_reply_t* extension =
      xcb_get_extension_data(connection_, &damage_extension);
  if (extension == nullptr || extension->present == 0) {
    error_ = "the X server has no DAMAGE extension";
    return false;
  }
  damage_event_ = extension->first_event;
  // The server only serves a client that has announced its version.
  DamageQueryVersionRequest request = {0, 0, 0, DAMAGE_MAJOR, DAMAGE_MINOR};
  const unsigned int sequence = SendDamage(connection_, X_DamageQueryVersion, true, request);
  xcb_generic_error_t* failure = nullptr;
  std::unique_ptr<void, decltype(&std::free)> reply(
      xcb_wait_for_reply(connection_, sequence, &failure), &std::free);
  std::free(failure);
  if (!reply) {
    error_ = "DAMAGE version query failed";
    return false;
  }
  return true;
}

void FirstPaintWatch::Track(xcb_window_t window) {
  windows_[window] = Window{};
  const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_EXPOSURE;
  xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &mask);
  // One report when the window goes from untouched to drawn into is all that is needed.
  DamageCreateRequest request = {
      0, 0, 0, xcb_generate_id(connection_), window, XDamageReportNonEmpty, {}};
  SendDamage(connection_, X_DamageCreate, false, request);
  xcb_flush(connection_);
}

std::uint32_t FirstPaintWatch::WindowPid(xcb_window_t window, Window& record) {
  if (record.pid) return *record.pid;
  std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
      xcb_get_property_reply(
          connection_, xcb_get_property(connection_, 0, window, pid_atom_, XCB_ATOM_CARDINAL, 0, 1),
          nullptr),
      &std::free);
  if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 4) return 0;
  record.pid = *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  return *record.pid;
}

bool FirstPaintWatch::Handle(const xcb_generic_event_t& event, Clock::time_point now, pid_t pid,
                             int width, int height, xcb_window_t& found) {
  const std::uint8_t type = event.response_type & 0x7f;
  if (type == XCB_CREATE_NOTIFY) {
    const auto& created = reinterpret_cast<const xcb_create_notify_event_t&>(event);
    // The panel is a window the manager does not manage (override-redirect) on X11; menus and
    // tips are too, but the size and the process tell them apart below.
    if (created.parent == root_) Track(created.window);
    return false;
  }
  if (type == XCB_DESTROY_NOTIFY) {
    windows_.erase(reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window);
    return false;
  }
  if (type == XCB_MAP_NOTIFY) {
    const auto& mapped = reinterpret_cast<const xcb_map_notify_event_t&>(event);
    // Root's report of a direct child comes too; the window's own report is the one kept.
    const auto entry = windows_.find(mapped.window);
    if (entry != windows_.end() && !entry->second.mapped) entry->second.mapped = now;
    return false;
  }
  if (type == XCB_EXPOSE) {
    const auto entry = windows_.find(reinterpret_cast<const xcb_expose_event_t&>(event).window);
    if (entry != windows_.end() && !entry->second.exposed) entry->second.exposed = now;
    return false;
  }
  if (type != damage_event_ + XDamageNotify) return false;
  const auto& damage = reinterpret_cast<const DamageNotifyEvent&>(event);
  const auto entry = windows_.find(damage.drawable);
  if (entry == windows_.end() || entry->second.painted) return false;
  entry->second.painted = now;
  if (damage.geometry_width != width || damage.geometry_height != height) return false;
  if (WindowPid(damage.drawable, entry->second) != static_cast<std::uint32_t>(pid)) return false;
  found = damage.drawable;
  return true;
}

std::optional<FirstPaint> FirstPaintWatch::Wait(pid_t pid, int width, int height,
                                                Clock::time_point start,
                                                std::chrono::milliseconds limit) {
  if (!error_.empty()) return std::nullopt;
  const Clock::time_point deadline = start + limit;
  const int descriptor = xcb_get_file_descriptor(connection_);
  xcb_window_t found = 0;
  while (found == 0) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      const Clock::time_point now = Clock::now();
      // Errors (a window gone before it could be watched) are expected and passed over.
      const bool done = event->response_type != 0 && Handle(*event, now, pid, width, height, found);
      std::free(event);
      if (done) break;
    }
    if (found != 0) break;
    if (xcb_connection_has_error(connection_) != 0) {
      error_ = "the X connection broke";
      return std::nullopt;
    }
    const Clock::time_point now = Clock::now();
    if (now >= deadline) {
      error_ = "no window was drawn in time";
      return std::nullopt;
    }
    if (!Running(pid)) {
      error_ = "the program ended before its window was drawn";
      return std::nullopt;
    }
    // A short poll so that an ended program is noticed soon; events wake it at once.
    const auto wait =
        std::min(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now),
                 std::chrono::milliseconds(50));
    pollfd watch = {descriptor, POLLIN, 0};
    poll(&watch, 1, static_cast<int>(wait.count()) + 1);
  }
  const Window& record = windows_[found];
  FirstPaint result;
  result.paint_ms = Milliseconds(start, *record.painted);
  result.map_ms = record.mapped ? Milliseconds(start, *record.mapped) : result.paint_ms;
  result.expose_ms = record.exposed ? Milliseconds(start, *record.exposed) : result.paint_ms;
  return result;
}

}  // namespace bench
