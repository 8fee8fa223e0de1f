// The floor of the start and memory measurements: the panel's job done with nothing else. A
// frameless 350x80 window above the others with the panel's three Chinese labels in the
// panel's face, showing one quote that libcurl fetched from the local server before the
// first paint. No settings, menu, tray icon, timers or pictures.
//
//   floor_panel [HOST:PORT]      default 127.0.0.1:8750

#include <curl/curl.h>

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QStringList>
#include <QWidget>
#include <string>
#include <string_view>

#include "net/wire_paths.h"

namespace {

size_t Append(char* data, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

std::string Fetch(const std::string& address) {
  std::string body;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return body;
  curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 5L);
  if (curl_easy_perform(curl) != CURLE_OK) body.clear();
  curl_easy_cleanup(curl);
  return body;
}

// "买入:BUY 卖出:SELL" from the list's "code,buy,sell" line of the panel's first product.
QString Caption(const std::string& list) {
  constexpr std::string_view kLine = "icbcrmbgold,";
  const size_t start = list.find(kLine);
  if (start == std::string::npos) return QStringLiteral("正在加载报价...");
  const size_t end = list.find_first_of("\r\n", start);
  const QStringList fields =
      QString::fromStdString(list.substr(start, end - start)).split(QLatin1Char(','));
  if (fields.size() < 3) return QStringLiteral("正在加载报价...");
  return QStringLiteral("买入:%1 卖出:%2").arg(fields.at(1), fields.at(2));
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const std::string host = argc > 1 ? argv[1] : "127.0.0.1:8750";
  const QString caption =
      Caption(Fetch("http://" + host + std::string(wire::kPricePath) + "?Type=0&r=1"));

  QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  window.setFixedSize(350, 80);
  QFont face = window.font();
  face.setFamilies({QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"),
                    QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Droid Sans Fallback")});
  window.setFont(face);
  QLabel type(QStringLiteral("￥纸黄金"), &window);
  type.setGeometry(8, 6, 80, 20);
  QLabel price(caption, &window);
  QFont bold = face;
  bold.setPointSizeF(10.5);
  bold.setBold(true);
  price.setFont(bold);
  price.setGeometry(90, 6, 250, 20);
  QLabel news(QStringLiteral("正在加载资讯..."), &window);
  news.setGeometry(8, 50, 330, 20);
  window.show();
  const int status = QApplication::exec();
  curl_global_cleanup();
  return status;
}
