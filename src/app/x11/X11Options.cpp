#include "app/x11/X11Options.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

X11Options g_options;

// Decimal or 0x-prefixed hexadecimal, as screensaver managers pass it.
bool ParseWindowId(const char* text, unsigned long* id) {
  if (text == nullptr || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text, &end, 0);
  if (errno != 0 || *end != '\0' || value == 0) return false;
  *id = value;
  return true;
}

// Nothing is built yet, so a bad window id can end the program here.
[[noreturn]] void BadWindowId(const char* where, const char* value) {
  std::fprintf(stderr, "lumisaver: %s needs a window id (decimal or 0x hexadecimal), got \"%s\"\n", where,
               value != nullptr ? value : "");
  std::exit(2);
}

constexpr long kMaxSamples = 64;

bool ParseSampleCount(const char* text, int* count) {
  if (text == nullptr || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value > kMaxSamples) return false;
  *count = static_cast<int>(value);
  return true;
}

[[noreturn]] void BadSampleCount(const char* value) {
  std::fprintf(stderr, "lumisaver: -fsaa needs a sample count from 0 to %ld, got \"%s\"\n", kMaxSamples,
               value != nullptr ? value : "");
  std::exit(2);
}

}  // namespace

const X11Options& CurrentX11Options() { return g_options; }

std::string ConsumeX11Options(int argc, char** argv) {
  X11Options options;
  bool targetGiven = false;
  std::string rest;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "-window") == 0) {
      options.target = X11Options::Target::Window;
      targetGiven = true;
    } else if (std::strcmp(arg, "-root") == 0) {
      options.target = X11Options::Target::Root;
      targetGiven = true;
    } else if (std::strcmp(arg, "-window-id") == 0) {
      const char* value = i + 1 < argc ? argv[++i] : nullptr;
      if (!ParseWindowId(value, &options.windowId)) BadWindowId("-window-id", value);
      options.target = X11Options::Target::ForeignWindow;
      targetGiven = true;
    } else if (std::strcmp(arg, "-fsaa") == 0 || std::strcmp(arg, "--fsaa") == 0) {
      const char* value = i + 1 < argc ? argv[++i] : nullptr;
      if (!ParseSampleCount(value, &options.fsaa)) BadSampleCount(value);
    } else {
      if (!rest.empty()) rest += ' ';
      rest += arg;
    }
  }
  if (!targetGiven) {
    const char* fromManager = std::getenv("XSCREENSAVER_WINDOW");
    if (fromManager != nullptr && *fromManager != '\0') {
      if (!ParseWindowId(fromManager, &options.windowId)) BadWindowId("XSCREENSAVER_WINDOW", fromManager);
      options.target = X11Options::Target::ForeignWindow;
    }
  }
  g_options = options;
  return rest;
}
