#include "app/x11/X11Options.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings/Overrides.h"

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

[[noreturn]] void BadOption(const char* option, const char* value, const char* why) {
  if (why != nullptr) {
    std::fprintf(stderr, "lumisaver: %s needs %s, got \"%s\"\n", option, why, value != nullptr ? value : "");
  } else {
    std::fprintf(stderr,
                 "lumisaver: unknown option %s\n"
                 "usage: lumisaver [--root | --window | --window-id ID] [--language english|russian]\n"
                 "                 [--font FACE] [--fsaa SAMPLES] [--log 0|1] [/s | /a | /c | /p]\n"
                 "       lumisaver --snapshot OUT.png [--entry N] [--at SECONDS] [--size WxH]\n",
                 option);
  }
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
    const char* name = DashedOptionName(arg);
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    if (name == nullptr) {
      // not an option: left to the first-letter rule
    } else if (std::strcmp(name, "window") == 0) {
      options.target = X11Options::Target::Window;
      targetGiven = true;
      continue;
    } else if (std::strcmp(name, "root") == 0) {
      options.target = X11Options::Target::Root;
      targetGiven = true;
      continue;
    } else if (std::strcmp(name, "window-id") == 0) {
      if (!ParseWindowId(next, &options.windowId)) BadWindowId(arg, next);
      options.target = X11Options::Target::ForeignWindow;
      targetGiven = true;
      ++i;
      continue;
    } else {
      const char* why = nullptr;
      switch (TakeSettingOption(name, next, &RunOverrides(), &why)) {
        case SettingOption::Taken:
          ++i;
          continue;
        case SettingOption::Refused:
          BadOption(arg, next, why);
        case SettingOption::NotOne:
          // One dash and a word may be a Windows-style switch ("-s");
          // nothing spells those with two.
          if (arg[1] == '-') BadOption(arg, nullptr, nullptr);
          break;
      }
    }
    if (!rest.empty()) rest += ' ';
    rest += arg;
  }
  // A screensaver manager hands its window over in the environment; with
  // -root it stands in for the root window (the virtual-root convention).
  if (!targetGiven || options.target == X11Options::Target::Root) {
    const char* fromManager = std::getenv("XSCREENSAVER_WINDOW");
    if (fromManager != nullptr && *fromManager != '\0') {
      if (!ParseWindowId(fromManager, &options.windowId)) BadWindowId("XSCREENSAVER_WINDOW", fromManager);
      options.target = X11Options::Target::ForeignWindow;
    }
  }
  g_options = options;
  return rest;
}
