#include "app/SettingsChoices.h"

#include "content/ContentList.h"
#include "log/Log.h"
#include "platform/Text.h"
#include "settings/Settings.h"

namespace {

// A missing text key reads as this; the dialog shows it as empty.
constexpr char16_t kMissingText[] = u"NULL";

std::u16string Shown(const char16_t* value) {
  const std::u16string text(value);
  return text == kMissingText ? std::u16string() : text;
}

bool LogOn(int level) { return level == 1 || level == 3; }

// -1 for anything but a number of at most 65535; 0 when empty.
int PortValue(const std::u16string& port) {
  int value = port.empty() ? 0 : -1;
  if (!port.empty() && !text::ParseBoundedInt(port.c_str(), 0, 65535, &value)) return -1;
  return value;
}

bool ServerValid(const std::u16string& server) {
  if (server.size() > kChoiceTextUnits) return false;
  for (const char16_t ch : server)
    if (ch <= u' ' || ch == 0x7F) return false;
  return true;
}

// The values ApplyChoices may change, put back after a failed save.
class HeldChoices {
 public:
  explicit HeldChoices(const CApplication& app)
      : fsaaMode_(app.fsaaMode), autoUpdate_(app.autoUpdate), logLevel_(app.log ? app.log->level.load() : 0),
        proxyEnabled_(app.proxyEnabled), proxyPort_(app.proxyPort) {
    text::Copy(localeName_, std::size(localeName_), app.localeName);
    text::Copy(font_, std::size(font_), app.font);
    text::Copy(proxyServer_, std::size(proxyServer_), app.proxyServer);
  }
  void Restore(CApplication* app) const {
    app->fsaaMode = fsaaMode_;
    app->autoUpdate = autoUpdate_;
    if (app->log) app->log->level = logLevel_;
    app->proxyEnabled = proxyEnabled_;
    app->proxyPort = proxyPort_;
    text::Copy(app->localeName, std::size(app->localeName), localeName_);
    text::Copy(app->font, std::size(app->font), font_);
    text::Copy(app->proxyServer, std::size(app->proxyServer), proxyServer_);
  }

 private:
  int fsaaMode_, autoUpdate_, logLevel_, proxyEnabled_, proxyPort_;
  char16_t localeName_[sizeof CApplication::localeName / sizeof(char16_t)];
  char16_t font_[sizeof CApplication::font / sizeof(char16_t)];
  char16_t proxyServer_[sizeof CApplication::proxyServer / sizeof(char16_t)];
};

const SettingsDialogTexts kEnglish = {
    u"Lumiscript",
    u"&Language of the text line:",
    {u"English", u"Русский"},
    u"&Font of the text line:",
    u"&Anti-aliasing:",
    {u"Off", u"2 samples", u"4 samples", u"8 samples"},
    u"Look for a new version at every &start",
    u"Write a lo&g",
    u"Proxy server",
    u"&Use a proxy server",
    u"Add&ress:",
    u"&Port:",
    u"OK",
    u"Cancel",
    {u"", u"Choose a font.", u"Enter the proxy server's address.",
     u"The proxy server's address must not contain spaces.", u"The port must be a number from 1 to 65535."},
    u"The settings could not be saved to %s.",
};

const SettingsDialogTexts kRussian = {
    u"Lumiscript",
    u"&Язык строки текста:",
    {u"English", u"Русский"},
    u"&Шрифт строки текста:",
    u"&Сглаживание:",
    {u"Выкл.", u"2 выборки", u"4 выборки", u"8 выборок"},
    u"Искать новую версию при каждом &запуске",
    u"Вести &журнал",
    u"Прокси-сервер",
    u"&Использовать прокси-сервер",
    u"&Адрес:",
    u"&Порт:",
    u"ОК",
    u"Отмена",
    {u"", u"Выберите шрифт.", u"Введите адрес прокси-сервера.",
     u"Адрес прокси-сервера не должен содержать пробелов.", u"Порт должен быть числом от 1 до 65535."},
    u"Не удалось сохранить настройки в %s.",
};

}  // namespace

