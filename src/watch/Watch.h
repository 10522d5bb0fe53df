#pragma once
// The idle watcher of the Linux program: waits until the session has been
// idle a given time, runs the full-screen show as a child process, and
// waits again when it ends; and its XDG autostart entry.
#include <string>
#include <vector>

constexpr int kDefaultWatchSeconds = 600;
constexpr int kMaxWatchSeconds = 86400;

struct WatchRequest {
  enum class Kind { None, Watch, Autostart, AutostartOff } kind = Kind::None;
  int seconds = kDefaultWatchSeconds;
};

// showArgs: the run options each show is started with. The exit code: 0
// when ended by a signal or the session's end, or when another watcher
// has the session; 2 where there is no idle source.
int RunWatcher(int seconds, const std::vector<std::string>& showArgs);

// Writes or removes the autostart entry and says so; the exit code.
int SetAutostart(const WatchRequest& request);
