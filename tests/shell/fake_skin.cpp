// Records the call in the current directory, where the skin files are.
#include <cstdio>

extern "C" int SkinH_AttachEx(const char* skin_file, const char* password) {
  std::FILE* out = std::fopen("skin_called.txt", "w");
  if (out == nullptr) return 0;
  std::fprintf(out, "%s|%s", skin_file, password);
  std::fclose(out);
  return 1;
}
