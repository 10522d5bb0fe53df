#include "app/CommandLine.h"

namespace {

// The handle after the letter's word ("p", "p:", "p 12", "preview:12"); 0
// when the digits are missing, followed by anything but a blank, or too
// large for a handle.
uintptr_t WindowAfter(const char* p) {
  while ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z')) ++p;
  if (*p == ':') ++p;
  while (*p == ' ' || *p == '\t') ++p;
  uintptr_t value = 0;
  const char* digits = p;
  for (; *p >= '0' && *p <= '9'; ++p) {
    const uintptr_t digit = uintptr_t(*p - '0');
    if (value > (UINTPTR_MAX - digit) / 10) return 0;
    value = value * 10 + digit;
  }
  if (p == digits || (*p != '\0' && *p != ' ' && *p != '\t')) return 0;
  return value;
}

}  // namespace

Launch ParseCommandLine(const char* commandLine) {
  if (!commandLine) return {};
  const char* p = commandLine;
  while (*p && !((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'))) ++p;
  switch (*p) {
    case 'L': case 'l':
      return {LaunchKind::Exit, 0};
    case 'C': case 'c':
      return {LaunchKind::Settings, WindowAfter(p)};
    case 'P': case 'p': {
      const uintptr_t parent = WindowAfter(p);
      return {parent != 0 ? LaunchKind::Preview : LaunchKind::Exit, parent};
    }
    case 'A': case 'a':
      return {LaunchKind::InitOnly, 0};
    default:
      return {};
  }
}
