#include "settings/Settings.h"

#include "hub/Application.h"
#include "content/ContentList.h"
#include "log/Log.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "settings/DataPaths.h"
#include "settings/Overrides.h"

namespace {

constexpr uint32_t kTextUnits = 85;  // 84 characters and the terminator

int GetInt(const char16_t* section, const char16_t* key, const char16_t* path) {
  return plat::ProfileGetInt(section, key, 0, path);
}

void GetText(const char16_t* section, const char16_t* key, char16_t* field, const char16_t* path) {
  plat::ProfileGetString(section, key, u"NULL", field, kTextUnits, path);
}

}  // namespace

void ReadSettings(CApplication* app) {
  if (!app || !app->paths) return;
  const char16_t* path = app->paths->settingsPath;
  app->proxyEnabled = GetInt(u"PROXY", u"Enabled", path);
  GetText(u"PROXY", u"Server", app->proxyServer, path);
  app->proxyPort = GetInt(u"PROXY", u"Port", path);
  const int logLevel = GetInt(u"SYSTEM", u"Log", path);
  if (app->log) app->log->level = logLevel;
  app->fsaaMode = GetInt(u"SYSTEM", u"FSAAmode", path);
  GetText(u"SYSTEM", u"Font", app->font, path);
  app->lastUpdateDate = GetInt(u"SYSTEM", u"LastUpdateDate", path);
  app->autoUpdate = GetInt(u"SYSTEM", u"AutoUpdate", path);
  app->lastReceiveDate = GetInt(u"SYSTEM", u"LastReceiveDate", path);
  app->numFirstQuote = GetInt(u"SYSTEM", u"NumFirstQuote", path);
  app->displayMyFavorites = GetInt(u"SYSTEM", u"DisplayMyFavorites", path);
  app->displayQoD = GetInt(u"SYSTEM", u"DisplayQoD", path);
  app->displayAll = GetInt(u"SYSTEM", u"DisplayAll", path);
  app->lastNum = GetInt(u"SYSTEM", u"LastNum", path);
  GetText(u"LOCALIZATION", u"LocaleName", app->localeName, path);
  GetText(u"LOCALIZATION", u"DateFormat", app->dateFormat, path);
}

namespace {

constexpr unsigned kAllKeys = ~0u;

// The keys in the order a whole save writes them; those without a SettingKey
// bit are written only by a whole save. True when every write went through.
bool WriteKeys(CApplication* app, const char16_t* path, unsigned keys) {
  bool ok = true;
  const auto put = [&](unsigned key, const char16_t* section, const char16_t* name, const char16_t* value) {
    if (keys == kAllKeys || (keys & key) != 0) ok = plat::ProfileWriteString(section, name, value, path) && ok;
  };
  const auto putInt = [&](unsigned key, const char16_t* section, const char16_t* name, int value) {
    char16_t number[16];
    text::Format(number, 16, u"%d", value);
    put(key, section, name, number);
  };
  putInt(kSettingProxyEnabled, u"PROXY", u"Enabled", app->proxyEnabled);
  put(kSettingProxyServer, u"PROXY", u"Server", app->proxyServer);
  putInt(kSettingProxyPort, u"PROXY", u"Port", app->proxyPort);
  put(0, u"DATA", u"UseLocal", u"-1");
  put(0, u"DATA", u"UseWeb", u"-1");
  put(kSettingLocaleName, u"LOCALIZATION", u"LocaleName", app->localeName);
  put(0, u"LOCALIZATION", u"DateFormat", app->dateFormat);
  putInt(kSettingLog, u"SYSTEM", u"Log", app->log ? app->log->level.load() : 0);
  putInt(kSettingFsaaMode, u"SYSTEM", u"FSAAmode", app->fsaaMode);
  put(kSettingFont, u"SYSTEM", u"Font", app->font);
  putInt(0, u"SYSTEM", u"LastUpdateDate", app->lastUpdateDate);
  putInt(kSettingAutoUpdate, u"SYSTEM", u"AutoUpdate", app->autoUpdate);
  putInt(0, u"SYSTEM", u"LastReceiveDate", app->lastReceiveDate);
  putInt(0, u"SYSTEM", u"NumFirstQuote", app->numFirstQuote);
  putInt(0, u"SYSTEM", u"DisplayMyFavorites", app->displayMyFavorites);
  putInt(0, u"SYSTEM", u"DisplayQoD", app->displayQoD);
  putInt(0, u"SYSTEM", u"DisplayAll", app->displayAll);
  putInt(0, u"SYSTEM", u"LastNum", app->lastNum);
  return ok;
}

// A file the user made read-only counts as absent at start-up; writing the
// first-run values over it would lose what it holds, at every start.
bool Writable(CApplication* app, const char16_t* path) {
  if (!plat::ProfileFileWritable(path)) {
    if (app->log) app->log->Write(u"SaveSettings: %s cannot be opened for writing; settings not saved", path);
    return false;
  }
  const char16_t* risk = plat::ProfileWriteRisk(path);
  if (risk == nullptr) return true;
  if (app->log) app->log->Write(u"SaveSettings: %s is %s; left as it is, settings not saved", path, risk);
  return false;
}

}  // namespace

bool SaveSettings(CApplication* app) {
  if (!app || !app->paths) return true;
  if (app->contentList) app->lastNum = app->contentList->current;
  const char16_t* path = app->paths->settingsPath;
  if (!Writable(app, path)) return false;
  const UserSettingsScope own(app);
  WriteKeys(app, path, kAllKeys);
  return true;
}

bool SaveSettingKeys(CApplication* app, unsigned keys) {
  if (!app || !app->paths) return false;
  const char16_t* path = app->paths->settingsPath;
  if (!Writable(app, path)) return false;
  const UserSettingsScope own(app);
  if (plat::FileOpensReadWrite(path)) return WriteKeys(app, path, keys);
  if (app->contentList) app->lastNum = app->contentList->current;
  return WriteKeys(app, path, kAllKeys);
}
