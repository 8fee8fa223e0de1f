#pragma once

// The panel's pictures as ready pixels, decoded from their PNG files at build time.

#include <string_view>

namespace shell {

struct BakedPicture {
  std::string_view path;  // the resource path of the PNG it was made from, e.g. ":/lock.png"
  int width;
  int height;
  bool alpha;  // premultiplied ARGB32 when true, else RGB32; 4 bytes a pixel, rows unpadded
  const unsigned char* pixels;
};

// The picture made from that resource, or nullptr for one that was not baked.
const BakedPicture* FindBakedPicture(std::string_view path);

}  // namespace shell
