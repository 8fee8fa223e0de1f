#pragma once

#include <string>
#include <string_view>

namespace Code {

// Decodes a reply body to UTF-8 text. "utf-8" (any case) decodes UTF-8 and drops a leading
// byte-order mark; every other name, "gb2312" among them, decodes code page 936 (GBK, the
// superset that Windows uses for that name). Bytes that do not decode become U+FFFD each; the rest
// of the text is returned unchanged. Empty text only when the converter itself is unavailable.
std::string BytesToText(std::string_view bytes, const std::string& charset);

}  // namespace Code
