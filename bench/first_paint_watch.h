#pragma once

// Watches an X display for the first drawing into a new top-level window of one process, the
// moment a user first sees it. It relies on the DAMAGE extension, which reports drawing into
// a window whether or not a compositor runs; the X connection is its own, opened before the
// program starts, so no window of the program can appear unseen.

#include <sys/types.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace bench {

using Clock = std::chrono::steady_clock;

// When a watched window passed each stage, in milliseconds after the given start.
struct FirstPaint {
  double map_ms = 0;     // mapped (viewable)
  double expose_ms = 0;  // first Expose, i.e. asked to draw
  double paint_ms = 0;   // first drawing into it
};

class FirstPaintWatch {
 public:
  // Connects to $DISPLAY and starts listening; error() says why when that failed.
  FirstPaintWatch();
  ~FirstPaintWatch();
  FirstPaintWatch(const FirstPaintWatch&) = delete;
  FirstPaintWatch& operator=(const FirstPaintWatch&) = delete;

  const std::string& error() const { return error_; }

  // Waits until a window whose _NET_WM_PID is `pid` and whose size is width x height is first
  // drawn into. Nothing when `limit` passes or the process ends first.
  std::optional<FirstPaint> Wait(pid_t pid, int width, int height, Clock::time_point start,
                                 std::chrono::milliseconds limit);

 private:
  struct Window {
    std::optional<Clock::time_point> mapped;
    std::optional<Clock::time_point> exposed;
    std::optional<Clock::time_point> painted;
    std::optional<std::uint32_t> pid;  // read once, when first needed
  };

  bool QueryDamage();
  void Track(xcb_window_t window);
  std::uint32_t WindowPid(xcb_window_t window, Window& record);
  // Handles one event; true when it completes the wait.
  bool Handle(const xcb_generic_event_t& event, Clock::time_point now, pid_t pid, int width,
              int height, xcb_window_t& found);

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
  std::uint8_t damage_event_ = 0;
  xcb_atom_t pid_atom_ = 0;
  std::map<xcb_window_t, Window> windows_;
  std::string error_;
};

}  // namespace bench
