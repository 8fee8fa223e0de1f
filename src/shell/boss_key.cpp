#include "shell/boss_key.h"

#include <QAction>
#include <QDialog>
#include <QWidget>
#include <string>
#include <utility>

#include "hotkey/stored_boss_key.h"
#include "settings/settings_schema.h"
#include "shell/boss_key_dialog.h"
#include "shell/panel_dialog.h"
#include "shell/qt_text.h"

namespace shell {
namespace {

QString ChordName(const std::optional<hotkey::Chord>& chord) {
  return chord ? Text(hotkey::ChordText(*chord)) : QStringLiteral("无");
}

}  // namespace

BossKey::BossKey(QWidget* panel, MenuItemLookup menu_item, const IniClass& ini,
                 std::function<void()> pressed, std::function<void(const QString& text)> tell)
    : panel_(panel),
      menu_item_(std::move(menu_item)),
      ini_(ini),
      tell_(std::move(tell)),
      key_(panel, std::move(pressed)) {}

void BossKey::ConnectMenu(const Main& menu) {
  QObject::connect(menu.Item("Menu_BossKey"), &QAction::triggered, panel_,
                   [this] { OpenDialog(); });
}

void BossKey::ReadStoredAndGrab() {
  const hotkey::StoredBossKey stored =
      hotkey::ReadStoredBossKey(settings::Find(ini_, settings::Key::kBossKey));
  chord_ = stored.chord;
  ShowCaption();
  if (stored.refused) {
    tell_(QStringLiteral("System.ini 中的 BossKey 不是可用的快捷键，未设隐藏快捷键"));
    return;
  }
  Grab(true);
}

void BossKey::Grab(bool tell_failure) {
  outcome_ = key_.Grab(chord_);
  if (!tell_failure || !chord_) return;
  const QString name = ChordName(chord_);
  if (outcome_ == GlobalKey::Outcome::kHeldElsewhere) {
    tell_(QStringLiteral("隐藏快捷键 %1 已被其他程序占用，可在菜单“隐藏快捷键”中更换").arg(name));
  } else if (outcome_ == GlobalKey::Outcome::kNoKey) {
    tell_(QStringLiteral("隐藏快捷键 %1 在此键盘上无法使用，可在菜单“隐藏快捷键”中更换").arg(name));
  }
}

void BossKey::ShowCaption() {
  menu_item_("Menu_BossKey")->setText(QStringLiteral("隐藏快捷键 (%1)...").arg(ChordName(chord_)));
}

void BossKey::Choose(const std::optional<hotkey::Chord>& chord) {
  chord_ = chord;
  settings::Write(ini_, settings::Key::kBossKey, chord ? hotkey::ChordText(*chord) : std::string());
  ShowCaption();
  Grab(true);
}

void BossKey::OpenDialog() {
  const bool first = dialog_ == nullptr;
  if (first) {
    key_.Release();
    dialog_ = new BossKeyDialog(
        panel_, chord_, [this](const std::optional<hotkey::Chord>& chord) { Choose(chord); });
    // Left unchanged: the chord held before is taken again, its failure already told.
    QObject::connect(dialog_, &QDialog::rejected, panel_, [this] { Grab(false); });
  }
  OpenBesidePanel(*panel_, *dialog_, first);
}

BossKeyDialog* BossKey::Dialog() const { return dialog_.data(); }

}  // namespace shell
