#include "settings/DataPaths.h"

#include "platform/Platform.h"
#include "platform/Text.h"

const char16_t kProgramKey[] = u"Software\\Veltrane Software\\Lumiscript";

namespace {
constexpr int kDataDirCapacity = 260;
// The longest name put behind a directory: separator + "Brightmoor_updates.exe"
// (the per-entry names, two separators + "100.bin", are shorter).
constexpr int kLongestName = 23;

void Join(char16_t* out, const char16_t* dir, const char16_t* name) {
  text::Format(out, kPathCapacity, u"%s%c%s", dir, int(plat::kPathSep), name);
}
}  // namespace

CDataPaths::CDataPaths() {
  // A directory that leaves no room for the file names would give cut paths
  // that name some other file; it counts as absent like an over-long value.
  const auto fits = [this] { return int(text::Len(programDir)) + kLongestName < kPathCapacity; };
  // An account without a program key of its own (another user of the
  // machine, or one that installed with an administrator's password) takes
  // the folder the setup wrote for every account, and keeps its settings and
  // log in its own application data. A key of its own, even one without a
  // usable default value, keeps its AppDataDir: that is where its settings are.
  const bool ownKey = plat::RegistryKeyExists(kProgramKey);
  const bool programFound =
      ownKey ? plat::ReadRegistryString(kProgramKey, u"", programDir, sizeof(programDir))
             : plat::ReadMachineRegistryString(kProgramKey, u"", programDir, sizeof(programDir));
  const bool machineWide = !ownKey && programFound;
  if (!programFound || !fits()) text::Copy(programDir, kPathCapacity, u".");

  // Sized for the fallback copy of the program directory, which may be longer
  // than the registry value's own 260 units.
  char16_t dataDir[kPathCapacity] = {};
  const bool dataFound =
      ownKey ? plat::ReadRegistryString(kProgramKey, u"AppDataDir", dataDir, kDataDirCapacity * sizeof(char16_t))
             : machineWide && plat::UserDataFolder(u"Lumiscript", dataDir, kDataDirCapacity);
  if (!dataFound) text::Copy(dataDir, kPathCapacity, programDir);

  settingsPath = new char16_t[kPathCapacity]();
  Join(settingsPath, dataDir, u"main.ini");
  settingsExists = plat::FileOpensReadWrite(settingsPath) ? 1 : 0;
  Join(logPath, dataDir, u"log.txt");
  Join(updaterPath, dataDir, u"Brightmoor_updates.exe");
  text::Copy(modelPath, kPathCapacity, programDir);
  text::Copy(modelDir, kPathCapacity, programDir);
  text::Copy(texturePath, kPathCapacity, programDir);
}

CDataPaths::~CDataPaths() { delete[] settingsPath; }

void BuildEntryPaths(CDataPaths* paths, int current) {
  if (!paths) return;
  const int n = current + 1;
  const int sep = int(plat::kPathSep);
  if (n < 10) {
    text::Format(paths->modelPath, kPathCapacity, u"%s%c%c0%d.bin", paths->modelDir, sep, sep, n);
    text::Format(paths->texturePath, kPathCapacity, u"%s%c%c0%d.bmp", paths->modelDir, sep, sep, n);
  } else {
    text::Format(paths->modelPath, kPathCapacity, u"%s%c%c%d.bin", paths->modelDir, sep, sep, n);
    text::Format(paths->texturePath, kPathCapacity, u"%s%c%c%d.bmp", paths->modelDir, sep, sep, n);
  }
}
