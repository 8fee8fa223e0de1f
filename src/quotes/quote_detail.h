#pragma once

// What the server says of one product's quote beyond its two prices (/Soft/Quote.asp): where
// the price comes from, its market time and the day's figures. The panel names the source in
// the tray tip and judges the quote's age by its market time; a reply it cannot trust changes
// nothing.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quotes/day_trend.h"

namespace quotes {

// Longer replies are refused whole: the reply is a dozen short lines.
inline constexpr std::size_t kMaxDetailBytes = 4096;
// The latest market time taken (9999-12-31 23:59:59 UTC), so that every accepted one has a
// calendar date.
inline constexpr std::int64_t kMaxMarketTime = 253402300799;

enum class SourceStatus {
  kLive,      // a source gives the product's quote
  kWaiting,   // the product has sources, none has given a quote yet
  kNoSource,  // the server has no source for the product
};

// How the panel's two prices were made from the source's quote.
enum class ShownPrices {
  kBidAsk,  // buy is the bid, sell the ask
  kLast,    // both are the last price
};

struct QuoteDetail {
  std::string code;  // as the server wrote it
  SourceStatus status = SourceStatus::kWaiting;
  // Empty when the server left them out.
  std::string source;     // the source's name
  std::string symbol;     // the source's code for the product
  std::string benchmark;  // what the product is shown as, when it is shown as a benchmark
  std::optional<ShownPrices> shown;
  std::optional<std::int64_t> market_time;  // Unix seconds
  std::optional<double> open;
  std::optional<ExactPrice> exact_open;  // the open as written, for a change without rounding
  std::optional<double> previous;
  std::optional<double> high;
  std::optional<double> low;
};

// Reads a reply (UTF-8, "key=value" lines ending in CR LF or LF) to the question about
// `asked_code`. nullopt refuses it whole: over kMaxDetailBytes, a line without '=', a key
// given twice, no code or one other than `asked_code` (letter case aside), no status or an
// unknown one, an unknown `shown`, a number or time that is not plain digits (with one '.'
// for prices), a time past kMaxMarketTime, or a value that is not UTF-8 text without control
// characters. Keys it does not know are skipped: the server may add some. An empty value
// counts as absent, except for numbers and times, where it is malformed.
std::optional<QuoteDetail> ParseQuoteDetail(std::string_view reply, std::string_view asked_code);

// The tip's source line, "来源 NAME SYMBOL", with "（以BENCHMARK为准）" after it when the product
// is shown as a benchmark and " 买卖均为最新价" when both prices are the last price. Empty when
// the detail names no source.
std::string SourceTipLine(const QuoteDetail& detail);

// The tip's line in place of the unreachable server while the server has no source for the
// product with that display name.
std::string NoSourceTipLine(std::string_view display_name);

}  // namespace quotes
