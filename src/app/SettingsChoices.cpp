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

// -1 for anything but 1 to 5 decimal digits of at most 65535; 0 when empty.
int PortValue(const std::u16string& port) {
  if (port.empty()) return 0;
  if (port.size() > 5) return -1;
  int value = 0;
  for (const char16_t c : port) {
    if (c < u'0' || c > u'9') return -1;
    value = value * 10 + (c - u'0');
  }
  return value <= 65535 ? value : -1;
}

const SettingsDialogTexts kEnglish = {
    u"Lumiscript",
    u"&Language of the text line:",
    {u"English", u"Русский"},
    u"&Font of the text line:",
    u"&Anti-aliasing:",
    {u"Off", u"2 samples", u"4 samples", u"8 samples"},
    u"Check for a new version &daily",
    u"Write a &log",
    u"Proxy server",
    u"&Use a proxy server",
    u"&Address:",
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
    u"&Ежедневно проверять наличие новой версии",
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
  if (c.proxyServer.size() > kChoiceTextUnits) return ChoiceProblem::ServerInvalid;
  for (const char16_t ch : c.proxyServer)
    if (ch <= u' ' || ch == 0x7F) return ChoiceProblem::ServerInvalid;
  const int port = PortValue(c.proxyPort);
  if (port < 0) return ChoiceProblem::PortInvalid;
  // A disabled proxy may keep an incomplete address for later.
  if (c.proxyEnabled && c.proxyServer.empty()) return ChoiceProblem::ServerMissing;
  if (c.proxyEnabled && port == 0) return ChoiceProblem::PortInvalid;
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
  if (chosen.proxyServer != shown.proxyServer) {
    text::Copy(app->proxyServer, sizeof app->proxyServer / sizeof app->proxyServer[0], chosen.proxyServer.c_str());
    keys |= kSettingProxyServer;
  }
  if (chosen.proxyPort != shown.proxyPort) {
    app->proxyPort = PortValue(chosen.proxyPort);
    keys |= kSettingProxyPort;
  }
  return keys;
}

const SettingsDialogTexts& DialogTexts(bool russian) { return russian ? kRussian : kEnglish; }
