#pragma once

// The one crossing between the logic's UTF-8 bytes and the toolkit's text.

#include <QString>
#include <string>
#include <string_view>

namespace shell {

inline QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace shell
