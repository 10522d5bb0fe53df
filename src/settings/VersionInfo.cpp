#include "settings/VersionInfo.h"

#include "platform/Platform.h"
#include "platform/Text.h"
#include "res/Version.h"

VersionInfo::~VersionInfo() {
  delete[] productName;
  delete[] fileVersion;
}

static char16_t* HeapCopy(const std::u16string& s) {
  auto* copy = new char16_t[s.size() + 1];
  s.copy(copy, s.size());
  copy[s.size()] = 0;
  return copy;
}

void ParseFileVersion(const char16_t* fileVersion, int32_t version[4]) {
  if (!fileVersion || !version) return;
  const size_t len = text::Len(fileVersion);
  size_t start = 0;
  int stored = 0;
  for (size_t i = 0; i <= len && stored < 4; ++i) {
    const char16_t c = fileVersion[i];
    if (c != u',' && c != 0) continue;
    // The number is read from its start; a comma near the end can put that
    // start past the terminator, which then reads as an empty number.
    version[stored++] = start <= len ? text::ParseInt(fileVersion + start) : 0;
    start = i + 2;  // skip the comma and the one space after it
  }
}

int ReadVersionInfo(VersionInfo* info) {
  if (!info) return 0;
  plat::VersionStrings strings;
  if (!plat::ReadOwnVersionStrings(&strings)) return 0;
  text::Copy(info->languageName, 1024, strings.languageName.c_str());
  delete[] info->fileVersion;
  info->fileVersion = HeapCopy(strings.fileVersion);
  delete[] info->productName;
  info->productName = HeapCopy(strings.productName);
  ParseFileVersion(info->fileVersion, info->version);
  return 1;
}

int BuildTitle(VersionInfo* info, char16_t* title) {
  if (!info || !title) return 1;
  ReadVersionInfo(info);
  // Without a readable product name the title still names the program.
  const char16_t* name = (info->productName && info->productName[0]) ? info->productName : u"" LUMI_VER_PRODUCTNAME;
  text::Format(title, 256, u"%s %d.%d.%d.%d", name, info->version[0], info->version[1], info->version[2],
               info->version[3]);
  return 1;
}
