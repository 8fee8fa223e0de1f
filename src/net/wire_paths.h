#pragma once

#include <string_view>

// The paths of the quote server's endpoints, each spelled once for the widget, the bundled
// server and their tests. Deployed widgets ask for exactly these, so a change here is a change
// of the wire. The bundled server takes them in any letter case.
namespace wire {

// The quote list: "code,buy,sell" per product, GBK.
inline constexpr std::string_view kPricePath = "/Soft/Price.asp";
// One product's source, market time and day's figures: "key=value" lines, GBK; 404 from a
// server without it.
inline constexpr std::string_view kQuoteDetailPath = "/Soft/Quote.asp";
// The headlines: "title|link" per line, GBK.
inline constexpr std::string_view kNewsPath = "/Soft/News.asp";
// The five-line version record the update check reads, GBK.
inline constexpr std::string_view kVersionPath = "/Soft/Version.asp";
// The usage counter, loaded at start and every minute with the visitor's cookie.
inline constexpr std::string_view kCountPath = "/Soft/Count.asp";
// The download page the version record points to.
inline constexpr std::string_view kDownloadPath = "/Soft/Download.html";
// Holds a product's price for trying alerts; the bundled server's own, not the widget's.
inline constexpr std::string_view kDrivePath = "/Demo/Drive.asp";
// The site's home page; the panel opens it from About and from the news label while loading.
inline constexpr std::string_view kHomePagePath = "/";
// A headline's page is the prefix, its number counted from 1, then the suffix: /News/3.html.
inline constexpr std::string_view kNewsPagePrefix = "/News/";
inline constexpr std::string_view kNewsPageSuffix = ".html";

}  // namespace wire
