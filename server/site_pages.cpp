#include "server/site_pages.h"

#include <charconv>

#include "net/wire_paths.h"

namespace lumetta_server {
namespace {

std::string Html(std::string_view title, std::string_view body) {
  std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>";
  html += title;
  html += "</title></head>\n<body>";
  html += body;
  html += "</body></html>\n";
  return html;
}

// A list item linking to a page of this site.
std::string LinkItem(std::string_view path, std::string_view query, std::string_view label) {
  std::string item = "<li><a href=\"";
  item += path;
  item += query;
  item += "\">";
  item += label;
  item += "</a></li>";
  return item;
}

}  // namespace

std::string HomePage() {
  std::string body =
      "<h1>Zentrova资讯网</h1>\n"
      "<p>本地演示服务器：报价为模拟数据，并非市场行情；资讯亦为虚构。</p>\n"
      "<ul>";
  body += LinkItem(wire::kPricePath, "?Type=0", "报价列表");
  body += LinkItem(wire::kNewsPath, "?Type=0", "资讯列表");
  body += LinkItem(wire::kDownloadPath, "", "软件下载");
  body += "</ul>\n";
  return Html("Zentrova资讯网", body);
}

std::string DownloadPage() {
  return Html("软件下载", "<h1>Lumetta</h1>\n<p>请从本站获取最新版本。</p>\n");
}

std::string CounterPage(int loads) {
  char digits[16];
  const auto written = std::to_chars(digits, digits + sizeof digits, loads);
  return Html("Count", std::string(digits, written.ptr));
}

std::string NotFoundPage() { return Html("404", "<h1>404 Not Found</h1>\n"); }

}  // namespace lumetta_server
