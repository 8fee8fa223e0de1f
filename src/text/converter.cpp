#include "text/converter.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace text {
namespace {

// iconv reports failure to open as the integer -1 cast to its handle type.
const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

// Opening a descriptor looks the conversion up, may load its module and allocates its buffers
// (tens of kilobytes), which costs more than converting a quote list. The process keeps a few
// opened descriptors and lends each to one caller at a time, as iconv requires; the bound keeps
// a server with a hundred threads from holding one on each.
class DescriptorPool {
 public:
  // Never destroyed: a thread may still convert while the process exits.
  static DescriptorPool& Shared() {
    static auto* const pool = new DescriptorPool();  // NOLINT(cppcoreguidelines-owning-memory)
    return *pool;
  }

  // A descriptor in its initial shift state, or kNoDescriptor when the system cannot convert.
  iconv_t Take(const char* to, const char* from) {
    iconv_t cd = kNoDescriptor;
    {
      const std::lock_guard lock(mutex_);
      const auto kept = std::find_if(idle_.begin(), idle_.end(), [&](const Entry& entry) {
        return entry.to == to && entry.from == from;
      });
      if (kept != idle_.end()) {
        cd = kept->cd;
        idle_.erase(kept);
      }
    }
    if (cd == kNoDescriptor) return iconv_open(to, from);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return cd;
  }

  // Takes back a descriptor from Take, keeping it unless enough are kept already; the oldest
  // kept gives way, so that the charsets in use now are the ones kept.
  void Give(const char* to, const char* from, iconv_t cd) {
    iconv_t dropped = kNoDescriptor;
    {
      const std::lock_guard lock(mutex_);
      if (idle_.size() == kKept) {
        dropped = idle_.front().cd;
        idle_.erase(idle_.begin());
      }
      idle_.push_back({to, from, cd});
    }
    if (dropped != kNoDescriptor) iconv_close(dropped);
  }

 private:
  DescriptorPool() = default;

  static constexpr std::size_t kKept = 4;
  struct Entry {
    std::string to;
    std::string from;
    iconv_t cd;
  };
  std::mutex mutex_;
  std::vector<Entry> idle_;  // oldest first
};

// One descriptor from the pool for the length of a call.
class Lease {
 public:
  Lease(const char* to, const char* from)
      : to_(to), from_(from), cd_(DescriptorPool::Shared().Take(to, from)) {}
  ~Lease() {
    if (valid()) DescriptorPool::Shared().Give(to_, from_, cd_);
  }
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;

  bool valid() const { return cd_ != kNoDescriptor; }
  iconv_t get() const { return cd_; }

 private:
  const char* to_;
  const char* from_;
  iconv_t cd_;
};

}  // namespace

std::optional<std::string> Convert(std::string_view input, const char* to, const char* from,
                                   std::string_view replacement, SkipRule skip) {
  const Lease converter(to, from);
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
