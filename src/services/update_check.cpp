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

std::string PromptText(std::string_view version, std::string_view date, std::string_view features) {
  const std::array<std::string, 10> lines = {
      "", "   您当前的软件有最新版本!              ",
      "", "   版本号:v" + std::string(version),
      "", "   发布日期:" + std::string(date),
      "", "   软件特性:" + std::string(features),
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
