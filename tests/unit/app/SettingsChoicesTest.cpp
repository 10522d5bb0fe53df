#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Application.h"
#include "app/SettingsChoices.h"
#include "content/ContentList.h"
#include "log/Log.h"
#include "platform/Text.h"
#include "settings/Settings.h"

namespace {

namespace fs = std::filesystem;

class SettingsChoicesTest : public ::testing::Test {
 protected:
  void Open(const std::string& ini) {
    char pattern[] = "/tmp/lumi-choices-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::ofstream(dir_ / "main.ini") << ini;
    setenv("LUMISAVER_APPDATA_DIR", dir_.c_str(), 1);
    setenv("LUMISAVER_PROGRAM_DIR", dir_.c_str(), 1);
    app_ = new CApplication(ModeSettings, 0);
  }
  void TearDown() override {
    DestroyApplication(app_);
    fs::remove_all(dir_);
  }
  fs::path dir_;
  CApplication* app_ = nullptr;
};

TEST(SampleChoices, AModeShowsAsTheLeastChoiceNotBelowIt) {
  const int modes[] = {-4, 0, 1, 2, 3, 4, 5, 8, 16};
  const int shown[] = {0, 0, 2, 2, 4, 4, 8, 8, 8};
  for (size_t i = 0; i < std::size(modes); ++i)
    EXPECT_EQ(kSampleChoices[SampleChoiceOf(modes[i])], shown[i]) << "FSAAmode=" << modes[i];
}

TEST_F(SettingsChoicesTest, TheFileShowsAsChoicesAndOnlyChangedOnesComeBack) {
  Open("[PROXY]\nEnabled=1\nPort=3128\n[LOCALIZATION]\nLocaleName=Русский\n"
       "[SYSTEM]\nLog=3\nFSAAmode=3\nFont=Amiri\nAutoUpdate=0\n");
  const SettingsChoices shown = ChoicesOf(*app_);
  EXPECT_TRUE(shown.russian);
  EXPECT_EQ(text::ToUtf8(shown.font), "Amiri");
  EXPECT_EQ(kSampleChoices[shown.samples], 4);
  EXPECT_TRUE(shown.log);
  EXPECT_FALSE(shown.autoUpdate);
  EXPECT_TRUE(shown.proxyEnabled);
  EXPECT_EQ(shown.proxyServer, u"") << "a missing key is not shown as its NULL placeholder";
  EXPECT_EQ(shown.proxyPort, u"3128");

  EXPECT_EQ(ApplyChoices(shown, shown, app_), 0u);
  EXPECT_EQ(app_->fsaaMode, 3);
  EXPECT_EQ(app_->log->level, 3);

  SettingsChoices chosen = shown;
  chosen.russian = false;
  chosen.samples = 3;
  chosen.proxyServer = u"proxy.lan";
  chosen.proxyPort = u"8080";
  EXPECT_EQ(ApplyChoices(shown, chosen, app_), kSettingLocaleName | kSettingFsaaMode | kSettingProxyServer |
                                                   kSettingProxyPort);
  EXPECT_EQ(text::ToUtf8(app_->localeName), "English");
  EXPECT_EQ(app_->fsaaMode, 8);
  EXPECT_EQ(app_->proxyPort, 8080);
  EXPECT_EQ(text::ToUtf8(app_->proxyServer), "proxy.lan");
  EXPECT_EQ(app_->log->level, 3);
}

TEST_F(SettingsChoicesTest, ChoicesReachTheApplicationOnlyWithASuccessfulSave) {
  Open("[PROXY]\nEnabled=0\nPort=-1\n[LOCALIZATION]\nLocaleName=English\n[SYSTEM]\nFSAAmode=3\nLog=3\nFont=Amiri\n");
  const SettingsChoices shown = ChoicesOf(*app_);
  EXPECT_EQ(CheckChoices(shown), ChoiceProblem::None) << "the greyed-out Port=-1 blocks nothing";
  static unsigned savedKeys;
  static int calls;
  savedKeys = 0, calls = 0;
  const auto failing = [](CApplication*, unsigned keys) { return ++calls, savedKeys = keys, false; };
  const auto working = [](CApplication*, unsigned keys) { return ++calls, savedKeys = keys, true; };

  EXPECT_TRUE(CommitChoices(shown, shown, true, app_, failing)) << "nothing changed: nothing to write";
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(CommitChoices(shown, shown, false, app_, failing)) << "no file yet: the first one is written";
  EXPECT_EQ(calls, 1);

  SettingsChoices chosen = shown;
  chosen.russian = true;
  chosen.samples = 0;
  chosen.log = false;
  chosen.proxyPort = u"70000";  // typed while enabled, then the proxy turned off again
  EXPECT_EQ(CheckChoices(chosen), ChoiceProblem::None);
  EXPECT_FALSE(CommitChoices(shown, chosen, true, app_, failing));
  EXPECT_EQ(savedKeys, kSettingLocaleName | kSettingFsaaMode | kSettingLog) << "a port that cannot be stored stays";
  EXPECT_EQ(text::ToUtf8(app_->localeName), "English") << "a failed save leaves the values in use";
  EXPECT_EQ(app_->fsaaMode, 3);
  EXPECT_EQ(app_->log->level, 3);
  EXPECT_EQ(app_->proxyPort, -1);
  EXPECT_TRUE(CommitChoices(shown, chosen, true, app_, working));
  EXPECT_EQ(std::u16string(app_->localeName), kRussianLocaleName);
  EXPECT_EQ(app_->fsaaMode, 0);
  EXPECT_EQ(app_->proxyPort, -1);
}

TEST(SettingsChoicesCheck, AProxyInUseNeedsAnAddressAndAPort) {
  SettingsChoices c;
  c.font = u"Georgia";
  EXPECT_EQ(CheckChoices(c), ChoiceProblem::None) << "no proxy, nothing to fill in";
  c.proxyServer = u"half typed";
  c.proxyPort = u"-1";
  EXPECT_EQ(CheckChoices(c), ChoiceProblem::None) << "greyed-out fields are not checked";
  c.proxyServer.clear();
  c.proxyPort.clear();
  c.proxyEnabled = true;
  EXPECT_EQ(CheckChoices(c), ChoiceProblem::ServerMissing);
  c.proxyServer = u"proxy lan";
  EXPECT_EQ(CheckChoices(c), ChoiceProblem::ServerInvalid);
  c.proxyServer = u"proxy.lan";
  EXPECT_EQ(CheckChoices(c), ChoiceProblem::PortInvalid);
  for (const char16_t* port : {u"0", u"65536", u"12a", u"123456"}) {
    c.proxyPort = port;
    EXPECT_EQ(CheckChoices(c), ChoiceProblem::PortInvalid) << text::ToUtf8(port);
  }
  c.proxyPort = u"65535";
  EXPECT_EQ(CheckChoices(c), ChoiceProblem::None);
  c.proxyServer = std::u16string(kChoiceTextUnits + 1, u'a');
  EXPECT_EQ(CheckChoices(c), ChoiceProblem::ServerInvalid);
  c.proxyServer = u"proxy.lan";
  c.font.clear();
  EXPECT_EQ(CheckChoices(c), ChoiceProblem::FontMissing);
}

TEST(SettingsDialogTexts, EveryTextIsTranslated) {
  const SettingsDialogTexts& en = DialogTexts(false);
  const SettingsDialogTexts& ru = DialogTexts(true);
  EXPECT_EQ(std::u16string(ru.title), u"Lumiscript");
  const char16_t* const pairs[][2] = {
      {en.language, ru.language}, {en.font, ru.font},       {en.antialiasing, ru.antialiasing},
      {en.samples[0], ru.samples[0]}, {en.autoUpdate, ru.autoUpdate}, {en.log, ru.log},
      {en.proxy, ru.proxy},       {en.useProxy, ru.useProxy}, {en.server, ru.server},
      {en.port, ru.port},         {en.cancel, ru.cancel},   {en.saveFailed, ru.saveFailed},
      {en.problems[1], ru.problems[1]}, {en.problems[4], ru.problems[4]}};
  for (const auto& pair : pairs) {
    EXPECT_NE(std::u16string(pair[0]), std::u16string(pair[1])) << text::ToUtf8(pair[0]);
    EXPECT_FALSE(std::u16string(pair[1]).empty());
  }
  EXPECT_EQ(std::u16string(en.autoUpdate), u"Look for a new version at every &start");
}

// Alt and a letter reach one control only when no other label of the same
// dialog marks that letter.
TEST(SettingsDialogTexts, AccessKeysAreUniqueInEachLanguage) {
  for (const bool russian : {false, true}) {
    const SettingsDialogTexts& t = DialogTexts(russian);
    std::u16string keys;
    for (const char16_t* label : {t.language, t.font, t.antialiasing, t.autoUpdate, t.log, t.proxy, t.useProxy,
                                  t.server, t.port, t.ok, t.cancel}) {
      const std::u16string text(label);
      const size_t amp = text.find(u'&');
      if (amp == std::u16string::npos || amp + 1 >= text.size()) continue;
      char16_t key = text[amp + 1];
      if (key >= u'a' && key <= u'z') key = char16_t(key - u'a' + u'A');
      if (key >= u'а' && key <= u'я') key = char16_t(key - u'а' + u'А');
      EXPECT_EQ(keys.find(key), std::u16string::npos) << text::ToUtf8(label) << (russian ? " (Russian)" : "");
      keys += key;
    }
    EXPECT_GE(keys.size(), 8u) << "every field has its key";
  }
}

}  // namespace
