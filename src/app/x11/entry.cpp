#include <cstring>
#include <string>

#include "app/Program.h"
#include "app/Snapshot.h"
#include "app/x11/X11Options.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--snapshot") == 0) return RunSnapshot(argc, argv);
  const std::string rest = ConsumeX11Options(argc, argv);
  return ProgramMain(rest.c_str(), 0);
}
