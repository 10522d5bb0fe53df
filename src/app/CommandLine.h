#pragma once
// What the first ASCII letter of the command line asks for.
enum class LaunchKind { Exit, InitOnly, FullScreen };
LaunchKind ParseCommandLine(const char* commandLine);
