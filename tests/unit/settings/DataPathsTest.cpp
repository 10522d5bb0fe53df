#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "lumi_config.h"
#include "platform/Text.h"
#include "settings/DataPaths.h"
#include "unit/EnvGuard.h"

namespace {

std::string U8(const char16_t* s) { return text::ToUtf8(s); }

// Where the settings go without LUMISAVER_APPDATA_DIR: the build's default
// data directory when it was configured with one, else the program directory.
std::string DefaultDataDir(const std::string& programDir) {
  return LUMI_DEFAULT_APPDATA_DIR[0] ? LUMI_DEFAULT_APPDATA_DIR : programDir;
}

std::string MakeTempDir() {
  char tmpl[] = "/tmp/lumi-paths-XXXXXX";
  return mkdtemp(tmpl);
}

}  // namespace

TEST(DataPaths, ProgramDirectoryAlone) {
  EnvGuard env;
  env.Set("LUMISAVER_PROGRAM_DIR", "/opt/P");
  env.Unset("LUMISAVER_APPDATA_DIR");
  CDataPaths paths;
  const std::string data = DefaultDataDir("/opt/P");
  EXPECT_EQ(U8(paths.programDir), "/opt/P");
  EXPECT_EQ(U8(paths.settingsPath), data + "/main.ini");
  EXPECT_EQ(U8(paths.logPath), data + "/log.txt");
  EXPECT_EQ(U8(paths.updaterPath), data + "/Brightmoor_updates.exe");
  EXPECT_EQ(U8(paths.modelDir), "/opt/P");
  EXPECT_EQ(paths.settingsExists, 0);
  BuildEntryPaths(&paths, 0);
  EXPECT_EQ(U8(paths.modelPath), "/opt/P//01.bin");
  EXPECT_EQ(U8(paths.texturePath), "/opt/P//01.bmp");
}

TEST(DataPaths, DataDirectoryApartFromProgram) {
  EnvGuard env;
  env.Set("LUMISAVER_PROGRAM_DIR", "/opt/P");
  env.Set("LUMISAVER_APPDATA_DIR", "/home/u/.lumi/");  // a trailing separator is kept
  CDataPaths paths;
  EXPECT_EQ(U8(paths.settingsPath), "/home/u/.lumi//main.ini");
  EXPECT_EQ(U8(paths.logPath), "/home/u/.lumi//log.txt");
  EXPECT_EQ(U8(paths.updaterPath), "/home/u/.lumi//Brightmoor_updates.exe");
  EXPECT_EQ(U8(paths.modelDir), "/opt/P");
}

TEST(DataPaths, EntryFileNames) {
  EnvGuard env;
  env.Set("LUMISAVER_PROGRAM_DIR", "/m");
  CDataPaths paths;
  const struct {
    int position;
    const char* model;
    const char* bitmap;
  } cases[] = {{0, "/m//01.bin", "/m//01.bmp"},
               {8, "/m//09.bin", "/m//09.bmp"},
               {9, "/m//10.bin", "/m//10.bmp"},
               {99, "/m//100.bin", "/m//100.bmp"}};
  for (const auto& c : cases) {
    BuildEntryPaths(&paths, c.position);
    EXPECT_EQ(U8(paths.modelPath), c.model);
    EXPECT_EQ(U8(paths.texturePath), c.bitmap);
  }
  BuildEntryPaths(nullptr, 3);  // harmless
}

TEST(DataPaths, SettingsFileMustOpenForReadingAndWriting) {
  const std::string dir = MakeTempDir();
  EnvGuard env;
  env.Set("LUMISAVER_PROGRAM_DIR", dir);
  env.Set("LUMISAVER_APPDATA_DIR", dir);
  EXPECT_EQ(CDataPaths().settingsExists, 0);
  ASSERT_EQ(::mkdir((dir + "/main.ini").c_str(), 0755), 0);
  EXPECT_EQ(CDataPaths().settingsExists, 0) << "a directory named main.ini";
  ::rmdir((dir + "/main.ini").c_str());
  std::ofstream(dir + "/main.ini") << "[SYSTEM]\n";
  EXPECT_EQ(CDataPaths().settingsExists, 1);
  if (::geteuid() != 0) {
    ::chmod((dir + "/main.ini").c_str(), 0444);
    EXPECT_EQ(CDataPaths().settingsExists, 0) << "read-only counts as absent";
  }
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(DataPaths, OverlongOrMissingValuesTakeTheFallbacks) {
  EnvGuard env;
  env.Set("LUMISAVER_PROGRAM_DIR", "/p");
  env.Set("LUMISAVER_APPDATA_DIR", "/" + std::string(258, 'd'));  // 259 units: fits
  EXPECT_EQ(text::Len(CDataPaths().settingsPath), 259u + 9u);
  env.Set("LUMISAVER_APPDATA_DIR", "/" + std::string(259, 'd'));  // 260: too long
  EXPECT_EQ(U8(CDataPaths().settingsPath), "/p/main.ini");

  // A program directory that leaves no room for the file names is not used:
  // cut paths would name other files.
  env.Unset("LUMISAVER_APPDATA_DIR");
  const std::string longDir = "/" + std::string(999, 'p');  // 1000 units: the most that fits
  env.Set("LUMISAVER_PROGRAM_DIR", longDir);
  {
    CDataPaths paths;
    EXPECT_EQ(U8(paths.programDir), longDir);
    EXPECT_EQ(U8(paths.updaterPath), DefaultDataDir(longDir) + "/Brightmoor_updates.exe");
    BuildEntryPaths(&paths, 99);
    EXPECT_EQ(U8(paths.modelPath), longDir + "//100.bin");
  }
  env.Set("LUMISAVER_PROGRAM_DIR", longDir + "p");
  EXPECT_EQ(U8(CDataPaths().programDir), ".");

  env.Unset("LUMISAVER_PROGRAM_DIR");
  CDataPaths paths;
  const std::string want = LUMI_DEFAULT_PROGRAM_DIR[0] ? LUMI_DEFAULT_PROGRAM_DIR : ".";
  EXPECT_EQ(U8(paths.programDir), want);
  EXPECT_EQ(U8(paths.settingsPath), DefaultDataDir(want) + "/main.ini");
}
