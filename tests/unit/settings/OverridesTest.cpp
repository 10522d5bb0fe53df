#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "hub/Application.h"
#include "log/Log.h"
#include "platform/Text.h"
#include "settings/DataPaths.h"
#include "settings/Overrides.h"
#include "settings/Settings.h"
#include "unit/settings/ProgramDirTest.h"

namespace {

std::string U8(const char16_t* s) { return text::ToUtf8(s); }

TEST(SettingOptions, EitherDashSpellingNamesTheOption) {
  EXPECT_STREQ(DashedOptionName("-font"), "font");
  EXPECT_STREQ(DashedOptionName("--font"), "font");
  EXPECT_STREQ(DashedOptionName("-window-id"), "window-id");
  for (const char* notOne : {"font", "/s", "-", "--", "---font", ""}) {
    EXPECT_EQ(DashedOptionName(notOne), nullptr) << notOne;
  }
  EXPECT_EQ(DashedOptionName(nullptr), nullptr);
}

TEST(SettingOptions, ValuesAreCheckedAndOnlyGoodOnesTaken) {
  SettingOverrides o;
  const char* why = nullptr;
  EXPECT_EQ(TakeSettingOption("language", "Russian", &o, &why), SettingOption::Taken);
  EXPECT_EQ(U8(o.localeName), "Русский");
  EXPECT_EQ(TakeSettingOption("language", "english", &o, &why), SettingOption::Taken);
  EXPECT_EQ(U8(o.localeName), "English");
  EXPECT_EQ(TakeSettingOption("font", "DejaVu Sans", &o, &why), SettingOption::Taken);
  EXPECT_EQ(U8(o.font), "DejaVu Sans");
  EXPECT_EQ(TakeSettingOption("font", std::string(84, 'f').c_str(), &o, &why), SettingOption::Taken);
  EXPECT_EQ(TakeSettingOption("fsaa", "64", &o, &why), SettingOption::Taken);
  EXPECT_EQ(o.fsaaMode, 64);
  EXPECT_EQ(TakeSettingOption("log", "0", &o, &why), SettingOption::Taken);
  EXPECT_TRUE(o.hasLocale && o.hasFont && o.hasFsaa && o.hasLog);

  SettingOverrides bad;
  const std::string tooLong(85, 'f');
  const struct {
    const char* name;
    const char* value;
  } refused[] = {{"language", "German"}, {"language", nullptr}, {"font", ""},
                 {"font", tooLong.c_str()}, {"fsaa", "65"}, {"fsaa", "-1"},
                 {"fsaa", "4x"}, {"fsaa", ""}, {"log", "3"}, {"log", nullptr},
                 {"fsaa", "99999999999999999999"}};
  for (const auto& r : refused) {
    why = nullptr;
    EXPECT_EQ(TakeSettingOption(r.name, r.value, &bad, &why), SettingOption::Refused) << r.name;
    EXPECT_NE(why, nullptr);
  }
  EXPECT_FALSE(bad.hasLocale || bad.hasFont || bad.hasFsaa || bad.hasLog);
  EXPECT_EQ(TakeSettingOption("window", "x", &bad, nullptr), SettingOption::NotOne);
  EXPECT_EQ(TakeSettingOption(nullptr, "x", &bad, nullptr), SettingOption::NotOne);
}

class OverriddenRun : public ProgramDirTest {
 protected:
  OverriddenRun() : ProgramDirTest(ModeFullScreen) {}
  void SetUp() override {
    ProgramDirTest::SetUp();
    Write("[LOCALIZATION]\nLocaleName=English\n[SYSTEM]\nLog=0\nFSAAmode=3\nFont=Georgia\nLastNum=4\n");
    app_.paths = new CDataPaths;
    app_.log = new CLog(app_.paths->logPath);
    ReadSettings(&app_);
  }
};

TEST_F(OverriddenRun, TheRunUsesTheOptionsAndEverySaveKeepsTheUsersValues) {
  SettingOverrides o;
  ASSERT_EQ(TakeSettingOption("language", "russian", &o, nullptr), SettingOption::Taken);
  ASSERT_EQ(TakeSettingOption("font", "DejaVu Sans", &o, nullptr), SettingOption::Taken);
  ASSERT_EQ(TakeSettingOption("log", "1", &o, nullptr), SettingOption::Taken);
  app_.overrides = &o;
  ApplyOverrides(&app_, &o);
  EXPECT_EQ(U8(app_.localeName), "Русский");
  EXPECT_EQ(U8(app_.font), "DejaVu Sans");
  EXPECT_EQ(app_.log->level, 1);
  EXPECT_EQ(app_.fsaaMode, 3) << "not given: as the file says";

  // A change the run makes to a setting it was not given is saved.
  app_.fsaaMode = 0;
  app_.lastNum = 9;
  for (int save = 0; save < 2; ++save) {
    SaveSettings(&app_);
    const std::string file = Read();
    EXPECT_NE(file.find("LocaleName=English\n"), std::string::npos) << file;
    EXPECT_NE(file.find("Font=Georgia\n"), std::string::npos) << file;
    EXPECT_NE(file.find("Log=0\n"), std::string::npos) << file;
    EXPECT_NE(file.find("FSAAmode=0\n"), std::string::npos) << file;
    EXPECT_NE(file.find("LastNum=9\n"), std::string::npos) << file;
    // The run goes on with what it was given.
    EXPECT_EQ(U8(app_.localeName), "Русский");
    EXPECT_EQ(U8(app_.font), "DejaVu Sans");
    EXPECT_EQ(app_.log->level, 1);
  }
}

TEST_F(OverriddenRun, AGivenSettingTheRunChangesStillLeavesTheFileAlone) {
  SettingOverrides o;
  ASSERT_EQ(TakeSettingOption("fsaa", "8", &o, nullptr), SettingOption::Taken);
  app_.overrides = &o;
  ApplyOverrides(&app_, &o);
  EXPECT_EQ(app_.fsaaMode, 8);
  app_.fsaaMode = 0;  // the driver has no multisampling: the run turns it off
  SaveSettings(&app_);
  EXPECT_NE(Read().find("FSAAmode=3\n"), std::string::npos) << Read();
  EXPECT_EQ(app_.fsaaMode, 0);
}

TEST_F(OverriddenRun, NothingGivenChangesNothing) {
  SettingOverrides none;
  app_.overrides = &none;
  ApplyOverrides(&app_, &none);
  EXPECT_EQ(U8(app_.font), "Georgia");
  app_.font[0] = u'X';
  SaveSettings(&app_);
  EXPECT_NE(Read().find("Font=Xeorgia\n"), std::string::npos);
}

}  // namespace
