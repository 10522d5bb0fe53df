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

TEST(SettingOptions, ValuesAreCheckedAndOnlyGoodOnesTaken) {
  SettingOverrides o;
  EXPECT_EQ(TakeLanguage("Russian", &o), nullptr);
  EXPECT_EQ(U8(o.localeName), "Русский");
  EXPECT_EQ(TakeLanguage("english", &o), nullptr);
  EXPECT_EQ(U8(o.localeName), "English");
  EXPECT_EQ(TakeFont("DejaVu Sans", &o), nullptr);
  EXPECT_EQ(U8(o.font), "DejaVu Sans");
  EXPECT_EQ(TakeFont(std::string(84, 'f').c_str(), &o), nullptr);
  EXPECT_EQ(TakeFsaa("64", &o), nullptr);
  EXPECT_EQ(o.fsaaMode, 64);
  EXPECT_EQ(TakeLog("0", &o), nullptr);
  EXPECT_TRUE(o.hasLocale && o.hasFont && o.hasFsaa && o.hasLog);

  SettingOverrides bad;
  const std::string tooLong(85, 'f');
  using Taker = const char* (*)(const char*, SettingOverrides*);
  const struct {
    Taker take;
    const char* value;
  } refused[] = {{TakeLanguage, "German"}, {TakeLanguage, nullptr}, {TakeFont, ""},
                 {TakeFont, tooLong.c_str()}, {TakeFsaa, "65"}, {TakeFsaa, "-1"},
                 {TakeFsaa, "4x"}, {TakeFsaa, ""}, {TakeLog, "3"}, {TakeLog, nullptr},
                 {TakeFsaa, "99999999999999999999"}};
  for (const auto& r : refused) {
    EXPECT_NE(r.take(r.value, &bad), nullptr) << (r.value ? r.value : "(none)");
  }
  EXPECT_FALSE(bad.hasLocale || bad.hasFont || bad.hasFsaa || bad.hasLog);
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
  ASSERT_EQ(TakeLanguage("russian", &o), nullptr);
  ASSERT_EQ(TakeFont("DejaVu Sans", &o), nullptr);
  ASSERT_EQ(TakeLog("1", &o), nullptr);
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
  ASSERT_EQ(TakeFsaa("8", &o), nullptr);
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
