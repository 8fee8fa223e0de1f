#include "server/live/sources_file.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace live {
namespace {

constexpr const char* kFileName = "live-sources.ini";

std::filesystem::path AbsoluteVariable(const std::function<const char*(const char*)>& environment,
                                       const char* name) {
  const char* value = environment(name);
  if (value == nullptr || *value == '\0') return {};
  std::filesystem::path path(value);
  return path.is_absolute() ? path : std::filesystem::path();
}

}  // namespace

std::vector<std::filesystem::path> SourcesFileCandidates(
    const std::function<const char*(const char*)>& environment,
    const std::filesystem::path& installed_data_dir, const std::filesystem::path& executable_dir) {
  std::vector<std::filesystem::path> candidates;
  // A relative XDG_CONFIG_HOME is invalid by its definition and ignored.
  std::filesystem::path config_home = AbsoluteVariable(environment, "XDG_CONFIG_HOME");
  if (config_home.empty()) {
    const std::filesystem::path home = AbsoluteVariable(environment, "HOME");
    if (!home.empty()) config_home = home / ".config";
  }
  if (!config_home.empty()) candidates.push_back(config_home / "lumetta" / kFileName);
  const char* data_dir = environment("LUMETTA_DATA_DIR");
  candidates.push_back((data_dir != nullptr && *data_dir != '\0' ? std::filesystem::path(data_dir)
                                                                 : installed_data_dir) /
                       kFileName);
  if (!executable_dir.empty()) candidates.push_back(executable_dir / "data" / kFileName);
  return candidates;
}

std::filesystem::path FirstExisting(const std::vector<std::filesystem::path>& candidates) {
  for (const std::filesystem::path& candidate : candidates) {
    std::error_code error;
    // A broken link or an unreadable folder still shadows the files after it: it is the user's,
    // and reading it then says what is wrong instead of quietly using another file.
    if (std::filesystem::symlink_status(candidate, error).type() !=
        std::filesystem::file_type::not_found) {
      return candidate;
    }
  }
  return {};
}

std::variant<LiveConfig, std::string> LoadSourcesFile(const std::filesystem::path& file) {
  const std::string name = file.string();
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    return DescribeError(name, {0, "not a readable file"});
  }
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error) return DescribeError(name, {0, "not a readable file"});
  if (size > kMaxSourcesFileBytes) return DescribeError(name, {0, "longer than 1 MiB"});
  std::ifstream stream(file, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  if (!stream.good() && !stream.eof()) return DescribeError(name, {0, "cannot be read"});
  std::variant<LiveConfig, ConfigError> parsed = ParseLiveConfig(text);
  if (const ConfigError* refused = std::get_if<ConfigError>(&parsed)) {
    return DescribeError(name, *refused);
  }
  return std::get<LiveConfig>(std::move(parsed));
}

}  // namespace live
