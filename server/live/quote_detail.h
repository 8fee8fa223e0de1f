#pragma once

// The reply of /Soft/Quote.asp?code=CODE, in both of the server's modes: "key=value" lines,
// each ending in CR LF, in a fixed order, a key left out when its value is unknown.

#include <cstdint>
#include <optional>
#include <string>

namespace live {

struct QuoteDetail {
  std::string code;       // the catalogue's lower-case code
  std::string status;     // "live", "waiting" (sources, no quote yet) or "nosource"
  std::string source;     // the source's name
  std::string symbol;     // the source's code for the product
  std::string benchmark;  // what stands in for the product, when something does
  std::string shown;      // "bidask" (buy = bid, sell = ask) or "last" (both the last price)
  std::optional<std::int64_t> time;  // the quote's own market time, Unix seconds
  std::optional<std::int64_t> open_cents;
  std::optional<std::int64_t> previous_cents;
  std::optional<std::int64_t> high_cents;
  std::optional<std::int64_t> low_cents;
};

// UTF-8; the server encodes it to GBK like its other replies.
std::string DetailText(const QuoteDetail& detail);

// Hundredths as a price text with exactly two decimals, as in the price lines: "912.60".
std::string CentsText(std::int64_t cents);

}  // namespace live
