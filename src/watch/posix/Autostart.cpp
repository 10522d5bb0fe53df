// The XDG autostart entry that GNOME, KDE and XFCE start at login:
// $XDG_CONFIG_HOME/autostart/lumiscript.desktop running the watcher.
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "watch/Watch.h"

namespace {

// An entry that made the folder says so; removing it removes the folder
// when nothing else is in it, leaving it as it was.
constexpr char kMadeFolderKey[] = "X-Lumiscript-MadeFolder=true";

std::string AutostartFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && *config == '/') return std::string(config) + "/autostart";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config/autostart";
}

// "lumisaver" where that name on PATH is this program, else its full path.
std::string CommandName() {
  char self[PATH_MAX];
  if (realpath("/proc/self/exe", self) == nullptr) return "lumisaver";
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    char found[PATH_MAX];
    if (!folder.empty() && realpath((folder + "/lumisaver").c_str(), found) != nullptr &&
        std::strcmp(found, self) == 0)
      return "lumisaver";
  }
  return self;
}

// An Exec= argument: quoted where it holds a reserved character, its
// backslashes doubled once more for the entry's string escapes.
std::string ExecArgument(const std::string& argument) {
  if (argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`") == std::string::npos) return argument;
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$') quoted += "\\\\";
    if (c == '\\') quoted += "\\\\\\";
    quoted += c;
  }
  return quoted + "\"";
}

bool MakeFolders(const std::string& folder, bool* made) {
  struct stat info;
  if (stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  const size_t slash = folder.find_last_of('/');
  bool parentMade = false;
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash), &parentMade)) return false;
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  *made = true;
  return true;
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "lumisaver: %s: %s\n", what.c_str(), std::strerror(errno));
  return 1;
}

}  // namespace

int SetAutostart(const WatchRequest& request) {
  const std::string folder = AutostartFolder();
  const std::string entry = folder + "/lumiscript.desktop";
  if (request.kind == WatchRequest::Kind::AutostartOff) {
    std::ifstream old(entry);
    const std::string text((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
    if (!old.is_open()) {
      std::printf("lumisaver: no autostart entry at %s\n", entry.c_str());
      return 0;
    }
    if (unlink(entry.c_str()) != 0) return Fail("cannot remove " + entry);
    if (text.find(kMadeFolderKey) != std::string::npos) rmdir(folder.c_str());
    std::printf("lumisaver: removed %s: the watcher no longer starts at login\n", entry.c_str());
    return 0;
  }
  bool made = false;
  std::ifstream old(entry);
  const bool replacing = old.is_open();
  if (replacing) {
    const std::string text((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
    made = text.find(kMadeFolderKey) != std::string::npos;
  }
  if (!MakeFolders(folder, &made)) return Fail("cannot make " + folder);
  const std::string temporary = entry + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Lumiscript\n"
           "Comment=Shows the Lumiscript screensaver when the session has been idle "
        << request.seconds << " s\nExec=" << ExecArgument(CommandName()) << " -watch " << request.seconds
        << "\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
    if (made) out << kMadeFolderKey << "\n";
    out.close();
    if (!out) return Fail("cannot write " + temporary);
  }
  if (rename(temporary.c_str(), entry.c_str()) != 0) return Fail("cannot write " + entry);
  std::printf("lumisaver: wrote %s: from the next login the show starts after %d s idle "
              "(lumisaver -autostart off undoes it)\n",
              entry.c_str(), request.seconds);
  return 0;
}
