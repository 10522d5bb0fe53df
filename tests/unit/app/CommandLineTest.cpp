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
      {"/c", LaunchKind::Exit},          {"/C:1234", LaunchKind::Exit},
      {"/p 5678", LaunchKind::Exit},     {"/l", LaunchKind::Exit},
      {"123c", LaunchKind::Exit},        {"  -L", LaunchKind::Exit},
      {"/a", LaunchKind::InitOnly},      {"/a 1234", LaunchKind::InitOnly},
      {"A", LaunchKind::InitOnly},       {"-acp", LaunchKind::InitOnly},
      // Bytes outside ASCII are not letters, even when they spell one.
      {"\xC3\xA4" "a", LaunchKind::InitOnly},
      {"\xEF\xBD\x83", LaunchKind::FullScreen},  // full-width c
  };
  for (const Case& c : cases) EXPECT_EQ(ParseCommandLine(c.line), c.want) << '"' << c.line << '"';
  EXPECT_EQ(ParseCommandLine(nullptr), LaunchKind::FullScreen);
}
