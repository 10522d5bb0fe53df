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

void PutInt(const char16_t* section, const char16_t* key, int value, const char16_t* path) {
  char16_t number[16];
  text::Format(number, 16, u"%d", value);
  plat::ProfileWriteString(section, key, number, path);
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

bool SaveSettings(CApplication* app) {
  if (!app || !app->paths) return true;
  if (app->contentList) app->lastNum = app->contentList->current;
  const char16_t* path = app->paths->settingsPath;
  // A file the user made read-only counts as absent at start-up; writing the
  // first-run values over it would lose what it holds, at every start.
  if (!plat::ProfileFileWritable(path)) {
    if (app->log) app->log->Write(u"SaveSettings: %s cannot be opened for writing; settings not saved", path);
    return false;
  }
  const UserSettingsScope own(app);
  PutInt(u"PROXY", u"Enabled", app->proxyEnabled, path);
  plat::ProfileWriteString(u"PROXY", u"Server", app->proxyServer, path);
  PutInt(u"PROXY", u"Port", app->proxyPort, path);
  plat::ProfileWriteString(u"DATA", u"UseLocal", u"-1", path);
  plat::ProfileWriteString(u"DATA", u"UseWeb", u"-1", path);
  plat::ProfileWriteString(u"LOCALIZATION", u"LocaleName", app->localeName, path);
  plat::ProfileWriteString(u"LOCALIZATION", u"DateFormat", app->dateFormat, path);
  PutInt(u"SYSTEM", u"Log", app->log ? app->log->level.load() : 0, path);
  PutInt(u"SYSTEM", u"FSAAmode", app->fsaaMode, path);
  plat::ProfileWriteString(u"SYSTEM", u"Font", app->font, path);
  PutInt(u"SYSTEM", u"LastUpdateDate", app->lastUpdateDate, path);
  PutInt(u"SYSTEM", u"AutoUpdate", app->autoUpdate, path);
  PutInt(u"SYSTEM", u"LastReceiveDate", app->lastReceiveDate, path);
  PutInt(u"SYSTEM", u"NumFirstQuote", app->numFirstQuote, path);
  PutInt(u"SYSTEM", u"DisplayMyFavorites", app->displayMyFavorites, path);
  PutInt(u"SYSTEM", u"DisplayQoD", app->displayQoD, path);
  PutInt(u"SYSTEM", u"DisplayAll", app->displayAll, path);
  PutInt(u"SYSTEM", u"LastNum", app->lastNum, path);
  return true;
}
