#pragma once

// The panel's global key as a feature: the stored chord (BossKey), its grab on X11, the menu
// item that shows it and the dialog that changes it. A chord that cannot be had is told once
// in the tray, and the panel runs on without it.

#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

#include "hotkey/chord.h"
#include "settings/ini_class.h"
#include "shell/global_key.h"
#include "shell/main_menu.h"

class QWidget;

namespace shell {

class BossKeyDialog;

class BossKey {
 public:
  // `pressed` runs on each press of the chord; `tell` shows a message in the tray.
  BossKey(QWidget* panel, MenuItemLookup menu_item, const IniClass& ini,
          std::function<void()> pressed, std::function<void(const QString& text)> tell);

  void ConnectMenu(const Main& menu);
  // Reads BossKey and grabs its chord. Nothing is written back: the file stays as it is.
  void ReadStoredAndGrab();
  // Opens the dialog beside the panel. The chord is let go while it is open, so the person can
  // press it into the field.
  void OpenDialog();

  const std::optional<hotkey::Chord>& Chord() const { return chord_; }
  GlobalKey::Outcome LastOutcome() const { return outcome_; }
  BossKeyDialog* Dialog() const;

 private:
  // The person chose `chord` (nullopt: none): stored, grabbed and shown.
  void Choose(const std::optional<hotkey::Chord>& chord);
  // Grabs chord_; a failure is told when `tell_failure`.
  void Grab(bool tell_failure);
  void ShowCaption();

  QWidget* panel_;
  MenuItemLookup menu_item_;
  const IniClass& ini_;
  std::function<void(const QString&)> tell_;
  GlobalKey key_;
  std::optional<hotkey::Chord> chord_;
  GlobalKey::Outcome outcome_ = GlobalKey::Outcome::kNoChord;
  QPointer<BossKeyDialog> dialog_;
};

}  // namespace shell
