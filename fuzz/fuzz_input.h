#pragma once

// What every harness shares: reading several parameters out of one fuzz input, and checks
// that stop the run so that libFuzzer keeps the input that broke a promise.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "text/converter.h"

namespace fuzz {

// The input as the harnesses read it: a few leading bytes choose modes, and the rest splits at
// 0 bytes into text fields. Whatever is missing reads as 0 or as the empty text, so every input
// the fuzzer makes is a usable one.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  std::uint8_t TakeByte() {
    if (rest_.empty()) return 0;
    const auto byte = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return byte;
  }

  // The text up to the next 0 byte (which is consumed), or all that is left.
  std::string_view TakeField() {
    const std::size_t end = rest_.find('\0');
    const std::string_view field = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    return field;
  }

  // Everything not taken yet, 0 bytes included.
  std::string_view TakeRest() {
    const std::string_view rest = rest_;
    rest_ = {};
    return rest;
  }

 private:
  std::string_view rest_;
};

[[noreturn]] inline void Fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::fflush(stderr);
  __builtin_trap();
}

inline bool IsValidUtf8(std::string_view text) {
  while (!text.empty()) {
    const std::size_t length = text::Utf8CharLength(text);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

}  // namespace fuzz

// A macro rather than a function so that the report names the broken condition and its line.
#define LUMETTA_FUZZ_CHECK(condition)                               \
  do {                                                              \
    if (!(condition)) ::fuzz::Fail(#condition, __FILE__, __LINE__); \
  } while (false)
