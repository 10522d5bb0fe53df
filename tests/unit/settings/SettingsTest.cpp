#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hub/Application.h"
#include "log/Log.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "settings/DataPaths.h"
#include "settings/Settings.h"
#include "unit/settings/ProgramDirTest.h"

namespace {

class SettingsFile : public ProgramDirTest {
 protected:
  SettingsFile() : ProgramDirTest(ModeInitOnly) {}
  // The record as the start-up leaves it before the settings step.
  CApplication& App() {
    app_.paths = new CDataPaths;
    app_.log = new CLog(app_.paths->logPath);
    text::Copy(app_.font, 85, u"Georgia");
    return app_;
  }
  static std::vector<std::string> Lines(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
  }
};

std::string U8(const char16_t* s) { return text::ToUtf8(s); }

// What a read left in the record, one "name=value" per field, for a check of
// every field at once.
std::string ReadBack(const CApplication& app) {
  std::ostringstream o;
  o << "proxy=" << app.proxyEnabled << ',' << U8(app.proxyServer) << ',' << app.proxyPort
    << " log=" << app.log->level << " fsaa=" << app.fsaaMode << " font=" << U8(app.font)
    << " update=" << app.lastUpdateDate << ',' << app.autoUpdate << ',' << app.lastReceiveDate
    << " quote=" << app.numFirstQuote << " display=" << app.displayMyFavorites << ','
    << app.displayQoD << ',' << app.displayAll << " last=" << app.lastNum
    << " locale=" << U8(app.localeName) << '|' << U8(app.dateFormat);
  return o.str();
}

// Root opens any file for writing, so a read-only file is only read-only to
// an ordinary user: as root, `body` runs in a child that became nobody. Its
// result is the child's exit code.
template <typename Body>
int AsUnprivileged(Body body) {
  if (::geteuid() != 0) return body();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

// Makes a path the unprivileged user's own: nobody's as root, and an
// ordinary user's already.
bool GiveToTheUnprivileged(const std::string& path) {
  return ::geteuid() != 0 || ::chown(path.c_str(), 65534, 65534) == 0;
}

std::string ReadLogText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::u16string wide;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) wide.push_back(char16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8)));
  return text::ToUtf8(wide);
}

}  // namespace

TEST_F(SettingsFile, FirstSaveWritesTheFourSectionsInOrder) {
  CApplication& app = App();
  text::Copy(app.localeName, 85, u"Русский");
  text::Copy(app.dateFormat, 85, u"d MMMM yyyy 'г.'");
  EXPECT_TRUE(SaveSettings(&app));
  EXPECT_EQ(Read(),
            "[PROXY]\nEnabled=0\nServer=\nPort=0\n"
            "[DATA]\nUseLocal=-1\nUseWeb=-1\n"
            "[LOCALIZATION]\nLocaleName=Русский\nDateFormat=d MMMM yyyy 'г.'\n"
            "[SYSTEM]\nLog=0\nFSAAmode=3\nFont=Georgia\nLastUpdateDate=0\nAutoUpdate=1\n"
            "LastReceiveDate=0\nNumFirstQuote=-1\nDisplayMyFavorites=1\nDisplayQoD=1\nDisplayAll=0\n"
            "LastNum=0\n");
}

TEST_F(SettingsFile, MissingKeysTakeTheirOwnDefaultsNotTheFirstRunValues) {
  Write("[SYSTEM]\n");
  CApplication& app = App();
  app.log->level = 9;
  ReadSettings(&app);
  EXPECT_EQ(ReadBack(app),
            "proxy=0,NULL,0 log=0 fsaa=0 font=NULL update=0,0,0 quote=0 display=0,0,0 last=0"
            " locale=NULL|NULL");
}

TEST_F(SettingsFile, ReadsEveryKeyWithoutRegardToCase) {
  Write("[proxy]\nENABLED=1\nserver=proxy.lan\nPort=3128\n"
        "[Localization]\nLocaleName=English (United States)\nDateFormat=dddd, MMMM d, yyyy\n"
        "[SYSTEM]\nLog=3\nFSAAmode=4\nFont=" + std::string(100, 'F') + "\nLastUpdateDate=20240131\n"
        "AutoUpdate=1\nLastReceiveDate=20240201\nNumFirstQuote=-5\nDisplayMyFavorites=1\n"
        "DisplayQoD=2\nDisplayAll=1\nLastNum=6\n");
  CApplication& app = App();
  ReadSettings(&app);
  // The font keeps 84 characters and the terminator.
  EXPECT_EQ(ReadBack(app),
            "proxy=1,proxy.lan,3128 log=3 fsaa=4 font=" + std::string(84, 'F') +
                " update=20240131,1,20240201 quote=-5 display=1,2,1 last=6"
                " locale=English (United States)|dddd, MMMM d, yyyy");
}

