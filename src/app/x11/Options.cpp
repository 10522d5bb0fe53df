#include "app/x11/Options.h"

#include <cctype>
#include <cstdarg>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "content/ContentList.h"
#include "platform/Text.h"
#include "settings/Overrides.h"

namespace {

using text::ParseBoundedInt;

X11Options g_options;
DisplayOptions g_display;

enum class Mode { Run, Both, Snapshot, Watch };  // where an option applies

// Takes an option's value (null for options without one, and when the command
// line ends): null when taken, else what the value must be.
using Take = const char* (*)(const char* value, CommandLine* out);

struct Option {
  const char* name;   // without dashes
  const char* value;  // its name in the usage; null: the option takes none
  Mode mode;
  const char* help;
  Take take;
  bool valueOptional = false;  // the next argument is its value only when it starts with a digit
};

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

constexpr char kWindowIdNeeds[] = "a window id (decimal or 0x hexadecimal)";

const char* TakeTarget(CommandLine* out, X11Options::Target target) {
  out->x11.target = target;
  out->targetGiven = true;
  return nullptr;
}

const char* TakeSize(const char* value, CommandLine* out) {
  static constexpr char kNeeds[] = "WIDTHxHEIGHT, each 1 to 8192";
  const char* x = value != nullptr ? std::strpbrk(value, "xX") : nullptr;
  if (x == nullptr) return kNeeds;
  const std::string width(value, x);
  if (!ParseBoundedInt(width.c_str(), 1, kMaxSnapshotSide, &out->picture.width) ||
      !ParseBoundedInt(x + 1, 1, kMaxSnapshotSide, &out->picture.height))
    return kNeeds;
  return nullptr;
}

const char* TakeSeconds(const char* value, CommandLine* out) {
  static constexpr char kNeeds[] = "seconds from 0 to 86400";
  if (value == nullptr) return kNeeds;
  char* end = nullptr;
  const double seconds = std::strtod(value, &end);
  if (end == value || *end != '\0' || !(seconds >= 0.0) || seconds > kMaxSnapshotSeconds) return kNeeds;
  out->picture.atSeconds = seconds;
  return nullptr;
}

const char* TakeWatch(const char* value, CommandLine* out, WatchRequest::Kind kind) {
  out->watch.kind = kind;
  if (value == nullptr) return nullptr;
  if (!ParseBoundedInt(value, 1, kMaxWatchSeconds, &out->watch.seconds)) return "seconds from 1 to 86400";
  return nullptr;
}

const Option kOptions[] = {
    {"window", nullptr, Mode::Run, "an ordinary 1280x720 window instead of the full screen",
     [](const char*, CommandLine* out) { return TakeTarget(out, X11Options::Target::Window); }},
    {"root", nullptr, Mode::Run, "draws on the root window, or into XSCREENSAVER_WINDOW",
     [](const char*, CommandLine* out) { return TakeTarget(out, X11Options::Target::Root); }},
    {"window-id", "ID", Mode::Run, "draws into the given window",
     [](const char* value, CommandLine* out) -> const char* {
       if (!ParseWindowId(value, &out->x11.windowId)) return kWindowIdNeeds;
       return TakeTarget(out, X11Options::Target::ForeignWindow);
     }},
    {"platform", "x11|wayland", Mode::Run, "the display system (default: Wayland where WAYLAND_DISPLAY is set)",
     [](const char* value, CommandLine* out) -> const char* {
       if (value != nullptr && std::strcmp(value, "x11") == 0) {
         out->display.system = DisplayOptions::System::X11;
       } else if (value != nullptr && std::strcmp(value, "wayland") == 0) {
         out->display.system = DisplayOptions::System::Wayland;
       } else {
         return "x11 or wayland";
       }
       return nullptr;
     }},
    {"output", "NAME", Mode::Run,
     "the one monitor showing the scene, the others black: a RandR monitor or Wayland output (default: all)",
     [](const char* value, CommandLine* out) -> const char* {
       if (value == nullptr || value[0] == '\0') return "an output name";
       out->display.output = value;
       return nullptr;
     }},
    {"log", "0|1", Mode::Run, "no log, or a log",
     [](const char* value, CommandLine*) { return TakeLog(value, &RunOverrides()); }},
    {"language", "english|russian", Mode::Both, "the text table to show",
     [](const char* value, CommandLine*) { return TakeLanguage(value, &RunOverrides()); }},
    {"font", "FACE", Mode::Both, "face of the text line",
     [](const char* value, CommandLine*) { return TakeFont(value, &RunOverrides()); }},
    {"fsaa", "SAMPLES", Mode::Both, "multisample count, 0 = off",
     [](const char* value, CommandLine*) { return TakeFsaa(value, &RunOverrides()); }},
    {"snapshot", "OUT.png", Mode::Snapshot, "renders one frame to OUT.png, without a window",
     [](const char* value, CommandLine* out) -> const char* {
       if (value == nullptr || value[0] == '\0' || value[0] == '-') return "a file name for the picture";
       out->snapshot = true;
       out->picture.output = value;
       return nullptr;
     }},
    {"entry", "N", Mode::Snapshot, "the entry the run starts at (default: LastNum)",
     [](const char* value, CommandLine* out) -> const char* {
       if (!ParseBoundedInt(value, 0, kCatalogueRows - 1, &out->picture.entry)) return "an entry number from 0 to 99";
       return nullptr;
     }},
    {"at", "SECONDS", Mode::Snapshot, "the time after the first frame (default 0)", TakeSeconds},
    {"size", "WxH", Mode::Snapshot, "the picture's size (default 1280x720)", TakeSize},
    {"watch", "[SECONDS]", Mode::Watch, "starts the show whenever the session has been idle that long (600)",
     [](const char* value, CommandLine* out) { return TakeWatch(value, out, WatchRequest::Kind::Watch); }, true},
    {"autostart", "SECONDS|off", Mode::Watch, "runs -watch SECONDS from every login on, or no more",
     [](const char* value, CommandLine* out) -> const char* {
       if (value != nullptr && std::strcmp(value, "off") == 0) {
         out->watch.kind = WatchRequest::Kind::AutostartOff;
         return nullptr;
       }
       if (value == nullptr) return "seconds from 1 to 86400, or off";
       return TakeWatch(value, out, WatchRequest::Kind::Autostart);
     }},
};

// "-name" or "--name" gives "name"; anything else gives null.
const char* DashedName(const char* arg) {
  if (arg == nullptr || arg[0] != '-') return nullptr;
  const char* name = arg[1] == '-' ? arg + 2 : arg + 1;
  return *name != '\0' && *name != '-' ? name : nullptr;
}

const Option* Find(const char* name) {
  if (name == nullptr) return nullptr;
  for (const Option& option : kOptions) {
    if (std::strcmp(option.name, name) == 0) return &option;
  }
  return nullptr;
}

// Nothing is built yet, so a bad command line can end the program here.
[[noreturn]] __attribute__((format(printf, 1, 2))) void Refuse(const char* format, ...) {
  std::fputs("lumisaver: ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  PrintUsage(stderr);
  std::exit(2);
}

}  // namespace

const X11Options& CurrentX11Options() { return g_options; }
const DisplayOptions& CurrentDisplayOptions() { return g_display; }

void PrintUsage(std::FILE* out) {
  std::fputs("usage: lumisaver [OPTION...] [/s | /a | /c | /p]\n"
             "       lumisaver --snapshot OUT.png [OPTION...]\n"
             "       lumisaver --watch [SECONDS] [OPTION...]\n"
             "Every option may be written with one dash or two.\n",
             out);
  const char* heading[] = {"A run:", "A run or a snapshot:", "A snapshot:", "The idle watcher (the run options go to each show):"};
  const Option* previous = nullptr;
  for (const Option& option : kOptions) {
    if (previous == nullptr || option.mode != previous->mode) {
      std::fprintf(out, "%s\n", heading[static_cast<int>(option.mode)]);
    }
    previous = &option;
    const std::string spelt = std::string("--") + option.name + (option.value ? std::string(" ") + option.value : "");
    std::fprintf(out, "  %-28s %s\n", spelt.c_str(), option.help);
  }
}

CommandLine ParseCommandLine(int argc, char** argv) {
  CommandLine line;
  const char* runOnly = nullptr;
  const char* snapshotOnly = nullptr;
  const char* watchArg = nullptr;
  for (int i = 1; i < argc; ++i) {
    const int first = i;
    const char* arg = argv[i];
    const char* name = DashedName(arg);
    const Option* option = Find(name);
    if (option == nullptr) {
      // One dash and a word may be a Windows-style switch ("-s"); nothing
      // spells those with two or more. A bare "--" is left over.
      if (arg[0] == '-' && arg[1] == '-' && arg[2] != '\0') Refuse("unknown option %s", arg);
      if (!line.rest.empty()) line.rest += ' ';
      line.rest += arg;
      continue;
    }
    const char* value = nullptr;
    if (option->value != nullptr) {
      value = i + 1 < argc ? argv[i + 1] : nullptr;
      if (option->valueOptional && (value == nullptr || !std::isdigit(static_cast<unsigned char>(value[0])))) {
        value = nullptr;
      } else {
        ++i;
      }
    }
    if (const char* needs = option->take(value, &line)) {
      Refuse("%s needs %s, got \"%s\"", arg, needs, value != nullptr ? value : "");
    }
    if (option->mode == Mode::Run) runOnly = arg;
    if (option->mode == Mode::Snapshot && std::strcmp(option->name, "snapshot") != 0) snapshotOnly = arg;
    if (option->mode == Mode::Watch) {
      watchArg = arg;
    } else {
      line.showArgs.insert(line.showArgs.end(), argv + first, argv + i + 1);
    }
  }
  if (watchArg != nullptr && (line.snapshot || !line.rest.empty()))
    Refuse("%s does not go with %s", watchArg, line.snapshot ? "--snapshot" : line.rest.c_str());
  if (line.snapshot && runOnly != nullptr) Refuse("%s does not go with --snapshot", runOnly);
  if (line.snapshot && !line.rest.empty()) Refuse("%s does not go with --snapshot", line.rest.c_str());
  if (!line.snapshot && snapshotOnly != nullptr) Refuse("%s goes with --snapshot only", snapshotOnly);
  // A screensaver manager hands its window over in the environment; with
  // -root it stands in for the root window (the virtual-root convention).
  if (!line.snapshot && (!line.targetGiven || line.x11.target == X11Options::Target::Root)) {
    const char* fromManager = std::getenv("XSCREENSAVER_WINDOW");
    if (fromManager != nullptr && *fromManager != '\0') {
      if (!ParseWindowId(fromManager, &line.x11.windowId)) {
        Refuse("XSCREENSAVER_WINDOW needs %s, got \"%s\"", kWindowIdNeeds, fromManager);
      }
      line.x11.target = X11Options::Target::ForeignWindow;
    }
  }
  if (line.display.system == DisplayOptions::System::Wayland &&
      (line.x11.target == X11Options::Target::Root || line.x11.target == X11Options::Target::ForeignWindow)) {
    Refuse("--platform wayland does not go with -root, -window-id or XSCREENSAVER_WINDOW");
  }
  g_options = line.x11;
  g_display = line.display;
  return line;
}
