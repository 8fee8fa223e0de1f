#include "shell/tray_tip.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace Tray {
namespace {

constexpr const char* kGbk = "CP936";
constexpr const char* kUtf8 = "UTF-8";

// Owns one conversion descriptor for the length of a call.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv_open ") + from + " -> " + to + ": " +
                               std::strerror(errno));
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `input`; `skip` tells how many input bytes a rejected sequence spans, which
  // is replaced by one '?'.
  template <typename Skip>
  std::string Run(std::string_view input, Skip skip) {
    std::string out;
    out.reserve(input.size() * 2 + 8);
    char buffer[256];
    // iconv takes a non-const input pointer but never writes through it.
    char* in = const_cast<char*>(input.data());
    std::size_t in_left = input.size();
    while (in_left > 0) {
      char* dst = buffer;
      std::size_t dst_left = sizeof(buffer);
      const std::size_t rc = iconv(cd_, &in, &in_left, &dst, &dst_left);
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (rc != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      if (errno != EILSEQ && errno != EINVAL) {
        throw std::runtime_error(std::string("iconv: ") + std::strerror(errno));
      }
      const std::size_t n = skip(std::string_view(in, in_left));
      out += '?';
      in += n;
      in_left -= n;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    }
    return out;
  }

 private:
  iconv_t cd_;
};

// Length of the well-formed UTF-8 character at the front of `text`, or 0 when it is not one
// (overlong forms, surrogates and values above U+10FFFF included).
std::size_t Utf8CharLength(std::string_view text) {
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

// In GBK a byte from 0x81 to 0xFE leads a two-byte character; every other byte stands alone.
bool IsGbkLeadByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 0x81 && b <= 0xFE;
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  // A valid character GBK lacks is one '?'; a malformed byte is one '?' on its own.
  return Converter(kGbk, kUtf8).Run(utf8, [](std::string_view rest) {
    const std::size_t length = Utf8CharLength(rest);
    return length == 0 ? std::size_t{1} : length;
  });
}

std::string GbkToUtf8(std::string_view gbk) {
  return Converter(kUtf8, kGbk).Run(gbk, [](std::string_view) { return std::size_t{1}; });
}

std::string TipText(std::string_view utf8_text) {
  // The record's tip field is NUL-terminated: nothing after a NUL can show.
  const std::size_t nul = utf8_text.find('\0');
  if (nul != std::string_view::npos) utf8_text = utf8_text.substr(0, nul);

  const std::string gbk = Utf8ToGbk(utf8_text);
  std::size_t kept = 0;
  while (kept < gbk.size()) {
    const std::size_t length = IsGbkLeadByte(gbk[kept]) ? 2 : 1;
    if (kept + length > kTipLimitBytes) break;  // a character cut in half is dropped
    kept += length;
  }
  return GbkToUtf8(std::string_view(gbk).substr(0, kept));
}

}  // namespace Tray
