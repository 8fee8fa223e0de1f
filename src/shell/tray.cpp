#include "shell/tray.h"

#include <QPointer>
#include <QSystemTrayIcon>
#include <QTextDocument>
#include <QWidget>
#include <optional>
#include <utility>

#include "text/tray_tip.h"

namespace Tray {
namespace {

// The module's one record: the icon and its tip field.
struct Record {
  QPointer<QSystemTrayIcon> icon;
  QString tip;
  // Whether ShowTrayIcon has put the icon into the notification area.
  bool shown = false;
  // A message given before then, shown once the icon is there: the icon shows no message
  // before, and an alert crossed during start-up must not go unseen.
  std::optional<std::pair<QString, QString>> held;
  int messages = 0;
  QString last_message;
};

void ShowNow(Record& record, const QString& title, const QString& text) {
  record.icon->showMessage(title, text, record.icon->icon());
  ++record.messages;
  record.last_message = text;
}

Record& TheRecord() {
  static Record record;
  return record;
}

QString FitTip(const QString& tip) {
  const QByteArray utf8 = tip.toUtf8();
  const std::string fitted = TipText(std::string_view(utf8.constData(), utf8.size()));
  return QString::fromStdString(fitted);
}

// The toolkit's tooltips break lines at LF; a CR before it would show as a stray glyph.
// The tip is the server's text, never markup, but the toolkit renders a tip that looks like
// markup as rich text: such a tip goes out escaped, its spaces kept and its breaks as <br>.
QString ToolTipText(const QString& tip) {
  QString text = tip;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar('\r'), QChar('\n'));
  if (!Qt::mightBeRichText(text)) return text;
  QString rich = QStringLiteral("<p style=\"white-space:pre\">");
  rich += text.toHtmlEscaped().replace(QChar('\n'), QStringLiteral("<br>"));
  rich += QStringLiteral("</p>");
  return rich;
}

int EventNumber(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::DoubleClick:
      return kLeftDoubleClick;
    case QSystemTrayIcon::Context:
      return kRightButtonUp;
    case QSystemTrayIcon::Trigger:
      return kLeftButtonUp;
    case QSystemTrayIcon::MiddleClick:
      return kMiddleButtonUp;
    case QSystemTrayIcon::Unknown:
      break;
  }
  return 0;
}

}  // namespace

void AddTrayIcon(QWidget* window, const QIcon& icon, const QString& tip,
                 std::function<void(int event)> callback) {
  Record& record = TheRecord();
  delete record.icon;
  record.tip = FitTip(tip);
  record.shown = false;
  record.messages = 0;
  record.last_message.clear();
  auto* tray_icon = new QSystemTrayIcon(icon, window);
  tray_icon->setToolTip(ToolTipText(record.tip));
  QObject::connect(tray_icon, &QSystemTrayIcon::activated,
                   [callback = std::move(callback)](QSystemTrayIcon::ActivationReason reason) {
                     if (callback) callback(EventNumber(reason));
                   });
  record.icon = tray_icon;
}

void ShowTrayIcon() {
  Record& record = TheRecord();
  // Shows nothing where there is no notification area; that is not an error here.
  if (record.icon == nullptr) return;
  record.icon->show();
  record.shown = true;
  if (record.held) {
    ShowNow(record, record.held->first, record.held->second);
    record.held.reset();
  }
}

void SetTrayTip(const QString& tip) {
  Record& record = TheRecord();
  if (record.icon == nullptr) return;
  record.tip = FitTip(tip);
  record.icon->setToolTip(ToolTipText(record.tip));
}

void DeleteTrayIcon() {
  Record& record = TheRecord();
  record.held.reset();
  if (record.icon == nullptr) return;
  record.icon->hide();
  delete record.icon;
  record.tip.clear();
}

void ShowMessage(const QString& title, const QString& text) {
  Record& record = TheRecord();
  if (record.icon == nullptr || !record.shown) {
    record.held.emplace(title, text);
    return;
  }
  ShowNow(record, title, text);
}

int MessagesShown() { return TheRecord().messages; }

QString LastMessage() { return TheRecord().last_message; }

QString CurrentTip() { return TheRecord().icon == nullptr ? QString() : TheRecord().tip; }

bool HasIcon() { return TheRecord().icon != nullptr; }

bool IconShown() { return TheRecord().icon != nullptr && TheRecord().shown; }

}  // namespace Tray
