#include "settings/Overrides.h"

#include <string>
#include <utility>

#include "hub/Application.h"
#include "log/Log.h"
#include "platform/Text.h"

namespace {

constexpr size_t kTextUnits = 85;  // 84 characters and the terminator, as main.ini's texts

void SwapText(char16_t* a, char16_t* b) {
  char16_t held[kTextUnits];
  text::Copy(held, kTextUnits, a);
  text::Copy(a, kTextUnits, b);
  text::Copy(b, kTextUnits, held);
}

}  // namespace

SettingOverrides& RunOverrides() {
  static SettingOverrides overrides;
  return overrides;
}

const char* TakeLanguage(const char* value, SettingOverrides* out) {
  // The two tables the program has; LocaleName decides between them the
  // same way.
  const std::u16string asked = value != nullptr ? text::FromUtf8(value) : std::u16string();
  const char16_t* locale = nullptr;
  if (text::EqualsNoCase(asked.c_str(), u"english")) locale = u"English";
  if (text::EqualsNoCase(asked.c_str(), u"russian")) locale = u"Русский";
  if (locale == nullptr) return "english or russian";
  text::Copy(out->localeName, kTextUnits, locale);
  out->hasLocale = true;
  return nullptr;
}

const char* TakeFont(const char* value, SettingOverrides* out) {
  const std::u16string face = value != nullptr ? text::FromUtf8(value) : std::u16string();
  if (face.empty() || face.size() >= kTextUnits) return "a font name of 1 to 84 characters";
  text::Copy(out->font, kTextUnits, face.c_str());
  out->hasFont = true;
  return nullptr;
}

const char* TakeFsaa(const char* value, SettingOverrides* out) {
  if (!text::ParseBoundedInt(value, 0, 64, &out->fsaaMode)) return "a sample count from 0 (off) to 64";
  out->hasFsaa = true;
  return nullptr;
}

const char* TakeLog(const char* value, SettingOverrides* out) {
  if (!text::ParseBoundedInt(value, 0, 1, &out->logLevel)) return "0 (off) or 1 (on)";
  out->hasLog = true;
  return nullptr;
}

void ApplyOverrides(CApplication* app, SettingOverrides* overrides) {
  if (app == nullptr || overrides == nullptr) return;
  if (overrides->hasLocale) SwapText(app->localeName, overrides->localeName);
  if (overrides->hasFont) SwapText(app->font, overrides->font);
  if (overrides->hasFsaa) std::swap(app->fsaaMode, overrides->fsaaMode);
  if (overrides->hasLog && app->log != nullptr) overrides->logLevel = app->log->level.exchange(overrides->logLevel);
  overrides->applied = !overrides->applied;
}

UserSettingsScope::UserSettingsScope(CApplication* app) : app_(app) {
  if (app_ != nullptr && app_->overrides != nullptr && app_->overrides->applied) {
    ApplyOverrides(app_, app_->overrides);
    swapped_ = true;
  }
}

UserSettingsScope::~UserSettingsScope() {
  if (swapped_) ApplyOverrides(app_, app_->overrides);
}
