#pragma once
// The four-part version record and the title line built from it.
#include <cstdint>

struct VersionInfo {
  char16_t* productName = nullptr;  // owned heap copy
  char16_t* fileVersion = nullptr;  // owned heap copy
  char16_t languageName[1024] = {};
  int32_t version[4] = {0, 0, 0, 0};
  ~VersionInfo();
};

// Reads the program's own version resource; 1 on success, 0 otherwise.
int ReadVersionInfo(VersionInfo* info);
// ReadVersionInfo, then "%s %d.%d.%d.%d" into title (256 units). Returns 1.
int BuildTitle(VersionInfo* info, char16_t* title);
// "1, 0, 0, 10" -> 1,0,0,10; each later number is converted from two units
// after its comma. At most four numbers are stored.
void ParseFileVersion(const char16_t* fileVersion, int32_t version[4]);
