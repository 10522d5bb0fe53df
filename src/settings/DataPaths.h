#pragma once
// Where the program's files are: the program directory (models, bitmaps) and
// the data directory (settings, log, downloaded updater).
#include <cstdint>

inline constexpr int kPathCapacity = 1024;

class CDataPaths {
 public:
  CDataPaths();  // reads the two directory values, builds every path
  ~CDataPaths();
  CDataPaths(const CDataPaths&) = delete;
  CDataPaths& operator=(const CDataPaths&) = delete;

  char16_t* settingsPath = nullptr;  // owned, 1024 units: <data>/main.ini
  int settingsExists = 0;
  char16_t programDir[kPathCapacity] = {};
  char16_t logPath[kPathCapacity] = {};
  char16_t updaterPath[kPathCapacity] = {};
  char16_t modelPath[kPathCapacity] = {};
  char16_t modelDir[kPathCapacity] = {};
  char16_t texturePath[kPathCapacity] = {};
};

// The registry key (Win32) whose values name the two directories.
extern const char16_t kProgramKey[];

// Writes modelPath and texturePath for 0-based entry position `current`:
// the model directory, a doubled separator, then 01.bin .. 09.bin, 10.bin ..
void BuildEntryPaths(CDataPaths* paths, int current);
