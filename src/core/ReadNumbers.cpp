#include "core/ReadNumbers.h"

#include <cstdlib>

std::size_t ReadNumbers(std::u16string_view text, float* outputs, std::size_t n) {
  std::size_t pos = 0, written = 0;
  for (std::size_t k = 0; k < n; ++k) {
    if (pos >= text.size()) break;
    while (pos < text.size() && text[pos] == u' ') ++pos;
    char run[100];
    std::size_t len = 0;
    while (pos + len < text.size() && len < 99) {
      const char16_t c = text[pos + len];
      if (c != u'-' && c != u'.' && (c < u'0' || c > u'9')) break;
      run[len] = static_cast<char>(c);
      ++len;
    }
    run[len] = '\0';
    pos += len;
    // strtod takes the longest valid prefix ("1-2" gives 1, "-" gives 0).
    outputs[k] = len ? static_cast<float>(std::strtod(run, nullptr)) : 0.0f;
    ++written;
  }
  return written;
}