int SampleChoiceOf(int fsaaMode) {
  for (int i = 0; i < kSampleChoiceCount; ++i)
    if (fsaaMode <= kSampleChoices[i]) return i;
  return kSampleChoiceCount - 1;
}

SettingsChoices ChoicesOf(const CApplication& app) {
  SettingsChoices c;
  c.russian = IsRussianLocaleName(app.localeName, sizeof app.localeName / sizeof app.localeName[0]);
  c.font = Shown(app.font);
  c.samples = SampleChoiceOf(app.fsaaMode);
  c.autoUpdate = app.autoUpdate != 0;
  c.log = app.log != nullptr && LogOn(app.log->level);
  c.proxyEnabled = app.proxyEnabled != 0;
  c.proxyServer = Shown(app.proxyServer);
  if (app.proxyPort != 0) {
    char16_t number[16];
    text::Format(number, 16, u"%d", app.proxyPort);
    c.proxyPort = number;
  }
  return c;
}

ChoiceProblem CheckChoices(const SettingsChoices& c) {
  if (c.font.empty() || c.font.size() > kChoiceTextUnits) return ChoiceProblem::FontMissing;
  // The fields of a disabled proxy are greyed out: whatever they hold (an
  // incomplete address kept for later, Port=-1 from the file) is no problem.
  if (!c.proxyEnabled) return ChoiceProblem::None;
  if (!ServerValid(c.proxyServer)) return ChoiceProblem::ServerInvalid;
  if (c.proxyServer.empty()) return ChoiceProblem::ServerMissing;
  if (PortValue(c.proxyPort) <= 0) return ChoiceProblem::PortInvalid;
  return ChoiceProblem::None;
}

unsigned ApplyChoices(const SettingsChoices& shown, const SettingsChoices& chosen, CApplication* app) {
  unsigned keys = 0;
  if (chosen.russian != shown.russian) {
    text::Copy(app->localeName, sizeof app->localeName / sizeof app->localeName[0],
               chosen.russian ? kRussianLocaleName : u"English");
    keys |= kSettingLocaleName;
  }
  if (chosen.font != shown.font) {
    text::Copy(app->font, sizeof app->font / sizeof app->font[0], chosen.font.c_str());
    keys |= kSettingFont;
  }
  if (chosen.samples != shown.samples) {
    app->fsaaMode = kSampleChoices[chosen.samples];
    keys |= kSettingFsaaMode;
  }
  if (chosen.autoUpdate != shown.autoUpdate) {
    app->autoUpdate = chosen.autoUpdate ? 1 : 0;
    keys |= kSettingAutoUpdate;
  }
  if (chosen.log != shown.log && app->log != nullptr) {
    app->log->level = chosen.log ? 1 : 0;
    keys |= kSettingLog;
  }
  if (chosen.proxyEnabled != shown.proxyEnabled) {
    app->proxyEnabled = chosen.proxyEnabled ? 1 : 0;
    keys |= kSettingProxyEnabled;
  }
  // A disabled proxy's fields are not checked; what cannot be stored stays
  // as the file has it.
  if (chosen.proxyServer != shown.proxyServer && ServerValid(chosen.proxyServer)) {
    text::Copy(app->proxyServer, sizeof app->proxyServer / sizeof app->proxyServer[0], chosen.proxyServer.c_str());
    keys |= kSettingProxyServer;
  }
  if (chosen.proxyPort != shown.proxyPort && PortValue(chosen.proxyPort) >= 0) {
    app->proxyPort = PortValue(chosen.proxyPort);
    keys |= kSettingProxyPort;
  }
  return keys;
}

bool CommitChoices(const SettingsChoices& shown, const SettingsChoices& chosen, bool fileExists, CApplication* app,
                   bool (*save)(CApplication*, unsigned keys)) {
  const HeldChoices held(*app);
  const unsigned keys = ApplyChoices(shown, chosen, app);
  if (keys == 0 && fileExists) return true;
  if (save(app, keys)) return true;
  held.Restore(app);
  return false;
}

const SettingsDialogTexts& DialogTexts(bool russian) { return russian ? kRussian : kEnglish; }
