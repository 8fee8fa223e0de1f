#pragma once

// The live mode's sources and product chains, as read from the sources file that users can
// edit (data/live-sources.ini, installed with the program; a copy in ~/.config/lumetta/ takes
// precedence). A source is a public quote feed: its address template, headers, encoding and the
// fields of its reply. A product lists the sources that can quote it, best first.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace live {

enum class ReplyFormat {
  kLines,  // JavaScript variable lines: var hq_str_CODE="f0,f1,...";  (or v_CODE="...";)
  kJson,   // JSON, optionally wrapped as "var NAME = {...};"
};

// What a reply field holds.
enum class Field {
  kLast,
  kBid,
  kAsk,
  kHigh,
  kLow,
  kOpen,
  kPrevious,  // previous close or settlement
  kTime,      // HH:MM:SS in the source's zone
  kDate,      // YYYY-MM-DD in the source's zone
  kEpoch,     // Unix seconds
  kEpochMs,   // Unix milliseconds
  kIso,       // ISO 8601 with Z or an offset
};

struct FieldEntry {
  Field field = Field::kLast;
  // kLines: the field's position, counted from 0. kJson: a dotted path into the object, in
  // which "{code}" stands for the symbol asked for.
  std::string where;
};

struct SourceEntry {
  std::string id;    // [source ID]
  std::string name;  // shown to the user, e.g. "新浪财经"
  // Address template: "{codes}" is replaced by the symbols joined with ",", "{code}" by the one
  // symbol (then `batch` is 1).
  std::string url;
  std::vector<std::string> headers;  // "Name: value", sent in this order
  std::string encoding = "utf-8";    // "gbk" or "utf-8"
  ReplyFormat format = ReplyFormat::kJson;
  // kLines: the variable's name with "{code}" for the symbol, e.g. "hq_str_{code}".
  std::string variable;
  std::vector<FieldEntry> fields;
  int zone_minutes = 480;  // UTC offset of kTime and kDate fields
  std::size_t batch = 1;   // symbols per request at most
  // At most one request per this long; the server never asks more often than the panel's
  // fastest refresh either.
  std::chrono::seconds interval{3};
  std::size_t max_bytes = std::size_t{256} * 1024;  // a longer reply is refused
  std::chrono::seconds timeout{5};                  // the whole request
};

struct ChainLink {
  std::string source_id;
  std::string symbol;  // the source's code for the product, e.g. "hf_XAU"
};

struct ProductSources {
  std::string code;  // the catalogue's lower-case code
  // Empty when the chain quotes the product itself; otherwise the benchmark that stands in for
  // it, shown to the user, e.g. "上海黄金交易所 Au99.99".
  std::string benchmark;
  std::vector<ChainLink> chain;  // best first; empty: the product has no source
};

struct LiveConfig {
  std::vector<SourceEntry> sources;
  std::vector<ProductSources> products;  // every catalogue product exactly once
};

struct ConfigError {
  int line = 0;  // counted from 1; 0 when the fault is the file as a whole
  std::string message;
};

// The file's text (UTF-8). Refuses, naming the first offending line: unknown sections or keys,
// a malformed value, a source without url/format/fields, a chain naming an unknown source, an
// unknown product, a product listed twice or missing, an address that is not https (plain http
// only to a loopback host, for replicas).
std::variant<LiveConfig, ConfigError> ParseLiveConfig(std::string_view text);

// The names of the sources that some product's chain uses, each once, in the order the products
// first name them: what the live mode's headline credits.
std::vector<std::string> UsedSourceNames(const LiveConfig& config);

// "FILE:LINE: MESSAGE" (or "FILE: MESSAGE" for line 0), for the server's refusal to start.
std::string DescribeError(std::string_view file_name, const ConfigError& error);

}  // namespace live
