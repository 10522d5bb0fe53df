#pragma once
// Settings given for one run on the command line (the native program's
// option table). They take the place of what main.ini says while the program
// runs; a save writes the user's own values, so the file never learns them.
class CApplication;

struct SettingOverrides {
  bool hasLocale = false;
  char16_t localeName[85] = {};
  bool hasFont = false;
  char16_t font[85] = {};
  bool hasFsaa = false;
  int fsaaMode = 0;
  bool hasLog = false;
  int logLevel = 0;
  // True while the application holds the run's values and this record the
  // user's (see ApplyOverrides).
  bool applied = false;
};

// The overrides of this process: filled by the program entry, empty where
// the command line has none (always on Windows).
SettingOverrides& RunOverrides();

// Each takes the value of one setting option (null when the command line
// ends) into the record: null when taken, else what the value must be.
const char* TakeLanguage(const char* value, SettingOverrides* out);  // english | russian
const char* TakeFont(const char* value, SettingOverrides* out);
const char* TakeFsaa(const char* value, SettingOverrides* out);
const char* TakeLog(const char* value, SettingOverrides* out);

// Swaps each given setting between the application and the record: after the
// first call the application runs with the command line's values and the
// record keeps the user's; a second call puts them back.
void ApplyOverrides(CApplication* app, SettingOverrides* overrides);

// For the length of a save: the application holds the user's own values
// (those of app->overrides, when it has been applied).
class UserSettingsScope {
 public:
  explicit UserSettingsScope(CApplication* app);
  ~UserSettingsScope();
  UserSettingsScope(const UserSettingsScope&) = delete;
  UserSettingsScope& operator=(const UserSettingsScope&) = delete;

 private:
  CApplication* app_;
  bool swapped_ = false;
};
