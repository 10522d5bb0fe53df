#include "app/CommandLine.h"

LaunchKind ParseCommandLine(const char* commandLine) {
  if (!commandLine) return LaunchKind::FullScreen;
  const char* p = commandLine;
  while (*p && !((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'))) ++p;
  switch (*p) {
    case 'C': case 'c':
    case 'L': case 'l':
    case 'P': case 'p':
      return LaunchKind::Exit;
    case 'A': case 'a':
      return LaunchKind::InitOnly;
    default:
      return LaunchKind::FullScreen;
  }
}
