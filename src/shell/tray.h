#pragma once

// `Tray`: the one notification-area icon of the program.

#include <QIcon>
#include <QString>
#include <functional>

class QWidget;

namespace Tray {

// Mouse events over the icon, numbered as the window system reports them.
inline constexpr int kLeftButtonUp = 514;
inline constexpr int kLeftDoubleClick = 515;
inline constexpr int kRightButtonUp = 517;
inline constexpr int kMiddleButtonUp = 520;

// Adds the icon with its first tip. `callback` receives the event numbers above. The icon
// goes into the notification area with ShowTrayIcon. Without a notification area nothing
// shows and nothing is reported.
void AddTrayIcon(QWidget* window, const QIcon& icon, const QString& tip,
                 std::function<void(int event)> callback);
// Puts the added icon into the notification area. Finding the area can take round trips to
// the window system and the session bus; the panel calls this once it has first been drawn.
void ShowTrayIcon();
// Replaces the tip; only what fits the 127-byte tip field shows.
void SetTrayTip(const QString& tip);
void DeleteTrayIcon();
// The icon's own message balloon, for when the desktop has no notification service. Given
// before the icon is in the notification area, the message waits for ShowTrayIcon (only the
// latest one).
void ShowMessage(const QString& title, const QString& text);

// The tip field's text as it stands now (empty when no icon was added).
QString CurrentTip();
// True while the icon has been added and not deleted.
bool HasIcon();
// True once the added icon has been put into the notification area.
bool IconShown();
// How many messages the icon showed since it was added, and the last one's text.
int MessagesShown();
QString LastMessage();

}  // namespace Tray
