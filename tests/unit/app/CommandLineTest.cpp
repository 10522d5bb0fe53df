#include <gtest/gtest.h>

#include "app/CommandLine.h"

TEST(CommandLine, FirstAsciiLetterDecides) {
  struct Case {
    const char* line;
    LaunchKind want;
  };
  const Case cases[] = {
      {"/s", LaunchKind::FullScreen},    {"-S", LaunchKind::FullScreen},
      {"s", LaunchKind::FullScreen},     {"123", LaunchKind::FullScreen},
      {"", LaunchKind::FullScreen},      {"/x", LaunchKind::FullScreen},
      {"  /S /a", LaunchKind::FullScreen},
      {"/c", LaunchKind::Settings},      {"/C:1234", LaunchKind::Settings},
      {"/p 5678", LaunchKind::Preview},  {"/l", LaunchKind::Exit},
      {"123c", LaunchKind::Settings},    {"  -L", LaunchKind::Exit},
      {"/a", LaunchKind::InitOnly},      {"/a 1234", LaunchKind::InitOnly},
      {"A", LaunchKind::InitOnly},       {"-acp", LaunchKind::InitOnly},
      // Bytes outside ASCII are not letters, even when they spell one.
      {"\xC3\xA4" "a", LaunchKind::InitOnly},
      {"\xEF\xBD\x83", LaunchKind::FullScreen},  // full-width c
  };
  for (const Case& c : cases) EXPECT_EQ(ParseCommandLine(c.line).kind, c.want) << '"' << c.line << '"';
  EXPECT_EQ(ParseCommandLine(nullptr).kind, LaunchKind::FullScreen);
}

TEST(CommandLine, PreviewAndSettingsTakeTheDecimalHandleThatFollows) {
  struct Case {
    const char* line;
    LaunchKind kind;
    uintptr_t window;
  };
  const Case cases[] = {
      {"/p 5678", LaunchKind::Preview, 5678},     {"/P:5678", LaunchKind::Preview, 5678},
      {"-p\t42 extra", LaunchKind::Preview, 42},  {"/preview 7", LaunchKind::Preview, 7},
      // Nowhere to draw: the preview ends at once.
      {"/p", LaunchKind::Exit, 0},                {"/p 0", LaunchKind::Exit, 0},
      {"/p 12ab", LaunchKind::Exit, 0},           {"/p 0x1F", LaunchKind::Exit, 0},
      {"/p -3", LaunchKind::Exit, 0},
      {"/p 99999999999999999999999", LaunchKind::Exit, 0},
      {"/c", LaunchKind::Settings, 0},            {"/c:1234", LaunchKind::Settings, 1234},
      {"/C 99", LaunchKind::Settings, 99},        {"/c:junk", LaunchKind::Settings, 0},
  };
  for (const Case& c : cases) {
    const Launch launch = ParseCommandLine(c.line);
    EXPECT_EQ(launch.kind, c.kind) << '"' << c.line << '"';
    EXPECT_EQ(launch.window, c.window) << '"' << c.line << '"';
  }
}
