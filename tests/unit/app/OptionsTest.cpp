#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/x11/Options.h"
#include "platform/Text.h"
#include "settings/Overrides.h"
#include "unit/EnvGuard.h"

namespace {

class NativeCommandLine : public testing::Test {
 protected:
  void SetUp() override {
    env_.Unset("XSCREENSAVER_WINDOW");
    RunOverrides() = SettingOverrides{};
  }
  void TearDown() override { RunOverrides() = SettingOverrides{}; }
  CommandLine Parse(std::vector<std::string> args) {
    args_ = std::move(args);
    args_.insert(args_.begin(), "lumisaver");
    std::vector<char*> argv;
    for (std::string& a : args_) argv.push_back(a.data());
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
  }
  std::string Consume(std::vector<std::string> args) { return Parse(std::move(args)).rest; }
  EnvGuard env_;
  std::vector<std::string> args_;  // the picture's name points into them
};

using Target = X11Options::Target;

TEST_F(NativeCommandLine, EveryOptionTakesOneOrTwoDashes) {
  for (const char* dashes : {"-", "--"}) {
    const std::string d = dashes;
    EXPECT_EQ(Consume({d + "window"}), "");
    EXPECT_EQ(CurrentX11Options().target, Target::Window);
    EXPECT_EQ(Consume({d + "root"}), "");
    EXPECT_EQ(CurrentX11Options().target, Target::Root);
    EXPECT_EQ(Consume({d + "window-id", "0x2a"}), "");
    EXPECT_EQ(CurrentX11Options().target, Target::ForeignWindow);
    EXPECT_EQ(CurrentX11Options().windowId, 0x2au);

    RunOverrides() = SettingOverrides{};
    EXPECT_EQ(Consume({d + "language", "russian", d + "font", "DejaVu Serif", d + "fsaa", "4", d + "log", "1",
                       "/s"}),
              "/s");
    const SettingOverrides& o = RunOverrides();
    EXPECT_TRUE(o.hasLocale && o.hasFont && o.hasFsaa && o.hasLog);
    EXPECT_EQ(text::ToUtf8(o.font), "DejaVu Serif");
    EXPECT_EQ(o.fsaaMode, 4);
    EXPECT_EQ(CurrentX11Options().target, Target::FullScreen);
  }
}

TEST_F(NativeCommandLine, SnapshotOptionsTakeOneOrTwoDashesToo) {
  for (const std::string d : {"-", "--"}) {
    const CommandLine line =
        Parse({d + "entry", "3", d + "snapshot", "out.png", d + "at", "2.5", d + "size", "320x240", d + "fsaa", "2"});
    EXPECT_TRUE(line.snapshot);
    EXPECT_STREQ(line.picture.output, "out.png");
    EXPECT_EQ(line.picture.entry, 3);
    EXPECT_EQ(line.picture.atSeconds, 2.5);
    EXPECT_EQ(line.picture.width, 320);
    EXPECT_EQ(line.picture.height, 240);
    EXPECT_TRUE(RunOverrides().hasFsaa);
  }
  const CommandLine limits = Parse({"-snapshot", "a.png", "-entry", "99", "-at", "86400", "-size", "8192x1"});
  EXPECT_EQ(limits.picture.entry, 99);
  EXPECT_EQ(limits.picture.atSeconds, 86400.0);
  EXPECT_EQ(limits.picture.width, 8192);
  EXPECT_EQ(limits.picture.height, 1);
  env_.Set("XSCREENSAVER_WINDOW", "0x400008");
  EXPECT_EQ(Parse({"-snapshot", "a.png"}).x11.target, Target::FullScreen) << "a snapshot opens no window";
}

TEST_F(NativeCommandLine, OtherArgumentsAreLeftToTheFirstLetterRule) {
  EXPECT_EQ(Consume({"-S", "/c:1234", "-window", "a"}), "-S /c:1234 a");
  EXPECT_EQ(Consume({"-acp"}), "-acp");
  EXPECT_EQ(Consume({"-", "--"}), "- --") << "no option's spelling";
}

TEST_F(NativeCommandLine, TheManagersWindowStandsInForTheRoot) {
  env_.Set("XSCREENSAVER_WINDOW", "0x400008");
  for (const char* root : {"-root", "--root"}) {
    Consume({root});
    EXPECT_EQ(CurrentX11Options().target, Target::ForeignWindow) << root;
    EXPECT_EQ(CurrentX11Options().windowId, 0x400008u);
  }
  Consume({});
  EXPECT_EQ(CurrentX11Options().target, Target::ForeignWindow);
  Consume({"--window"});
  EXPECT_EQ(CurrentX11Options().target, Target::Window) << "-window opens its own window";
  Consume({"--window-id", "77"});
  EXPECT_EQ(CurrentX11Options().windowId, 77u);
}

TEST_F(NativeCommandLine, TheWatchersSecondsAreOptionalAndTheOtherOptionsGoToItsShows) {
  CommandLine line = Parse({"-log", "1", "--watch", "-output", "HDMI-1"});
  EXPECT_EQ(line.watch.kind, WatchRequest::Kind::Watch);
  EXPECT_EQ(line.watch.seconds, kDefaultWatchSeconds);
  EXPECT_EQ(line.showArgs, (std::vector<std::string>{"-log", "1", "-output", "HDMI-1"}));
  line = Parse({"-watch", "86400"});
  EXPECT_EQ(line.watch.seconds, 86400);
  EXPECT_TRUE(line.showArgs.empty());
  EXPECT_EQ(Parse({"-autostart", "300"}).watch.kind, WatchRequest::Kind::Autostart);
  EXPECT_EQ(Parse({"--autostart", "off"}).watch.kind, WatchRequest::Kind::AutostartOff);
}

TEST_F(NativeCommandLine, BadValuesUnknownDoubleDashOptionsAndTheOtherModesEndTheProgram) {
  const std::vector<std::vector<std::string>> refused = {
      {"--bogus"}, {"--s"}, {"--fsaa", "x"}, {"-language"}, {"--window-id", "0"}, {"-font", ""},
      // Each mode's own options, and the snapshot's values.
      {"-entry", "3"}, {"--snapshot", "a.png", "-root"}, {"-snapshot", "a.png", "/s"},
      {"-snapshot", "a.png", "-log", "1"},
      {"--snapshot"}, {"--snapshot", "-x.png"}, {"-snapshot", "a.png", "-size", "0x10"},
      {"-snapshot", "a.png", "-size", "640"}, {"-snapshot", "a.png", "-at", "-1"},
      {"-snapshot", "a.png", "-at", "soon"}, {"-snapshot", "a.png", "-entry", "x"},
      // Just past each bound, and three dashes.
      {"-snapshot", "a.png", "-size", "10x0"}, {"-snapshot", "a.png", "-size", "8193x10"},
      {"-snapshot", "a.png", "-at", "86401"}, {"-snapshot", "a.png", "-entry", "100"}, {"---x"}, {"---font"},
      // The watcher's.
      {"-watch", "0"}, {"-watch", "86401"}, {"-autostart"}, {"-autostart", "soon"}, {"-watch", "/s"},
      {"-watch", "-snapshot", "a.png"}};
  for (const auto& args : refused) {
    EXPECT_EXIT(Consume(args), testing::ExitedWithCode(2), "lumisaver: .*\nusage: ") << args[0];
  }
  env_.Set("XSCREENSAVER_WINDOW", "nope");
  EXPECT_EXIT(Consume({"--root"}), testing::ExitedWithCode(2), "XSCREENSAVER_WINDOW");
}

}  // namespace
