#include "shell/skin.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include "services/library_trust.h"

namespace Skin {

bool AttachIfPresent() {
  // Bare names: the current directory, not the program's.
  if (!QFileInfo::exists(QStringLiteral("Skin.dat")) ||
      !QFileInfo::exists(QStringLiteral("Skin.dll"))) {
    return false;
  }
  // Loading runs the library's code as the user: one that someone else could have put there
  // or changed is passed over as silently as a missing one.
  const QString path = QDir::current().absoluteFilePath(QStringLiteral("Skin.dll"));
  if (!services::IsTrustedLibraryFile(path.toStdString())) return false;
  QLibrary library(path);
  using AttachFunction = int (*)(const char*, const char*);
  auto attach = reinterpret_cast<AttachFunction>(library.resolve("SkinH_AttachEx"));
  if (attach == nullptr) return false;
  attach("Skin.dat", "");  // its result means nothing to us
  return true;
}

}  // namespace Skin
