#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "lumi_config.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "unit/EnvGuard.h"

namespace {

const char16_t kKey[] = u"Software\\Veltrane Software\\Lumiscript";
const char16_t kInet[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

std::string TempDir() {
  char tmpl[] = "/tmp/lumi-plat-XXXXXX";
  return mkdtemp(tmpl);
}

bool Read(const char16_t* value, std::u16string* out, uint32_t capacityBytes = 2048) {
  std::u16string buf(capacityBytes / 2 + 1, u'#');
  if (!plat::ReadRegistryString(kKey, value, buf.data(), capacityBytes)) return false;
  *out = buf.c_str();
  return true;
}

}  // namespace

TEST(PosixRegistry, ProgramKeyComesFromTheEnvironment) {
  EnvGuard env;
  env.Set("LUMISAVER_PROGRAM_DIR", "/opt/lumi/программа");
  env.Set("LUMISAVER_APPDATA_DIR", "/var/lumi");
  std::u16string v;
  ASSERT_TRUE(Read(u"", &v));
  EXPECT_EQ(v, u"/opt/lumi/программа");
  ASSERT_TRUE(Read(u"AppDataDir", &v, 520));
  EXPECT_EQ(v, u"/var/lumi");
  EXPECT_FALSE(Read(u"Other", &v));
  EXPECT_FALSE(plat::ReadRegistryString(u"Software\\Other", u"", v.data(), 2048));

  // Unset or empty: the configure-time default, or absent without one.
  env.Set("LUMISAVER_PROGRAM_DIR", "");
  env.Unset("LUMISAVER_APPDATA_DIR");
  const bool haveDefault = LUMI_DEFAULT_PROGRAM_DIR[0] != 0;
  EXPECT_EQ(Read(u"", &v), haveDefault);
  if (haveDefault) {
    EXPECT_EQ(v, text::FromUtf8(LUMI_DEFAULT_PROGRAM_DIR));
  }
  EXPECT_EQ(Read(u"AppDataDir", &v, 520), LUMI_DEFAULT_APPDATA_DIR[0] != 0);
}

TEST(PosixRegistry, CapacityCountsBytesWithTheTerminator) {
  EnvGuard env;
  env.Set("LUMISAVER_APPDATA_DIR", std::string(259, 'd'));
  std::u16string v;
  EXPECT_TRUE(Read(u"AppDataDir", &v, 520));
  EXPECT_EQ(v.size(), 259u);
  env.Set("LUMISAVER_APPDATA_DIR", std::string(260, 'd'));
  EXPECT_FALSE(Read(u"AppDataDir", &v, 520));
}

TEST(PosixRegistry, BrowserProxyComesFromHttpProxy) {
  EnvGuard env;
  env.Unset("http_proxy");
  env.Unset("HTTP_PROXY");
  int32_t enabled = 7;
  char16_t buf[64];
  ASSERT_TRUE(plat::ReadRegistryDword(kInet, u"ProxyEnable", &enabled));
  EXPECT_EQ(enabled, 0);
  EXPECT_FALSE(plat::ReadRegistryString(kInet, u"ProxyServer", buf, 128));

  env.Set("HTTP_PROXY", "HTTP://proxy.example:3128/");
  ASSERT_TRUE(plat::ReadRegistryDword(kInet, u"ProxyEnable", &enabled));
  EXPECT_EQ(enabled, 1);
  ASSERT_TRUE(plat::ReadRegistryString(kInet, u"ProxyServer", buf, 128));
  EXPECT_EQ(std::u16string(buf), u"proxy.example:3128");

  env.Set("http_proxy", "");  // set but empty still switches the proxy on
  ASSERT_TRUE(plat::ReadRegistryDword(kInet, u"ProxyEnable", &enabled));
  EXPECT_EQ(enabled, 1);
  ASSERT_TRUE(plat::ReadRegistryString(kInet, u"ProxyServer", buf, 128));
  EXPECT_EQ(std::u16string(buf), u"");

  env.Set("http_proxy", std::string(63, 'p'));
  EXPECT_TRUE(plat::ReadRegistryString(kInet, u"ProxyServer", buf, 128));
  env.Set("http_proxy", std::string(64, 'p'));
  EXPECT_FALSE(plat::ReadRegistryString(kInet, u"ProxyServer", buf, 128));
}

TEST(PosixFiles, OpensReadWriteAndAppend) {
  const std::string dir = TempDir();
  const std::u16string file = text::FromUtf8(dir + "/файл.txt");
  EXPECT_FALSE(plat::FileOpensReadWrite(file.c_str()));
  EXPECT_FALSE(plat::FileOpensReadWrite(text::FromUtf8(dir).c_str())) << "a directory is no file";
  EXPECT_TRUE(plat::AppendToFile(file.c_str(), "ab", 2));
  EXPECT_TRUE(plat::AppendToFile(file.c_str(), "cd", 2));
  EXPECT_TRUE(plat::FileOpensReadWrite(file.c_str()));
  std::ifstream in(dir + "/файл.txt", std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "abcd");
  EXPECT_FALSE(plat::AppendToFile(text::FromUtf8(dir + "/missing/x.txt").c_str(), "x", 1));
  EXPECT_FALSE(plat::AppendToFile(u"", "x", 1));
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(PosixFiles, MakesEveryMissingLevelOfAFilesFolder) {
  const std::string dir = TempDir();
  char* const before = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  // Relative (first level of one character and of more) and absolute.
  for (const std::string& file : {std::string("a/b/main.ini"), std::string("cd/e/f/main.ini"),
                                  dir + "/g/h/main.ini"}) {
    plat::CreateParentDirectory(text::FromUtf8(file).c_str());
    const std::string folder = file.substr(0, file.rfind('/'));
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0) << folder;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    EXPECT_TRUE(plat::AppendToFile(text::FromUtf8(file).c_str(), "x", 1)) << file;
  }
  EXPECT_EQ(chdir(before), 0);
  std::free(before);
  std::system(("rm -rf '" + dir + "'").c_str());
}

// Each LANG value, the other locale variables unset, gives its text.
struct LocaleCase {
  const char* lang;
  const char16_t* want;
};
template <size_t N>
void ExpectPerLang(EnvGuard& env, const LocaleCase (&cases)[N], void (*read)(char16_t*, uint32_t)) {
  char16_t out[85];
  for (const LocaleCase& c : cases) {
    env.Set("LANG", c.lang);
    read(out, 85);
    EXPECT_EQ(std::u16string(out), c.want) << c.lang;
  }
}

TEST(PosixLocale, LanguageNameFollowsTheMessagesLocale) {
  EnvGuard env;
  env.Unset("LC_ALL");
  env.Unset("LC_MESSAGES");
  const LocaleCase cases[] = {
      {"ru_RU.UTF-8", u"Русский"}, {"ru", u"Русский"},   {"ru_UA.KOI8-U", u"Русский"},
      {"de_DE.UTF-8", u"German"},  {"en_GB", u"English"}, {"C", u"English"},
      {"POSIX", u"English"},       {"", u"English"},      {"xx_YY", u"English"},
      {"uk_UA.UTF-8", u"Ukrainian"}, {"pt_BR@euro", u"Portuguese"},
  };
  ExpectPerLang(env, cases, plat::LocaleLanguageName);
  char16_t out[85];
  env.Set("LANG", "de_DE.UTF-8");
  env.Set("LC_MESSAGES", "ru_RU.UTF-8");
  plat::LocaleLanguageName(out, 85);
  EXPECT_EQ(std::u16string(out), u"Русский");
  env.Set("LC_ALL", "fr_FR.UTF-8");
  plat::LocaleLanguageName(out, 85);
  EXPECT_EQ(std::u16string(out), u"French");
  char16_t tiny[4];
  plat::LocaleLanguageName(tiny, 4);
  EXPECT_EQ(std::u16string(tiny), u"Fre");
}

TEST(PosixLocale, LongDatePatternInWindowsStyle) {
  EnvGuard env;
  env.Unset("LC_ALL");
  env.Unset("LC_TIME");
  const LocaleCase cases[] = {
      {"en_US.UTF-8", u"dddd, MMMM d, yyyy"}, {"C", u"dddd, MMMM d, yyyy"},
      {"en_GB.UTF-8", u"dd MMMM yyyy"},       {"ru_RU.UTF-8", u"d MMMM yyyy 'г.'"},
      {"de_AT", u"dddd, d. MMMM yyyy"},
  };
  ExpectPerLang(env, cases, plat::LocaleLongDateFormat);
  char16_t out[85];
  env.Set("LC_TIME", "ru_RU.UTF-8");
  plat::LocaleLongDateFormat(out, 85);
  EXPECT_EQ(std::u16string(out), u"d MMMM yyyy 'г.'");
  // A locale outside the table still yields a pattern with a year in it.
  env.Set("LC_TIME", "xx_YY");
  plat::LocaleLongDateFormat(out, 85);
  EXPECT_NE(std::u16string(out).find(u"yyyy"), std::u16string::npos);
}

TEST(PosixClock, TicksAndCounterAdvanceAcrossASleep) {
  EXPECT_EQ(plat::PerfFrequency(), 1000000000LL);
  const uint32_t t0 = plat::TickCountMs();
  const int64_t p0 = plat::PerfCounter();
  plat::SleepMs(20);
  EXPECT_GE(uint32_t(plat::TickCountMs() - t0), 19u);
  EXPECT_GE(plat::PerfCounter() - p0, 19000000LL);
  const plat::LocalTime lt = plat::GetLocalTimeNow();
  EXPECT_GE(lt.year, 2020);
  EXPECT_TRUE(lt.month >= 1 && lt.month <= 12 && lt.day >= 1 && lt.day <= 31);
}

TEST(PosixMessages, MessageBoxBecomesOneStderrLine) {
  testing::internal::CaptureStderr();
  plat::ShowMessage(u"Log file not created", u"Error", plat::BoxIcon::Error, false);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Log file not created\n");
}

TEST(PosixVersion, CompiledInStringsMatchTheResource) {
  plat::VersionStrings v;
  ASSERT_TRUE(plat::ReadOwnVersionStrings(&v));
  EXPECT_EQ(v.fileVersion, u"1, 0, 0, 10");
  EXPECT_EQ(v.productName, u"Lumiscript");
  EXPECT_EQ(v.languageName, u"Language Neutral");
}
