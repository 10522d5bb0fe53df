#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Application.h"
#include "app/SettingsChoices.h"
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

TEST(SettingsChoicesCheck, AProxyInUseNeedsAnAddressAndAPort) {
  SettingsChoices c;
  c.font = u"Georgia";
  EXPECT_EQ(CheckChoices(c), ChoiceProblem::None) << "no proxy, nothing to fill in";
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
}

}  // namespace
