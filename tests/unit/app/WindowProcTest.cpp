#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/WindowProc.h"
#include "content/ContentList.h"

namespace {

namespace fs = std::filesystem;
using Calls = std::vector<std::string>;

// Records what the window would post and call; the settings are saved for
// real, into a data directory of the test's own.
class RecordingLogic final : public CWindowProcLogic {
 public:
  Calls calls;
  bool updaterStarts = true;

 protected:
  void PostDestroy(NativeHandle window) override { calls.push_back("post destroy " + std::to_string(window)); }
  void PostQuit(NativeHandle window) override { calls.push_back("post quit " + std::to_string(window)); }
  bool LaunchUpdater() override {
    calls.push_back("launch updater");
    return updaterStarts;
  }
  void DisableOpenGL() override { calls.push_back("disable gl"); }
  void SaveSettings(CApplication* app) override {
    calls.push_back("save settings");
    CWindowProcLogic::SaveSettings(app);
  }
};

class WindowProcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumi-windowproc-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::ofstream(dir_ / "main.ini") << "[SYSTEM]\nLog=0\nAutoUpdate=0\nLastNum=3\nLastUpdateDate=20200101\n";
    setenv("LUMISAVER_APPDATA_DIR", dir_.c_str(), 1);
    setenv("LUMISAVER_PROGRAM_DIR", dir_.c_str(), 1);
    app_ = new CApplication(ModeFullScreen, 0);
    app_->windowReady = 1;
  }

  void TearDown() override {
    DestroyApplication(app_);
    fs::remove_all(dir_);
  }

  std::string SettingsFile() const {
    std::ifstream in(dir_ / "main.ini");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path dir_;
  CApplication* app_ = nullptr;
  RecordingLogic logic_;
  static constexpr NativeHandle kWindow = 0x51;
};

TEST_F(WindowProcTest, TheSixthMouseMoveAndEveryLaterOneRequestTheEnd) {
  // Moves seen by the window that is replaced count too.
  for (int i = 0; i < 3; ++i) logic_.OnMouseMove(0x10, i, 0);
  for (int i = 3; i < kMouseMoveLimit; ++i) logic_.OnMouseMove(kWindow, i, 0);
  EXPECT_TRUE(logic_.calls.empty());
  logic_.OnMouseMove(kWindow, 100, 0);
  logic_.OnMouseMove(kWindow, 100, 1);
  EXPECT_EQ(logic_.calls, (Calls{"post destroy 81", "post destroy 81"}));
}

TEST_F(WindowProcTest, MovesWithoutMotionDoNotCount) {
  // The window appearing under the resting pointer, then a real move away and back.
  logic_.SetPointerPosition(960, 540);
  for (int i = 0; i < 10; ++i) logic_.OnMouseMove(kWindow, 960, 540);
  EXPECT_EQ(logic_.mouseMoves(), 0);
  for (int i = 0; i < 10; ++i) logic_.OnMouseMove(kWindow, 960 + i % 2, 540);
  EXPECT_EQ(logic_.mouseMoves(), 9);
  EXPECT_EQ(logic_.calls.size(), 4u);
}

TEST_F(WindowProcTest, KeysButtonsAndCloseOnlyPostTheEndRequest) {
  logic_.OnEvent(app_, kWindow, WindowEvent::KeyDown);
  logic_.OnEvent(app_, kWindow, WindowEvent::ButtonDown);
  logic_.OnEvent(app_, kWindow, WindowEvent::Close);
  EXPECT_EQ(logic_.calls, (Calls{"post destroy 81", "post destroy 81", "post destroy 81"}));
  EXPECT_FALSE(logic_.shutDown());
}

TEST_F(WindowProcTest, DestroyWhileTheWindowIsReplacedDoesNothing) {
  const std::string before = SettingsFile();
  app_->windowReady = 0;
  logic_.OnEvent(app_, kWindow, WindowEvent::Destroy);
  EXPECT_TRUE(logic_.calls.empty());
  EXPECT_EQ(SettingsFile(), before);
  // The final window's destroy still ends the run.
  app_->windowReady = 1;
  logic_.OnEvent(app_, kWindow, WindowEvent::Destroy);
  EXPECT_EQ(logic_.calls, (Calls{"disable gl", "save settings", "post quit 81"}));
}

TEST_F(WindowProcTest, ShutdownSavesTheEntryOnScreenAndRunsOnce) {
  app_->contentList->current = 42;
  logic_.OnEvent(app_, kWindow, WindowEvent::KeyDown);
  logic_.OnEvent(app_, kWindow, WindowEvent::ButtonDown);
  logic_.OnEvent(app_, kWindow, WindowEvent::Destroy);
  logic_.OnEvent(app_, kWindow, WindowEvent::Destroy);
  EXPECT_EQ(logic_.calls,
            (Calls{"post destroy 81", "post destroy 81", "disable gl", "save settings", "post quit 81"}));
  const std::string saved = SettingsFile();
  EXPECT_NE(saved.find("LastNum=42"), std::string::npos) << saved;
  EXPECT_NE(saved.find("LastUpdateDate=20200101"), std::string::npos) << saved;
}

TEST_F(WindowProcTest, ADownloadedUpdaterIsStartedAndTodayRecorded) {
  app_->updateDownloaded = 1;
  app_->todayDate = 20261207;
  logic_.OnEvent(app_, kWindow, WindowEvent::Destroy);
  EXPECT_EQ(logic_.calls, (Calls{"launch updater", "disable gl", "save settings", "post quit 81"}));
  EXPECT_EQ(app_->lastUpdateDate, 20261207);
  EXPECT_NE(SettingsFile().find("LastUpdateDate=20261207"), std::string::npos) << SettingsFile();
}

TEST_F(WindowProcTest, ARefusedUpdaterOrTheSessionsEndLeavesTheDate) {
  logic_.updaterStarts = false;
  app_->updateDownloaded = 1;
  app_->todayDate = 20261207;
  logic_.OnEvent(app_, kWindow, WindowEvent::Destroy);
  EXPECT_EQ(logic_.calls, (Calls{"launch updater", "disable gl", "save settings", "post quit 81"}));
  EXPECT_NE(SettingsFile().find("LastUpdateDate=20200101"), std::string::npos) << SettingsFile();

  // The session's end saves at once and offers nothing.
  RecordingLogic ending;
  app_->contentList->current = 42;
  ending.OnEvent(app_, kWindow, WindowEvent::EndSession);
  EXPECT_EQ(ending.calls, (Calls{"disable gl", "save settings", "post quit 81"}));
  EXPECT_NE(SettingsFile().find("LastNum=42"), std::string::npos) << SettingsFile();
  EXPECT_NE(SettingsFile().find("LastUpdateDate=20200101"), std::string::npos) << SettingsFile();
}

TEST_F(WindowProcTest, APreviewEndsWithoutSavingOrStartingTheUpdater) {
  const std::string before = SettingsFile();
  app_->runMode = ModePreview;
  app_->updateDownloaded = 1;
  app_->contentList->current = 42;
  logic_.OnEvent(app_, kWindow, WindowEvent::Destroy);
  logic_.OnEvent(app_, kWindow, WindowEvent::Destroy);
  EXPECT_EQ(logic_.calls, (Calls{"disable gl", "post quit 81"}));
  EXPECT_EQ(SettingsFile(), before);
}

}  // namespace
