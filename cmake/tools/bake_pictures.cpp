// Build step: decodes the panel's PNG pictures once, at build time, into a C++ source of
// ready pixels, so that a start of the panel copies its pictures instead of inflating and
// unfiltering every one of them before the first paint.
//
//   bake_pictures OUTPUT.cpp RESOURCE_PATH=FILE.png...

#include <QImage>
#include <QImageReader>
#include <QString>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Baked {
  std::string path;
  QImage image;
};

bool Write(const char* output, const std::vector<Baked>& pictures) {
  std::FILE* file = std::fopen(output, "w");
  if (file == nullptr) return false;
  std::fprintf(file,
               "// Generated at build time by bake_pictures from the panel's PNG files.\n"
               "#include \"shell/baked_pictures.h\"\n\nnamespace shell {\nnamespace {\n\n");
  for (size_t i = 0; i < pictures.size(); ++i) {
    const QImage& image = pictures[i].image;
    std::fprintf(file, "alignas(4) constexpr unsigned char kPixels%zu[] = {", i);
    for (int y = 0; y < image.height(); ++y) {
      const uchar* row = image.constScanLine(y);
      for (int x = 0; x < image.width() * 4; ++x) {
        std::fprintf(file, "%s%u,", x % 24 == 0 ? "\n    " : "", row[x]);
      }
    }
    std::fprintf(file, "\n};\n");
  }
  std::fprintf(file, "\nconstexpr BakedPicture kPictures[] = {\n");
  for (size_t i = 0; i < pictures.size(); ++i) {
    const QImage& image = pictures[i].image;
    std::fprintf(file, "    {\"%s\", %d, %d, %s, kPixels%zu},\n", pictures[i].path.c_str(),
                 image.width(), image.height(),
                 image.format() == QImage::Format_ARGB32_Premultiplied ? "true" : "false", i);
  }
  std::fprintf(file,
               "};\n\n}  // namespace\n\n"
               "const BakedPicture* FindBakedPicture(std::string_view path) {\n"
               "  for (const BakedPicture& picture : kPictures) {\n"
               "    if (picture.path == path) return &picture;\n"
               "  }\n"
               "  return nullptr;\n"
               "}\n\n}  // namespace shell\n");
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bake_pictures OUTPUT.cpp RESOURCE_PATH=FILE.png...\n");
    return 2;
  }
  std::vector<Baked> pictures;
  for (int i = 2; i < argc; ++i) {
    const std::string argument = argv[i];
    const size_t equals = argument.find('=');
    if (equals == std::string::npos) {
      std::fprintf(stderr, "bake_pictures: %s: no RESOURCE_PATH=\n", argv[i]);
      return 2;
    }
    QImageReader reader(QString::fromStdString(argument.substr(equals + 1)), "png");
    QImage image = reader.read();
    if (image.isNull()) {
      std::fprintf(stderr, "bake_pictures: %s: %s\n", argv[i],
                   reader.errorString().toLocal8Bit().constData());
      return 1;
    }
    // The two formats a pixmap of a 24- or 32-bit screen holds.
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32);
    pictures.push_back({argument.substr(0, equals), image});
  }
  return Write(argv[1], pictures) ? 0 : 1;
}
