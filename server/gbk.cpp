#include "server/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace lumetta_server {

std::string Utf8ToGbk(std::string_view utf8) {
  const iconv_t converter = iconv_open("CP936", "UTF-8");
  // glibc always ships this converter; without it the server could not answer anything.
  if (converter == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no GBK converter");
  std::string gbk;
  char* in = const_cast<char*>(utf8.data());  // iconv never writes through it
  size_t in_left = utf8.size();
  char chunk[4096];
  while (in_left > 0) {
    char* out = chunk;
    size_t out_left = sizeof chunk;
    const size_t result = iconv(converter, &in, &in_left, &out, &out_left);
    gbk.append(chunk, static_cast<size_t>(out - chunk));
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // Skip the whole offending UTF-8 character, or the one bad byte.
    size_t skip = 1;
    while (skip < in_left && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
    gbk += '?';
    in += skip;
    in_left -= skip;
  }
  iconv_close(converter);
  return gbk;
}

}  // namespace lumetta_server
