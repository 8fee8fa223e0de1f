#pragma once

// One key chord grabbed for the whole X11 display: pressed anywhere, whatever window has the
// focus, it reaches the panel. Where the panel runs without X11 (Wayland, offscreen) nothing is
// grabbed; the desktop's own shortcut settings serve there.

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "hotkey/chord.h"

class QObject;

namespace shell {

class GlobalKey : public QAbstractNativeEventFilter {
 public:
  enum class Outcome {
    kGrabbed,
    kNoChord,        // asked to grab none
    kNoX11,          // the panel does not run on X11
    kNoKey,          // no key of the keyboard map gives the chord's key
    kHeldElsewhere,  // another client holds the chord (or part of it)
  };

  // `pressed` runs on `context`'s thread after the chord is pressed; held down, it runs once.
  GlobalKey(QObject* context, std::function<void()> pressed);
  ~GlobalKey() override;
  GlobalKey(const GlobalKey&) = delete;
  GlobalKey& operator=(const GlobalKey&) = delete;

  // Releases the chord held and grabs `chord`, in every state of CapsLock and NumLock. A chord
  // that cannot be had in full is not held at all.
  Outcome Grab(const std::optional<hotkey::Chord>& chord);
  void Release();
  bool Holding() const { return !grabs_.empty(); }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

 private:
  struct Grabbed {
    std::uint32_t root;
    std::uint8_t keycode;
    std::uint16_t modifiers;
  };

  QPointer<QObject> context_;
  std::function<void()> pressed_;
  std::vector<Grabbed> grabs_;
  // The chord's modifiers, and the lock modifiers a press may carry besides.
  std::uint16_t modifiers_ = 0;
  std::uint16_t lock_modifiers_ = 0;
  // Auto-repeat: while the chord is down further presses are the key repeating, and a press at
  // the very time of the last release is a repeat where the server sends release-press pairs.
  bool down_ = false;
  std::uint32_t last_release_ = 0;
};

}  // namespace shell
