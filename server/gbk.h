#pragma once

#include <string>
#include <string_view>

namespace lumetta_server {

// Encodes UTF-8 text as GBK (code page 936), the encoding of the server's quote, news and version
// replies. A character GBK cannot hold, or a malformed UTF-8 byte, becomes '?'.
std::string Utf8ToGbk(std::string_view utf8);

}  // namespace lumetta_server
