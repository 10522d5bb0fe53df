#pragma once
// The native program's command line: one table of options (the X screensaver
// conventions, the run's setting overrides, the snapshot), each written with
// one dash or two, and the idle watcher's; the usage is printed from the
// same table.
#include <cstdio>
#include <string>
#include <vector>

#include "app/Snapshot.h"
#include "watch/Watch.h"

struct X11Options {
  enum class Target { FullScreen, Window, Root, ForeignWindow } target = Target::FullScreen;
  unsigned long windowId = 0;  // ForeignWindow
};
// What the last ParseCommandLine chose.
const X11Options& CurrentX11Options();

// The display system of a run and, on Wayland, the output showing the scene.
struct DisplayOptions {
  enum class System { Chosen, X11, Wayland } system = System::Chosen;  // Chosen: at start
  std::string output;  // the one monitor showing the scene (RandR monitor, wl_output); empty: all
};
const DisplayOptions& CurrentDisplayOptions();

struct CommandLine {
  X11Options x11;
  DisplayOptions display;
  bool targetGiven = false;
  bool snapshot = false;  // --snapshot: `picture` is the request
  SnapshotRequest picture;
  std::string rest;  // what is no option, joined by spaces, for the first-letter rule
  WatchRequest watch;  // -watch, -autostart
  std::vector<std::string> showArgs;  // the other options as given, for the watcher's shows
};

// Takes the table's options (the setting ones into RunOverrides()) and, for
// a run, XSCREENSAVER_WINDOW. An unknown option with two dashes (one dash and
// a word may be a Windows-style switch), a bad or missing value, or an option
// of the other mode ends the program with the usage and exit code 2.
CommandLine ParseCommandLine(int argc, char** argv);

void PrintUsage(std::FILE* out);
