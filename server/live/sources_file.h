#pragma once

// Which sources file the live mode reads, and reading it.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "server/live/live_config.h"

namespace live {

// A longer sources file is refused unread: the shipped one is a few kilobytes.
inline constexpr std::uintmax_t kMaxSourcesFileBytes = std::uintmax_t{1024} * 1024;

// The places looked at, in order, when no file is named: the user's copy
// ($XDG_CONFIG_HOME/lumetta/live-sources.ini, or ~/.config/lumetta/... when that is unset or
// not absolute), the installed one ($LUMETTA_DATA_DIR/live-sources.ini, `installed_data_dir`
// when that is unset or empty) and the build tree's (data/live-sources.ini beside the
// executable's folder). `environment` reads a variable (nullptr: unset).
std::vector<std::filesystem::path> SourcesFileCandidates(
    const std::function<const char*(const char*)>& environment,
    const std::filesystem::path& installed_data_dir, const std::filesystem::path& executable_dir);

// The first candidate that exists; empty when none does.
std::filesystem::path FirstExisting(const std::vector<std::filesystem::path>& candidates);

// The file's sources and chains, or the refusal as "FILE:LINE: MESSAGE" (FILE: MESSAGE when the
// file as a whole is at fault: unreadable, too long).
std::variant<LiveConfig, std::string> LoadSourcesFile(const std::filesystem::path& file);

}  // namespace live
