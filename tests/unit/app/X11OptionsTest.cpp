#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/x11/X11Options.h"
#include "platform/Text.h"
#include "settings/Overrides.h"
#include "unit/platform/EnvGuard.h"

namespace {

class X11CommandLine : public testing::Test {
 protected:
  void SetUp() override {
    env_.Unset("XSCREENSAVER_WINDOW");
    RunOverrides() = SettingOverrides{};
  }
  void TearDown() override { RunOverrides() = SettingOverrides{}; }
  std::string Consume(std::vector<std::string> args) {
    args.insert(args.begin(), "lumisaver");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return ConsumeX11Options(static_cast<int>(argv.size()), argv.data());
  }
  EnvGuard env_;
};

using Target = X11Options::Target;

TEST_F(X11CommandLine, EveryOptionTakesOneOrTwoDashes) {
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

TEST_F(X11CommandLine, OtherArgumentsAreLeftToTheFirstLetterRule) {
  EXPECT_EQ(Consume({"-S", "/c:1234", "-window", "a"}), "-S /c:1234 a");
  EXPECT_EQ(Consume({"-acp"}), "-acp");
}

TEST_F(X11CommandLine, TheManagersWindowStandsInForTheRoot) {
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

TEST_F(X11CommandLine, BadValuesAndUnknownDoubleDashOptionsEndTheProgram) {
  const std::vector<std::vector<std::string>> refused = {
      {"--bogus"}, {"--s"}, {"--fsaa", "x"}, {"-language"}, {"--window-id", "0"}, {"-font", ""}};
  for (const auto& args : refused) {
    EXPECT_EXIT(Consume(args), testing::ExitedWithCode(2), "lumisaver: ") << args[0];
  }
  env_.Set("XSCREENSAVER_WINDOW", "nope");
  EXPECT_EXIT(Consume({"--root"}), testing::ExitedWithCode(2), "XSCREENSAVER_WINDOW");
}

}  // namespace
