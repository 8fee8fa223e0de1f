#pragma once

// Where System.ini lives. A copy run from a folder of the user's own keeps it next to itself;
// an installed copy, whose folder is the system's (`/usr/bin`), keeps it in the user's
// configuration folder instead, where every user has one and writes are never lost.

#include <string>
#include <string_view>

namespace settings {

// The name of the program's folder under the user's configuration folder.
inline constexpr std::string_view kConfigFolderName = "lumetta";

// What the choice depends on, read from the file system by `ProbeProgramFolder`.
struct ProgramFolder {
  std::string path;
  bool has_settings = false;  // System.ini is already there
  bool writable = false;      // the user may create files there
  bool installed = false;     // a copy installed into a prefix: `../share/applications/`
                              // holds its desktop entry
};

// The user's configuration folder: `$XDG_CONFIG_HOME` when it is an absolute path (relative
// ones are invalid and ignored), otherwise `home/.config`. Empty when neither is known.
std::string UserConfigFolder(std::string_view xdg_config_home, std::string_view home);

// The settings file. Settings already next to the program stay there; a folder of the user's
// own that is not an installed copy takes them too; otherwise they go to
// `<config>/lumetta/System.ini`, as they do when the program's folder is unknown (empty). Without
// a configuration folder they stay next to the program.
std::string ChooseSettingsFile(const ProgramFolder& folder, std::string_view config_folder);

// The facts about `program_dir` as the file system has them now.
ProgramFolder ProbeProgramFolder(std::string_view program_dir);

// `UserConfigFolder` for this process: from the environment, and the password database when
// HOME is unset.
std::string ThisUserConfigFolder();

// `ChooseSettingsFile` for this process: the program folder probed, the configuration folder
// from the environment (and the password database when HOME is unset).
std::string SettingsFileFor(std::string_view program_dir);

}  // namespace settings
