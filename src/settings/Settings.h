#pragma once
// The settings file read at start-up and saved at fixed points.
class CApplication;
// Reads every setting in the documented order (start-up, settings file exists).
void ReadSettings(CApplication* app);
// Writes all 18 keys; returns true (write results are not examined), or false
// without touching the file when it exists but cannot be opened for writing.
bool SaveSettings(CApplication* app);

// The keys the settings dialog edits, for a save limited to them.
enum SettingKey : unsigned {
  kSettingProxyEnabled = 1u << 0,
  kSettingProxyServer = 1u << 1,
  kSettingProxyPort = 1u << 2,
  kSettingLocaleName = 1u << 3,
  kSettingLog = 1u << 4,
  kSettingFsaaMode = 1u << 5,
  kSettingFont = 1u << 6,
  kSettingAutoUpdate = 1u << 7,
};
// Writes the given keys (SettingKey bits) of an existing file, leaving every
// other key and line as it is; where there is no file yet, all 18, as the
// first settings file. False when the file cannot be written or a write
// failed; a file that cannot be opened for writing is left untouched.
bool SaveSettingKeys(CApplication* app, unsigned keys);
