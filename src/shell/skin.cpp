#include "shell/skin.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace Skin {

bool AttachIfPresent() {
  // Bare names: the current directory, not the program's.
  if (!QFileInfo::exists(QStringLiteral("Skin.dat")) ||
      !QFileInfo::exists(QStringLiteral("Skin.dll"))) {
    return false;
  }
  QLibrary library(QDir::current().absoluteFilePath(QStringLiteral("Skin.dll")));
  using AttachFunction = int (*)(const char*, const char*);
  auto attach = reinterpret_cast<AttachFunction>(library.resolve("SkinH_AttachEx"));
  if (attach == nullptr) return false;
  attach("Skin.dat", "");  // its result means nothing to us
  return true;
}

}  // namespace Skin
