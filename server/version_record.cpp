#include "server/version_record.h"

#include <array>

#include "net/wire_paths.h"

namespace lumetta_server {

std::string VersionRecordText(UpdateOffer offer, std::string_view host) {
  // The running widget is version "1.0"; any other text is a newer version to it.
  const bool newer = offer != UpdateOffer::kNone;
  const std::array<std::string, 5> fields = {
      newer ? "1.1" : "1.0",
      offer == UpdateOffer::kMandatory ? "True" : "False",
      newer ? "2024-09-01" : "2024-05-20",
      newer ? "新增报价品种，资讯滚动更顺畅，修正停靠屏幕边缘时的闪烁" : "首个正式版本",
      "http://" + std::string(host) + std::string(wire::kDownloadPath),
  };
  std::string record;
  for (size_t index = 0; index < fields.size(); ++index) {
    if (index > 0) record += "\r\n";
    record += fields[index];
  }
  return record;
}

}  // namespace lumetta_server