TEST_F(SettingsFile, SaveKeepsEveryLineItDoesNotOwn) {
  const std::string original =
      "; my notes\n"
      "garbage \x01\x02\xff line\n"
      "[SYSTEM]\n"
      "Log = 1\n"
      "Custom=keep me\n"
      "Font\n"
      "LongLine=" + std::string(1 << 20, 'z') + "\n"
      "\n"
      "[PROXY]\n"
      "Enabled=0\n"
      "[SYSTEM]\n"
      "Log=2\n";
  Write(original);
  CApplication& app = App();
  ReadSettings(&app);
  EXPECT_EQ(app.log->level, 1) << "the first SYSTEM section counts";
  app.lastNum = 6;
  SaveSettings(&app);

  const std::vector<std::string> before = Lines(original), after = Lines(Read());
  // Every line of the old file is still there, in its order; the owned keys
  // that already held their values keep even their spacing.
  size_t at = 0;
  for (const std::string& line : before) {
    const std::string& want = line;
    while (at < after.size() && after[at] != want) ++at;
    ASSERT_LT(at, after.size()) << "lost or moved: " << want.substr(0, 40);
    ++at;
  }
  // The duplicate SYSTEM section is not touched.
  size_t second = 0;
  for (size_t i = 0, seen = 0; i < after.size(); ++i)
    if (after[i] == "[SYSTEM]" && ++seen == 2) second = i;
  ASSERT_GT(second, 0u);
  EXPECT_EQ(after[second + 1], "Log=2");
  int lastNums = 0;
  for (const std::string& l : after) lastNums += l == "LastNum=6";
  EXPECT_EQ(lastNums, 1);
  EXPECT_EQ(after.size(), before.size() + 16 + 2) << "sixteen new keys, DATA and LOCALIZATION";
}

TEST_F(SettingsFile, AProxyHostCannotPlantLines) {
  CApplication& app = App();
  text::Copy(app.proxyServer, 128, u"evil\n[SYSTEM]\nLog=1");
  SaveSettings(&app);
  CApplication& again = app;
  again.log->level = 0;
  ReadSettings(&again);
  EXPECT_EQ(again.log->level, 0);
  EXPECT_EQ(U8(again.proxyServer), "evil [SYSTEM] Log=1");
}

TEST_F(SettingsFile, AReadOnlyFileIsLeftAsItIs) {
  const std::string mine = "[SYSTEM]\nFont=MyFont\nLastNum=42\n";
  Write(mine);
  // The folder is the user's own: replacing the file would need only that.
  ASSERT_TRUE(GiveToTheUnprivileged(dir_));
  ASSERT_TRUE(GiveToTheUnprivileged(Path()));
  ASSERT_EQ(::chmod(Path().c_str(), 0444), 0);
  const std::u16string wpath = text::FromUtf8(Path());
  const int code = AsUnprivileged([&] {
    CApplication& app = App();
    app.log->level = 1;
    app.lastNum = 7;
    int failures = 0;
    if (plat::ProfileFileWritable(wpath.c_str())) failures |= 1;
    if (SaveSettings(&app)) failures |= 2;
    if (plat::ProfileWriteString(u"SYSTEM", u"LastNum", u"7", wpath.c_str())) failures |= 4;
    return failures;
  });
  EXPECT_EQ(code, 0) << "1: seen as writable, 2: save reported success, 4: a key was written";
  EXPECT_EQ(Read(), mine);
  struct stat st;
  ASSERT_EQ(::stat(Path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
  EXPECT_NE(ReadLogText(dir_ + "/log.txt").find("main.ini cannot be opened for writing; settings not saved"),
            std::string::npos);

  // Writable again: the same save updates it.
  ASSERT_EQ(::chmod(Path().c_str(), 0644), 0);
  EXPECT_EQ(AsUnprivileged([&] {
              CApplication& app = App();
              app.lastNum = 7;
              return SaveSettings(&app) ? 0 : 1;
            }),
            0);
  EXPECT_NE(Read().find("LastNum=7\n"), std::string::npos) << Read();
}

TEST_F(SettingsFile, AKeySaveWritesOnlyTheGivenKeysOrTheWholeFirstFile) {
  const std::string original = "; mine\n[SYSTEM]\nLog=3\nFSAAmode=03\nFont=Old\nLastNum=150\n[OTHER]\nx=1\n";
  Write(original);
  CApplication& app = App();
  ReadSettings(&app);
  text::Copy(app.font, 85, u"New Face");
  app.fsaaMode = 8;  // changed in memory, but not asked for
  EXPECT_TRUE(SaveSettingKeys(&app, kSettingFont | kSettingProxyPort));
  EXPECT_EQ(Read(), "; mine\n[SYSTEM]\nLog=3\nFSAAmode=03\nFont=New Face\nLastNum=150\n[OTHER]\nx=1\n"
                    "[PROXY]\nPort=0\n");

  // No file yet: whatever was asked, the first settings file is whole.
  std::remove(Path().c_str());
  EXPECT_TRUE(SaveSettingKeys(&app, kSettingFont));
  const std::vector<std::string> lines = Lines(Read());
  EXPECT_EQ(lines.size(), 22u) << Read();
  EXPECT_EQ(lines.back(), "LastNum=150");
}
