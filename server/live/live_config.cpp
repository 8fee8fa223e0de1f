#include "server/live/live_config.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "quotes/catalogue.h"
#include "text/ascii_case.h"

namespace live {
namespace {

constexpr std::string_view kCodeMark = "{code}";
constexpr std::string_view kCodesMark = "{codes}";

// A refusal travels up as a value; the first one ends the reading.
using Refusal = std::optional<ConfigError>;

Refusal Refuse(int line, std::string message) { return ConfigError{line, std::move(message)}; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Values end up in request headers and in our own CR LF lines: a bare CR or any other control
// byte is refused. Tabs count as blanks.
bool HasControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7f;
  });
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsAsciiAlnum(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Source ids and symbols go into addresses and variable names: letters, digits, '_', '-', '.'.
bool IsPlainName(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return IsAsciiAlnum(c) || c == '_' || c == '-' || c == '.';
  });
}

std::vector<std::string_view> SplitBlanks(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t start = 0;
  while (start < text.size()) {
    while (start < text.size() && IsBlank(text[start])) ++start;
    std::size_t end = start;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    if (end > start) words.push_back(text.substr(start, end - start));
    start = end;
  }
  return words;
}

// A whole number within [low, high]; "not a number" and "out of range" are told apart.
Refusal ReadNumber(int line, std::string_view key, std::string_view value, long low, long high,
                   long& out) {
  if (value.empty() || !std::all_of(value.begin(), value.end(), IsDigit)) {
    return Refuse(line, std::string(key) + " is not a whole number: " + std::string(value));
  }
  long number = 0;
  for (const char c : value) {
    number = number * 10 + (c - '0');
    if (number > high) break;  // no overflow however long the digits run
  }
  if (number < low || number > high) {
    return Refuse(line, std::string(key) + " is out of range " + std::to_string(low) + ".." +
                            std::to_string(high) + ": " + std::string(value));
  }
  out = number;
  return std::nullopt;
}

// "+08:00" or "-05:30".
std::optional<int> ReadZone(std::string_view value) {
  if (value.size() != 6 || (value[0] != '+' && value[0] != '-') || value[3] != ':') {
    return std::nullopt;
  }
  for (const std::size_t at : {1, 2, 4, 5}) {
    if (!IsDigit(value[at])) return std::nullopt;
  }
  const int hours = (value[1] - '0') * 10 + (value[2] - '0');
  const int minutes = (value[4] - '0') * 10 + (value[5] - '0');
  if (hours > 14 || minutes > 59) return std::nullopt;
  const int offset = hours * 60 + minutes;
  return value[0] == '-' ? -offset : offset;
}

// What libcurl refuses in a host name besides blanks and braces (a line with a control
// character is refused whole). Such a source would fail on every poll.
constexpr std::string_view kNotInHost = "/:#?!@[]\\$'\"^`*<>=;,+&()%";

// The address must be https, or plain http to this machine (a local replica of a source).
// Whatever names a host in another way (user info, no host) is refused rather than guessed.
std::optional<std::string> CheckUrl(std::string_view url) {
  if (url.find_first_of(" \t") != std::string_view::npos) return "url contains a blank";
  bool plain = false;
  std::string_view rest;
  if (text::StartsWithIgnoreAsciiCase(url, "https://")) {
    rest = url.substr(8);
  } else if (text::StartsWithIgnoreAsciiCase(url, "http://")) {
    plain = true;
    rest = url.substr(7);
  } else {
    return "url is neither https:// nor http://";
  }
  const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  if (authority.find('@') != std::string_view::npos) return "url has user info in its host";
  std::string_view host = authority;
  std::optional<std::string_view> port;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return "url has an unclosed [ in its host";
    host = authority.substr(0, close + 1);
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty() && after.front() != ':') return "url has text after its host";
    if (!after.empty()) port = after.substr(1);
  } else if (const std::size_t colon = authority.find(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  }
  if (host.empty()) return "url has no host";
  if (host.find('{') != std::string_view::npos) return "url has {code} in its host";
  if (host.front() == '[') {
    const std::string inside(host.substr(1, host.size() - 2));
    in6_addr address{};
    if (::inet_pton(AF_INET6, inside.c_str(), &address) != 1) {
      return "url has no IPv6 address between [ and ]";
    }
  } else if (host.find_first_of(kNotInHost) != std::string_view::npos) {
    return "url has a character in its host that no host name has";
  }
  if (port &&
      (port->empty() || port->size() > 5 || !std::all_of(port->begin(), port->end(), IsDigit) ||
       std::stoi(std::string(*port)) > 65535)) {
    return "url has a malformed port";
  }
  if (plain) {
    const std::string lower = text::AsciiLower(host);
    if (lower != "127.0.0.1" && lower != "[::1]" && lower != "localhost") {
      return "url must be https:// (plain http:// only to 127.0.0.1, [::1] or localhost)";
    }
  }
  return std::nullopt;
}

