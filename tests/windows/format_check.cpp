// The formatter's width argument where long is 32 bits, built with signed
// overflow trapping: a negation that overflows ends the program instead of
// passing unnoticed. Run under Wine by tests/e2e/test_format_windows.py.
#include <climits>
#include <cstdio>
#include <string>

#include "platform/Text.h"

int main() {
  std::u16string out(4096, u'\0');
  int failures = 0;
  // The most negative width: left-aligned and clamped; the others for scale.
  for (const int width : {INT_MIN, INT_MIN + 1, -5, 5, INT_MAX}) {
    const size_t n = text::Format(out.data(), out.size(), u"%*d|", width, 7);
    const bool left = width < 0;
    const bool ok = n > 1 && n < 1000 && out[n - 1] == u'|' && (left ? out[0] == u'7' : out[n - 2] == u'7');
    std::printf("%d: %s (%u units)\n", width, ok ? "ok" : "wrong", static_cast<unsigned>(n));
    if (!ok) ++failures;
  }
  return failures == 0 ? 0 : 1;
}
