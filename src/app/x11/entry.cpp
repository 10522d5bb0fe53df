#include "app/Program.h"
#include "app/Snapshot.h"
#include "app/x11/Options.h"

int main(int argc, char** argv) {
  const CommandLine line = ParseCommandLine(argc, argv);
  if (line.snapshot) return RunSnapshot(line.picture);
  if (line.watch.kind == WatchRequest::Kind::Watch) return RunWatcher(line.watch.seconds, line.showArgs);
  if (line.watch.kind != WatchRequest::Kind::None) return SetAutostart(line.watch);
  return ProgramMain(line.rest.c_str(), 0, nullptr);
}
