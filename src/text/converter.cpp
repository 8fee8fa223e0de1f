#include "text/converter.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace text {
namespace {

// Owns one conversion descriptor for the length of a call.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (valid()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // iconv reports failure to open as the integer -1 cast to its handle type.
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

std::optional<std::string> Convert(std::string_view input, const char* to, const char* from,
                                   std::string_view replacement, SkipRule skip) {
  const Iconv converter(to, from);
  if (!converter.valid()) return std::nullopt;

  std::string out;
  out.reserve(input.size() + input.size() / 2 + 8);
  char buffer[4096];
  // iconv takes a non-const input pointer but never writes through it.
  char* in = const_cast<char*>(input.data());
  std::size_t in_left = input.size();
  while (in_left > 0) {
    char* dst = buffer;
    std::size_t dst_left = sizeof buffer;
    const std::size_t result = iconv(converter.get(), &in, &in_left, &dst, &dst_left);
    const int error = errno;
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    if (result != static_cast<std::size_t>(-1) || error == E2BIG) continue;
    // EILSEQ, EINVAL (a character cut off at the end) or anything unforeseen: replace what
    // the rule says and go on, so the loop always advances.
    const std::size_t wanted = skip(std::string_view(in, in_left));
    const std::size_t n = std::clamp<std::size_t>(wanted, 1, in_left);
    out += replacement;
    in += n;
    in_left -= n;
    iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  }
  return out;
}

std::size_t Utf8CharLength(std::string_view text) {
  if (text.empty()) return 0;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace text
