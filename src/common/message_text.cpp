#include "common/message_text.h"

#include <cstdio>

namespace intersections {

std::string shownText(std::string_view text, std::size_t longest) {
  bool cut = false;
  if (text.size() > longest) {
    std::size_t end = longest;
    // Back to the start of a UTF-8 character: continuation bytes are 10xxxxxx.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text = text.substr(0, end);
    cut = true;
  }
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      shown += escaped;
    } else {
      shown += c;
    }
  }
  return cut ? shown + "..." : shown;
}

}  // namespace intersections