struct FieldName {
  std::string_view name;
  Field field;
};

constexpr std::array<FieldName, 12> kFieldNames = {{
    {"last", Field::kLast},
    {"bid", Field::kBid},
    {"ask", Field::kAsk},
    {"high", Field::kHigh},
    {"low", Field::kLow},
    {"open", Field::kOpen},
    {"previous", Field::kPrevious},
    {"time", Field::kTime},
    {"date", Field::kDate},
    {"epoch", Field::kEpoch},
    {"epoch_ms", Field::kEpochMs},
    {"iso", Field::kIso},
}};

// Lines' fields are positions; anything longer than this is a typo, not a reply.
constexpr long kMaxPosition = 999;

Refusal ReadFields(int line, std::string_view value, std::vector<FieldEntry>& out) {
  out.clear();
  for (const std::string_view word : SplitBlanks(value)) {
    const std::size_t colon = word.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == word.size()) {
      return Refuse(line, "field is not name:where: " + std::string(word));
    }
    const std::string_view name = word.substr(0, colon);
    const auto* known = std::find_if(kFieldNames.begin(), kFieldNames.end(),
                                     [&](const FieldName& entry) { return entry.name == name; });
    if (known == kFieldNames.end()) return Refuse(line, "unknown field: " + std::string(name));
    if (std::any_of(out.begin(), out.end(), [&](const FieldEntry& source_entry) {
          return source_entry.field == known->field;
        })) {
      return Refuse(line, "field given twice: " + std::string(name));
    }
    out.push_back({known->field, std::string(word.substr(colon + 1))});
  }
  if (out.empty()) return Refuse(line, "fields is empty");
  return std::nullopt;
}

// Where each key of the section stood, for refusals found only once the section is whole.
struct SourceDraft {
  SourceEntry source_entry;
  int section_line = 0;
  int url_line = 0;
  int format_line = 0;
  int fields_line = 0;
  int variable_line = 0;
  int batch_line = 0;
  std::vector<std::string> keys_seen;
};

struct ProductDraft {
  ProductSources product;
  int chain_line = 0;
  std::vector<std::string> keys_seen;
};

Refusal CheckSource(const SourceDraft& draft) {
  const SourceEntry& source_entry = draft.source_entry;
  const std::string which = "source " + source_entry.id;
  if (draft.url_line == 0) return Refuse(draft.section_line, which + " has no url");
  if (draft.format_line == 0) return Refuse(draft.section_line, which + " has no format");
  if (draft.fields_line == 0) return Refuse(draft.section_line, which + " has no fields");
  const bool one = source_entry.url.find(kCodeMark) != std::string::npos;
  const bool many = source_entry.url.find(kCodesMark) != std::string::npos;
  if (one == many) {
    return Refuse(draft.url_line, which + ": url needs exactly one of {code} or {codes}");
  }
  if (one && source_entry.batch != 1) {
    return Refuse(draft.batch_line, which + ": batch must be 1 with {code} in the url");
  }
  if (source_entry.format == ReplyFormat::kLines) {
    if (draft.variable_line == 0) {
      return Refuse(draft.section_line, which + " has format = lines but no variable");
    }
    if (source_entry.variable.find(kCodeMark) == std::string::npos) {
      return Refuse(draft.variable_line, which + ": variable needs {code}");
    }
  }
  bool has_last = false;
  bool has_time = false;
  bool has_date = false;
  for (const FieldEntry& field : source_entry.fields) {
    has_last = has_last || field.field == Field::kLast;
    has_time = has_time || field.field == Field::kTime;
    has_date = has_date || field.field == Field::kDate;
    if (source_entry.format == ReplyFormat::kLines) {
      long position = 0;
      if (ReadNumber(draft.fields_line, "position", field.where, 0, kMaxPosition, position)) {
        return Refuse(draft.fields_line, which + ": a lines field needs a position 0.." +
                                             std::to_string(kMaxPosition) + ": " + field.where);
      }
    } else {
      const std::string& path = field.where;
      if (path.front() == '.' || path.back() == '.' || path.find("..") != std::string::npos) {
        return Refuse(draft.fields_line, which + ": malformed path: " += path);
      }
      // Several symbols in one reply are told apart only by the path.
      if (source_entry.batch > 1 && path.find(kCodeMark) == std::string::npos) {
        return Refuse(draft.fields_line,
                      which + ": with batch above 1 every path needs {code}: " += path);
      }
    }
  }
  if (!has_last) return Refuse(draft.fields_line, which + ": fields need last");
  if (has_date && !has_time) return Refuse(draft.fields_line, which + ": date needs time");
  return std::nullopt;
}

