#include "services/update_check.h"

#include <array>
#include <vector>

#include "net/endpoints.h"
#include "text/split.h"

namespace services {
namespace {

constexpr std::string_view kFieldSeparator = "\r\n";
constexpr std::size_t kFieldCount = 5;
constexpr std::string_view kMandatoryFlag = "True";

constexpr std::string_view kPlainTitle = "提示";
constexpr std::string_view kPromptTitle = "更新提示";
constexpr std::string_view kFailureText = "服务器连接失败,检测更新失败!";
constexpr std::string_view kLatestText = "您的软件已经最新版本!";
constexpr std::string_view kCutMark = "…";

// The bytes of the character starting at `at`: a lead byte with the continuation bytes it
// announces, as far as they are there. A stray byte counts as one character, so text that is
// not UTF-8 is cut as finely as text that is.
std::size_t CharLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t wanted = 0;
  if (lead >= 0xC0 && lead < 0xE0) wanted = 1;
  if (lead >= 0xE0 && lead < 0xF0) wanted = 2;
  if (lead >= 0xF0 && lead < 0xF8) wanted = 3;
  std::size_t length = 1;
  while (length <= wanted && at + length < text.size() &&
         (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80) {
    ++length;
  }
  return length;
}

// Everything a text layout may start a new line at; CR LF never gets here, it splits fields.
bool IsLineBreak(std::string_view character) {
  for (const std::string_view line_break : {"\n", "\r", "\v", "\f", "\u0085", "\u2028", "\u2029"}) {
    if (character == line_break) return true;
  }
  return false;
}

// `text` with at most `max_lines` lines of at most kMaxLineChars characters and `max_chars`
// characters in all (line breaks not counted); the rest of a line or of the text is dropped
// and the cut marked.
std::string CutForDisplay(std::string_view text, std::size_t max_lines, std::size_t max_chars) {
  std::string shown;
  std::size_t lines = 1;
  std::size_t line_chars = 0;
  std::size_t chars = 0;
  bool line_cut = false;
  for (std::size_t at = 0; at < text.size();) {
    const std::string_view character = text.substr(at, CharLength(text, at));
    at += character.size();
    if (IsLineBreak(character)) {
      if (lines == max_lines) {
        if (!line_cut) shown += kCutMark;
        return shown;
      }
      shown += character;
      ++lines;
      line_chars = 0;
      line_cut = false;
    } else if (line_cut) {
      continue;
    } else if (chars == max_chars) {
      shown += kCutMark;
      return shown;
    } else if (line_chars == kMaxLineChars) {
      shown += kCutMark;
      line_cut = true;
    } else {
      shown += character;
      ++line_chars;
      ++chars;
    }
  }
  return shown;
}

std::string PromptText(std::string_view version, std::string_view date, std::string_view features) {
  const std::array<std::string, 10> lines = {
      "", "   您当前的软件有最新版本!              ",
      "", "   版本号:v" + CutForDisplay(version, 1, kMaxLineChars),
      "", "   发布日期:" + CutForDisplay(date, 1, kMaxLineChars),
      "", "   软件特性:" + CutForDisplay(features, kMaxFeatureLines, kMaxFeatureChars),
      "", "   您是否下载新版本软件?",
  };
  std::string text = lines[0];
  for (std::size_t i = 1; i < lines.size(); ++i) {
    text += kFieldSeparator;
    text += lines[i];
  }
  return text;
}

UpdateMessage PlainMessage(std::string_view text) {
  return UpdateMessage{std::string(text), std::string(kPlainTitle), false, std::nullopt};
}

}  // namespace

std::optional<UpdateMessage> DecideUpdate(std::string_view record, bool on_request) {
  const std::vector<std::string_view> fields = text::SplitAll(record, kFieldSeparator);
  // Empty text and text without CR LF give one field and fail with any other count.
  const auto failure = [on_request]() -> std::optional<UpdateMessage> {
    if (!on_request) return std::nullopt;
    return PlainMessage(kFailureText);
  };
  if (fields.size() != kFieldCount) return failure();

  if (fields[0] == kRunningVersion) {
    if (!on_request) return std::nullopt;
    return PlainMessage(kLatestText);
  }

  // Accepting the prompt hands field 4 to the browser and ends the program: a record that
  // names anything but a web page there offers nothing to download and counts as no record.
  if (!endpoints::IsWebAddress(fields[4])) return failure();

  // Any other version text, older ones included, is offered, and at start-up too.
  return UpdateMessage{PromptText(fields[0], fields[2], fields[3]), std::string(kPromptTitle),
                       fields[1] != kMandatoryFlag, std::string(fields[4])};
}

}  // namespace services
