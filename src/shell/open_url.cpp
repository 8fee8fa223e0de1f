#include "shell/open_url.h"

#include <QDesktopServices>
#include <QProcess>
#include <QString>
#include <QUrl>

#include "net/endpoints.h"

namespace Code {

void OpenUrl(const std::string& address, const std::function<void(const std::string&)>& launcher) {
  if (!endpoints::IsWebAddress(address) || !launcher) return;
  launcher(address);
}

void LaunchInBrowser(const std::string& address) {
  const QString text = QString::fromStdString(address);
  if (QDesktopServices::openUrl(QUrl(text, QUrl::TolerantMode))) return;
  for (const char* browser : {"x-www-browser", "sensible-browser", "firefox", "chromium"}) {
    if (QProcess::startDetached(QString::fromLatin1(browser), {text})) return;
  }
}

}  // namespace Code
