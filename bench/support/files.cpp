#include "support/files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace bench {

bool sameBytes(const std::string& a, const std::string& b) {
  std::FILE* fa = std::fopen(a.c_str(), "rb");
  std::FILE* fb = std::fopen(b.c_str(), "rb");
  bool same = fa != nullptr && fb != nullptr;
  static char bufferA[1 << 16], bufferB[1 << 16];
  while (same) {
    const std::size_t ga = std::fread(bufferA, 1, sizeof bufferA, fa);
    const std::size_t gb = std::fread(bufferB, 1, sizeof bufferB, fb);
    if (ga != gb || std::memcmp(bufferA, bufferB, ga) != 0) same = false;
    if (ga == 0) break;
  }
  if (fa != nullptr) std::fclose(fa);
  if (fb != nullptr) std::fclose(fb);
  return same;
}

std::uint64_t countLines(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return 0;
  static char buffer[1 << 16];
  std::uint64_t lines = 0;
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) != 0;) {
    lines += static_cast<std::uint64_t>(std::count(buffer, buffer + got, '\n'));
  }
  std::fclose(f);
  return lines;
}

}  // namespace bench