Refusal ReadChain(int line, std::string_view value, std::vector<ChainLink>& chain) {
  chain.clear();
  for (const std::string_view word : SplitBlanks(value)) {
    const std::size_t colon = word.find(':');
    const std::string_view id = word.substr(0, colon);
    const std::string_view symbol =
        colon == std::string_view::npos ? std::string_view() : word.substr(colon + 1);
    if (!IsPlainName(id) || !IsPlainName(symbol)) {
      return Refuse(line, "chain link is not source:symbol: " + std::string(word));
    }
    chain.push_back({std::string(id), std::string(symbol)});
  }
  return std::nullopt;
}

class Reader {
 public:
  std::variant<LiveConfig, ConfigError> Read(std::string_view text) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
    int line_number = 0;
    while (!text.empty()) {
      ++line_number;
      const std::size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (Refusal refusal = ReadLine(line_number, line)) return *refusal;
    }
    if (Refusal refusal = CloseSection()) return *refusal;
    if (Refusal refusal = CheckChains()) return *refusal;
    for (const quotes::Product& product : quotes::kCatalogue) {
      if (std::none_of(config_.products.begin(), config_.products.end(),
                       [&](const ProductSources& p) { return p.code == product.code; })) {
        return ConfigError{0, "product " + std::string(product.code) + " is missing"};
      }
    }
    return std::move(config_);
  }

 private:
  Refusal ReadLine(int number, std::string_view raw) {
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#' || line.front() == ';') return std::nullopt;
    if (HasControl(line)) return Refuse(number, "line contains a control character");
    if (line.front() == '[') return OpenSection(number, line);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return Refuse(number, "line is not key = value");
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (key.empty()) return Refuse(number, "line has no key before =");
    if (source_) return SourceKey(number, key, value);
    if (product_) return ProductKey(number, key, value);
    return Refuse(number, "key outside a section: " + std::string(key));
  }

  Refusal OpenSection(int number, std::string_view line) {
    if (Refusal refusal = CloseSection()) return refusal;
    if (line.back() != ']') return Refuse(number, "section header does not end with ]");
    const std::vector<std::string_view> words = SplitBlanks(line.substr(1, line.size() - 2));
    if (words.size() != 2) {
      return Refuse(number, "section header is not [source ID] or [product CODE]");
    }
    if (words[0] == "source") {
      if (!IsPlainName(words[1])) {
        return Refuse(number, "source id may hold only letters, digits, _ - and .");
      }
      if (std::any_of(config_.sources.begin(), config_.sources.end(),
                      [&](const SourceEntry& s) { return s.id == words[1]; })) {
        return Refuse(number, "source " + std::string(words[1]) + " is given twice");
      }
      source_.emplace();
      source_->section_line = number;
      source_->source_entry.id = std::string(words[1]);
      source_->source_entry.name = source_->source_entry.id;
      return std::nullopt;
    }
    if (words[0] == "product") {
      const quotes::Product* product = quotes::FindProduct(text::AsciiLower(words[1]));
      if (product == nullptr) {
        return Refuse(number, "unknown product code: " + std::string(words[1]));
      }
      if (std::any_of(config_.products.begin(), config_.products.end(),
                      [&](const ProductSources& p) { return p.code == product->code; })) {
        return Refuse(number, "product " + std::string(product->code) + " is given twice");
      }
      product_.emplace();
      product_->product.code = std::string(product->code);
      return std::nullopt;
    }
    return Refuse(number, "unknown section: " + std::string(words[0]));
  }

  Refusal CloseSection() {
    if (source_) {
      if (Refusal refusal = CheckSource(*source_)) return refusal;
      config_.sources.push_back(std::move(source_->source_entry));
      source_.reset();
    }
    if (product_) {
      chain_lines_.push_back(product_->chain_line);
      config_.products.push_back(std::move(product_->product));
      product_.reset();
    }
    return std::nullopt;
  }

  // Keys may repeat only where said (header).
  static Refusal Once(int number, std::string_view key, std::vector<std::string>& seen) {
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
      return Refuse(number, std::string(key) + " is given twice in this section");
    }
    seen.emplace_back(key);
    return std::nullopt;
  }

  Refusal SourceKey(int number, std::string_view key, std::string_view value) {
    SourceDraft& draft = *source_;
    SourceEntry& source_entry = draft.source_entry;
    if (key == "header") {
      const std::size_t colon = value.find(':');
      const std::string_view name = Trim(value.substr(0, colon));
      if (colon == std::string_view::npos || name.empty() ||
          !std::all_of(name.begin(), name.end(),
                       [](char c) { return IsAsciiAlnum(c) || c == '-'; })) {
        return Refuse(number, "header is not Name: value");
      }
      source_entry.headers.emplace_back(value);
      return std::nullopt;
    }
    if (Refusal refusal = Once(number, key, draft.keys_seen)) return refusal;
    if (key == "name") {
      if (value.empty()) return Refuse(number, "name is empty");
      source_entry.name = std::string(value);
    } else if (key == "url") {
      if (std::optional<std::string> fault = CheckUrl(value)) return Refuse(number, *fault);
      source_entry.url = std::string(value);
      draft.url_line = number;
    } else if (key == "encoding") {
      const std::string lower = text::AsciiLower(value);
      if (lower != "gbk" && lower != "utf-8") return Refuse(number, "encoding is not gbk or utf-8");
      source_entry.encoding = lower;
    } else if (key == "format") {
      if (value == "lines") {
        source_entry.format = ReplyFormat::kLines;
      } else if (value == "json") {
        source_entry.format = ReplyFormat::kJson;
      } else {
        return Refuse(number, "format is not lines or json");
      }
      draft.format_line = number;
    } else if (key == "variable") {
      if (value.empty() || value.find_first_of(" \t=\"") != std::string_view::npos) {
        return Refuse(number, "variable is empty or holds a blank, = or \"");
      }
      source_entry.variable = std::string(value);
      draft.variable_line = number;
    } else if (key == "fields") {
      if (Refusal refusal = ReadFields(number, value, source_entry.fields)) return refusal;
      draft.fields_line = number;
    } else if (key == "zone") {
      const std::optional<int> zone = ReadZone(value);
      if (!zone) return Refuse(number, "zone is not +HH:MM or -HH:MM (at most 14 hours)");
      source_entry.zone_minutes = *zone;
    } else if (key == "batch") {
      long batch = 0;
      if (Refusal refusal = ReadNumber(number, key, value, 1, 50, batch)) return refusal;
      source_entry.batch = static_cast<std::size_t>(batch);
      draft.batch_line = number;
    } else if (key == "interval") {
      long seconds = 0;
      if (Refusal refusal = ReadNumber(number, key, value, 1, 3600, seconds)) return refusal;
      source_entry.interval = std::chrono::seconds(seconds);
    } else if (key == "max_bytes") {
      long bytes = 0;
      if (Refusal refusal = ReadNumber(number, key, value, 1024, 1048576, bytes)) return refusal;
      source_entry.max_bytes = static_cast<std::size_t>(bytes);
    } else if (key == "timeout") {
      long seconds = 0;
      if (Refusal refusal = ReadNumber(number, key, value, 1, 30, seconds)) return refusal;
      source_entry.timeout = std::chrono::seconds(seconds);
    } else {
      return Refuse(number, "unknown key in a source: " + std::string(key));
    }
    return std::nullopt;
  }

  Refusal ProductKey(int number, std::string_view key, std::string_view value) {
    ProductDraft& draft = *product_;
    if (Refusal refusal = Once(number, key, draft.keys_seen)) return refusal;
    if (key == "chain") {
      draft.chain_line = number;
      return ReadChain(number, value, draft.product.chain);
    }
    if (key == "benchmark") {
      if (value.empty()) return Refuse(number, "benchmark is empty");
      draft.product.benchmark = std::string(value);
      return std::nullopt;
    }
    return Refuse(number, "unknown key in a product: " + std::string(key));
  }

  // Sources may come after the products that name them, so links are checked at the end.
  Refusal CheckChains() const {
    for (std::size_t index = 0; index < config_.products.size(); ++index) {
      for (const ChainLink& link : config_.products[index].chain) {
        if (std::none_of(config_.sources.begin(), config_.sources.end(),
                         [&](const SourceEntry& s) { return s.id == link.source_id; })) {
          return Refuse(chain_lines_[index], "chain names an unknown source: " + link.source_id);
        }
      }
    }
    return std::nullopt;
  }

  LiveConfig config_;
  std::vector<int> chain_lines_;  // beside config_.products
  std::optional<SourceDraft> source_;
  std::optional<ProductDraft> product_;
};

}  // namespace

std::variant<LiveConfig, ConfigError> ParseLiveConfig(std::string_view text) {
  return Reader().Read(text);
}

std::vector<std::string> UsedSourceNames(const LiveConfig& config) {
  std::vector<std::string> names;
  for (const ProductSources& product : config.products) {
    for (const ChainLink& link : product.chain) {
      const auto source =
          std::find_if(config.sources.begin(), config.sources.end(),
                       [&](const SourceEntry& s) { return s.id == link.source_id; });
      if (source != config.sources.end() &&
          std::find(names.begin(), names.end(), source->name) == names.end()) {
        names.push_back(source->name);
      }
    }
  }
  return names;
}

std::string DescribeError(std::string_view file_name, const ConfigError& error) {
  std::string described(file_name);
  if (error.line > 0) described.append(":").append(std::to_string(error.line));
  described += ": ";
  described += error.message;
  return described;
}

}  // namespace live
